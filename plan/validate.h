// Ties nodes to classes and links to relations, and checks every reference.
#pragma once

#include "plan/model.h"

namespace plotweave {

// Resolves the model in place and prints one message per broken reference.
// For a valid model it also turns underscores into blanks in the texts the
// page displays. Returns whether the model is valid.
bool ValidateModel(OntologyModel& model);

}  // namespace plotweave
