// What the import reports: one finding per trap in the tables, with the
// table, row and column it stands at.
#pragma once

#include <cstdint>

#include "check/finding.h"

namespace plotweave {

// Every kind of finding the import can report. The order is that of the
// table in import_finding.cc.
enum class ImportCode : uint8_t {
  // Errors: the import is refused and no plan is written.
  kMissingColumn,
  kMissingValue,
  kBadEncoding,
  kOpenQuote,
  kLineBreak,
  kScriptEnd,
  kCommentEnd,
  kNoKsCode,
  kUnknownNode,
  kNoRoom,
  // Warnings: the plan is written, and says less than the tables; --strict
  // refuses the import instead.
  kValueCut,
  kPastCapacity,
  kUnderscore,
  kBlankCharacter,
  kDuplicate,
  kShortCaption,
  kEmptyLabel,
  kImageWithoutAddress,
  kPictureWithoutImage,
  kPictureValue,
  kLabelFlag,
  kExtraCells,
  kPlanName,
  // Notes.
  kDeclaredByDefault,
  kDefaultAppearance,
  kColumnIgnored,
  kBlankInName,
};

inline constexpr int kImportCodeCount = static_cast<int>(ImportCode::kBlankInName) + 1;

const FindingKind& KindOf(ImportCode code);

struct ImportFinding {
  ImportCode code;
  const char* table;  // the table's name as given; valid during Report
  long row;           // from 1, the header row being 1
  long column;        // from 1
  char message[kMessageWidth];
};

class ImportSink {
 public:
  virtual void Report(const ImportFinding& finding) = 0;

 protected:
  ~ImportSink() = default;
};

// Makes a finding from a format and hands it to `sink`.
void ReportImport(ImportSink& sink, ImportCode code, const char* table, long row, long column, const char* format, ...)
    __attribute__((format(printf, 6, 7)));

}  // namespace plotweave
