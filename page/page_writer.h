// Writes the visualization page, in KS code, from a validated model.
#pragma once

#include <cstdint>

#include "io/stream.h"
#include "io/stream_status.h"
#include "plan/model.h"

namespace plotweave {


// Writes the whole page to `out`.
StreamStatus WritePage(const OntologyModel& model, ByteSink& out);

}  // namespace plotweave
