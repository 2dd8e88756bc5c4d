// Writes the visualization page, in KS code, from a validated model.
#pragma once

#include <cstdint>

#include "io/stream.h"
#include "plan/model.h"

namespace plotweave {

enum class PageStatus : uint8_t { kWritten, kWriteFailed };

// Writes the whole page to `out`.
PageStatus WritePage(const OntologyModel& model, ByteSink& out);

}  // namespace plotweave
