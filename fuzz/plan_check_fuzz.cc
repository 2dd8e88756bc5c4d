// The checker on arbitrary bytes: every finding has a place and a message
// that is well-formed UTF-8 on one line.
#include <cstring>
#include <string>

#include "check/plan_check.h"
#include "fuzz/fuzz_support.h"
#include "plan/model.h"

namespace plotweave {
namespace {

class CheckedSink final : public FindingSink {
 public:
  void Report(const Finding& f) override {
    fuzz::CheckFindingText(f.line, f.column, f.message, sizeof f.message);
  }
};

}  // namespace
}  // namespace plotweave

FUZZ_INITIALIZE_WITH_SILENT_STDOUT()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotweave;
  MemorySource source(data, size);
  CheckedSink sink;
  PlanSummary summary;
  FUZZ_CHECK(CheckPlan(source, sink, &summary) == PlanCheckStatus::kChecked);
  FUZZ_CHECK(summary.nodes >= 0 && summary.nodes <= kNodeCapacity);
  return 0;
}
