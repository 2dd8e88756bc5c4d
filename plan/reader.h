// Reads an ontology plan into the model.
#pragma once

#include <cstdio>

#include "plan/model.h"

namespace plotweave {

// Address of the image shown for a node that names none.
extern const char kPlaceholderImage[];

// Reads the open plan stream to its end into `model`, which must be empty.
// `linkTarget` is the target attribute of the anchors built for node titles.
// Prints one warning line for every field that had to be cut to fit. Returns
// false when the stream could not be read to its end.
bool ReadPlan(FILE* stream, OntologyModel& model, const char* linkTarget);

// Section of a header line's first field: 1 PROJECT .. 5 LINKS, 6 unknown.
int HeaderSection(const char* field, size_t length);

}  // namespace plotweave
