#include "import/import_finding.h"

#include <cstdarg>

namespace plotweave {

namespace {

constexpr FindingKind kKinds[kImportCodeCount] = {
    {"missing-column", FindingSeverity::kError},
    {"missing-value", FindingSeverity::kError},
    {"bad-encoding", FindingSeverity::kError},
    {"open-quote", FindingSeverity::kError},
    {"line-break", FindingSeverity::kError},
    {"script-end", FindingSeverity::kError},
    {"comment-end", FindingSeverity::kError},
    {"no-ks-code", FindingSeverity::kError},
    {"unknown-node", FindingSeverity::kError},
    {"no-room", FindingSeverity::kError},
    {"value-cut", FindingSeverity::kWarning},
    {"past-capacity", FindingSeverity::kWarning},
    {"underscore", FindingSeverity::kWarning},
    {"blank-character", FindingSeverity::kWarning},
    {"duplicate", FindingSeverity::kWarning},
    {"short-caption", FindingSeverity::kWarning},
    {"empty-label", FindingSeverity::kWarning},
    {"image-without-address", FindingSeverity::kWarning},
    {"picture-without-image", FindingSeverity::kWarning},
    {"picture-value", FindingSeverity::kWarning},
    {"label-flag", FindingSeverity::kWarning},
    {"extra-cells", FindingSeverity::kWarning},
    {"plan-name", FindingSeverity::kWarning},
    {"declared-by-default", FindingSeverity::kNote},
    {"default-appearance", FindingSeverity::kNote},
    {"column-ignored", FindingSeverity::kNote},
    {"blank-in-name", FindingSeverity::kNote},
};

}  // namespace

const FindingKind& KindOf(ImportCode code) { return kKinds[static_cast<int>(code)]; }

void ReportImport(ImportSink& sink, ImportCode code, const char* table, long row, long column, const char* format,
                  ...) {
  ImportFinding f;
  f.code = code;
  f.table = table;
  f.row = row;
  f.column = column;
  va_list args;
  va_start(args, format);
  FormatMessageV(f.message, sizeof f.message, format, args);
  va_end(args);
  sink.Report(f);
}

}  // namespace plotweave
