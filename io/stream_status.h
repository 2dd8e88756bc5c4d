// The outcome of a stage that only moves bytes from a source to a sink: it
// either got to the end, or stopped because one side failed. Stages whose
// outcome means more than that (a plan that is invalid, a page that is not a
// page) keep an enum of their own.
#pragma once

#include <cstdint>

namespace plotweave {

enum class StreamStatus : uint8_t { kDone, kReadFailed, kWriteFailed };

}  // namespace plotweave
