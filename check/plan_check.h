// One plan checked from its bytes to its findings.
#pragma once

#include "check/finding.h"
#include "check/report.h"
#include "io/stream.h"

namespace plotweave {

enum class PlanCheckStatus { kChecked, kUnreadable };

// Reads the plan (KS text, or UTF-8 or UTF-16 with a byte-order mark) as the
// main program reads it, and reports every finding to `sink` as it is made:
// the reader's findings in line order, then those about the model. Fills the
// entry counts of `summary`. Nothing is written anywhere else.
PlanCheckStatus CheckPlan(ByteSource& plan, FindingSink& sink, PlanSummary* summary);

// A warning when the main program, given `path`, would read another file
// or none (it cuts the name at its first '.' and adds ".lst").
void CheckPlanName(const char* path, FindingSink& sink);

}  // namespace plotweave
