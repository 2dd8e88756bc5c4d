// What the page's findings panel reads: the outcome of the last save and its
// findings, as one JSON object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "preview/page_build.h"

namespace plotweave {

// The last save as the panel shows it.
enum class PlanState : uint8_t {
  kDrawn,       // the drawing is this save's
  kRefused,     // validation faults: the drawing is an earlier save's
  kUnreadable,  // the plan could not be read, or its page made
  kMissing,     // no plan at its name (between the steps of a save, perhaps)
  kNotAFile,    // a folder, FIFO or device at the plan's name
  kTooLarge,    // larger than the preview reads, or its page than it serves
  kKitUnreadable,  // a file of the kit could not be read
};

const char* PlanStateName(PlanState state);

// Enough for every panel finding at its longest.
inline constexpr size_t kStateJsonCapacity = size_t{kPanelFindings} * 4096 + 4096;

// {"version":N,"state":"drawn","stale":false,"page":"NAME","counts":{...},
//  "more":K,"findings":[{…the checker's JSON finding…,"node":"ID"|null,
//  "link":N|null},…]}. `drawnVersion` is the save the drawing comes from
// (0 before any drawing): the drawing is stale when it is not `version`.
size_t FormatState(const char* planName, const char* pageName, uint64_t version, uint64_t drawnVersion,
                   PlanState state, const PreviewFindings& findings, char* out, size_t width);

}  // namespace plotweave
