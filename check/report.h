// The two output forms of the checker, made into a line buffer; the front
// end prints them.
#pragma once

#include <cstddef>

#include "check/finding.h"

namespace plotweave {

// A line of output holds the plan's name (cut to fit) and one finding.
inline constexpr size_t kReportLineWidth = 6144;

// What a plan holds, for the JSON summary.
struct PlanSummary {
  long nodes = 0;
  long links = 0;
  long classes = 0;
  long relations = 0;
  FindingCounts counts;
};

// "PLAN:LINE:COLUMN: severity: message\n"; with colour, the place in bold
// and the severity in its colour, as terminals show compiler messages.
size_t FormatTextFinding(const char* plan, const Finding& finding, bool colour, char* out,
                         size_t width);

// One JSON object and a line feed:
// {"plan":…,"line":…,"column":…,"severity":…,"code":…,"message":…}
size_t FormatJsonFinding(const char* plan, const Finding& finding, char* out, size_t width);

// `text` as a JSON string, quotes included, with what is not UTF-8 as U+FFFD.
size_t FormatJsonText(const char* text, char* out, size_t width);

// {"plan":…,"summary":{"nodes":…,"links":…,"classes":…,"relations":…,
//  "errors":…,"warnings":…,"notes":…}} and a line feed.
size_t FormatJsonSummary(const char* plan, const PlanSummary& summary, char* out, size_t width);

}  // namespace plotweave
