#include "check/finding.h"

#include <cstdarg>
#include <cstdio>

namespace plotweave {

namespace {

constexpr FindingKind kKinds[kFindingCodeCount] = {
    {"class-undeclared", FindingSeverity::kError},
    {"first-node-unknown", FindingSeverity::kError},
    {"second-node-unknown", FindingSeverity::kError},
    {"relation-undeclared", FindingSeverity::kError},
    {"apostrophe", FindingSeverity::kError},
    {"trailing-backslash", FindingSeverity::kError},
    {"invalid-escape", FindingSeverity::kError},
    {"line-break", FindingSeverity::kError},
    {"script-end", FindingSeverity::kError},
    {"comment-end", FindingSeverity::kError},
    {"quote-swallowed", FindingSeverity::kError},
    {"plan-name", FindingSeverity::kError},
    {"past-capacity", FindingSeverity::kWarning},
    {"unknown-header", FindingSeverity::kWarning},
    {"comment-ends-section", FindingSeverity::kWarning},
    {"before-first-header", FindingSeverity::kWarning},
    {"short-line", FindingSeverity::kWarning},
    {"long-line", FindingSeverity::kWarning},
    {"field-cut", FindingSeverity::kWarning},
    {"section-repeated", FindingSeverity::kWarning},
    {"lead-byte-at-line-end", FindingSeverity::kWarning},
    {"duplicate-node-id", FindingSeverity::kWarning},
    {"extra-fields", FindingSeverity::kWarning},
    {"blank-entry", FindingSeverity::kWarning},
    {"cp949-character", FindingSeverity::kWarning},
    {"unused-class", FindingSeverity::kNote},
    {"unused-relation", FindingSeverity::kNote},
    {"node-without-links", FindingSeverity::kNote},
};

}  // namespace

const FindingKind& KindOf(FindingCode code) { return kKinds[static_cast<int>(code)]; }

const char* SeverityName(FindingSeverity severity) {
  switch (severity) {
    case FindingSeverity::kError: return "error";
    case FindingSeverity::kWarning: return "warning";
    case FindingSeverity::kNote: return "note";
  }
  return "note";
}

void FormatMessageV(char* out, size_t width, const char* format, va_list args) {
  const int n = std::vsnprintf(out, width, format, args);
  if (n >= static_cast<int>(width)) {
    // Cut before a UTF-8 character that did not fit whole.
    size_t end = width - 1;
    size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(out[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0 && static_cast<unsigned char>(out[start - 1]) >= 0xC0) {
      const unsigned char lead = static_cast<unsigned char>(out[start - 1]);
      const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (end - (start - 1) < need) out[start - 1] = '\0';
    }
  }
}

void SetMessage(Finding& finding, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatMessageV(finding.message, sizeof finding.message, format, args);
  va_end(args);
}

void FindingCounts::Count(FindingCode code) {
  switch (KindOf(code).severity) {
    case FindingSeverity::kError: ++errors; break;
    case FindingSeverity::kWarning: ++warnings; break;
    case FindingSeverity::kNote: ++notes; break;
  }
}

}  // namespace plotweave
