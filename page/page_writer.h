// Writes the visualization page, in KS code, from a validated model.
#pragma once

#include "plan/model.h"

namespace plotweave {

enum : int {
  kPageWritten = 0,
  kPageNotCreated = -1,
  kPageWriteFailed = -2,
};

// Creates (or empties) the intermediate page and writes the whole page to it.
// A page that could not be written completely is removed again.
int WritePage(const OntologyModel& model, const char* pagePath);

}  // namespace plotweave
