// The import on arbitrary tables: every finding has a place and a message
// that is well-formed UTF-8 on one line, and a plan written without an error
// is one in which the checker finds no error either.
#include <cstring>
#include <string>

#include "check/plan_check.h"
#include "fuzz/fuzz_support.h"
#include "import/import.h"

namespace plotweave {
namespace {

class CheckedImportSink final : public ImportSink {
 public:
  void Report(const ImportFinding& f) override {
    fuzz::CheckFindingText(f.row, f.column, f.message, sizeof f.message);
    errors += KindOf(f.code).severity == FindingSeverity::kError;
  }
  long errors = 0;
};

class NoErrors final : public FindingSink {
 public:
  void Report(const Finding& f) override {
    if (KindOf(f.code).severity == FindingSeverity::kError) {
      std::fprintf(stderr, "the checker finds in the imported plan: %s\n", f.message);
    }
    FUZZ_CHECK(KindOf(f.code).severity != FindingSeverity::kError);
  }
};

}  // namespace
}  // namespace plotweave

FUZZ_INITIALIZE_WITH_SILENT_STDOUT()

// The first byte chooses the options; the rest is cut in two, the nodes
// table and the links table.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotweave;
  if (size < 1) return 0;
  ImportOptions options;
  options.encoding = (data[0] & 1) != 0 ? TableEncoding::kCp949 : TableEncoding::kUtf8;
  options.ks = (data[0] & 2) != 0;
  options.delimiter = "\0,\t;"[(data[0] >> 2) & 3];
  const size_t half = 1 + (size - 1) / 2;
  MemorySource nodes(data + 1, half - 1);
  MemorySource links(data + half, size - half);
  ImportTables tables;
  tables.nodes = {&nodes, "nodes.csv"};
  tables.links = {&links, "links.csv"};
  CheckedImportSink sink;
  FUZZ_CHECK(ReadTables(tables, options, sink) == ImportStatus::kRead);
  if (sink.errors > 0) return 0;
  fuzz::StringSink plan;
  FUZZ_CHECK(WriteImportedPlan(options, plan) == StreamStatus::kDone);
  MemorySource written(plan.bytes.data(), plan.bytes.size());
  NoErrors checker;
  PlanSummary summary;
  FUZZ_CHECK(CheckPlan(written, checker, &summary) == PlanCheckStatus::kChecked);
  const ImportCounts counts = PlanCounts();
  FUZZ_CHECK(summary.nodes == counts.nodes && summary.links == counts.links);
  return 0;
}
