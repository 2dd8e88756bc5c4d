// What the checker reports: one finding per trap, with where it stands.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace plotweave {

enum class FindingSeverity : uint8_t { kError, kWarning, kNote };

// Every kind of finding the checker can report. The order is that of the
// table in finding.cc.
enum class FindingCode : uint8_t {
  // Errors: no page is written, or the page will not draw.
  kClassUndeclared,
  kFirstNodeUnknown,
  kSecondNodeUnknown,
  kRelationUndeclared,
  kApostrophe,
  kTrailingBackslash,
  kInvalidEscape,
  kLineBreak,
  kScriptEnd,
  kCommentEnd,
  kQuoteSwallowed,
  kPlanName,
  // Warnings: content is lost or changed without a word.
  kPastCapacity,
  kUnknownHeader,
  kCommentEndsSection,
  kBeforeFirstHeader,
  kShortLine,
  kLongLine,
  kFieldCut,
  kSectionRepeated,
  kLeadByteAtLineEnd,
  kDuplicateNodeId,
  kExtraFields,
  kBlankEntry,
  kCp949Character,
  // Notes.
  kUnusedClass,
  kUnusedRelation,
  kNodeWithoutLinks,
};

inline constexpr int kFindingCodeCount = static_cast<int>(FindingCode::kNodeWithoutLinks) + 1;

struct FindingKind {
  const char* name;  // stable name, as the JSON output gives it
  FindingSeverity severity;
};

const FindingKind& KindOf(FindingCode code);
const char* SeverityName(FindingSeverity severity);

inline constexpr size_t kMessageWidth = 512;

// One finding. Lines and columns count from 1; columns count characters as
// the plan's own encoding shows them.
struct Finding {
  FindingCode code;
  long line;
  long column;
  char message[kMessageWidth];
};

// Sets the message from a format, cut to fit.
void SetMessage(Finding& finding, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Formats into out[0, width), cut before a UTF-8 character that does not fit
// whole; what SetMessage does, for findings of the other programs.
void FormatMessageV(char* out, size_t width, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Receives findings as the checker makes them.
class FindingSink {
 public:
  virtual void Report(const Finding& finding) = 0;

 protected:
  ~FindingSink() = default;
};

// Findings counted by severity.
struct FindingCounts {
  long errors = 0;
  long warnings = 0;
  long notes = 0;
  void Count(FindingCode code);
};

}  // namespace plotweave
