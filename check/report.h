// The two output forms of the checker, made into a line buffer; the front
// end prints them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "check/finding.h"

namespace plotweave {

// Appends to a zero-terminated buffer and never past its end; what does not
// fit is dropped.
struct LineOut {
  char* buf;
  size_t width;
  size_t used = 0;

  void Bytes(const char* text, size_t n) {
    if (n > width - 1 - used) n = width - 1 - used;
    std::memcpy(buf + used, text, n);
    used += n;
    buf[used] = '\0';
  }
  void Text(const char* text) { Bytes(text, std::strlen(text)); }
  void Number(long value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%ld", value);
    Bytes(digits, static_cast<size_t>(n));
  }
  // A JSON string of at most `limit` bytes, quotes included, so that the
  // rest of the object always fits. Bytes that are not UTF-8 (a plan name in
  // another encoding) become U+FFFD, so that the output always parses.
  void JsonString(const char* text, size_t limit);
};

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

// Whether findings on standard output are coloured when the user leaves it
// to the program: on a terminal, unless NO_COLOR is set. Never on Windows,
// whose console shows colour codes only once asked to.
bool ColourOnTerminal();

// The same line for any program's finding: WHERE:LINE:COLUMN: severity:
// message [name].
size_t FormatFindingLine(const char* where, long line, long column, FindingSeverity severity,
                         const char* message, const char* name, bool colour, char* out, size_t width);

// One JSON object and a line feed:
// {"plan":…,"line":…,"column":…,"severity":…,"code":…,"message":…}
size_t FormatJsonFinding(const char* plan, const Finding& finding, char* out, size_t width);

// {"plan":…,"summary":{"nodes":…,"links":…,"classes":…,"relations":…,
//  "errors":…,"warnings":…,"notes":…}} and a line feed.
size_t FormatJsonSummary(const char* plan, const PlanSummary& summary, char* out, size_t width);

}  // namespace plotweave
