#include "export/read_plan.h"

#include <cstring>

#include "kscode/plan_normaliser.h"
#include "plan/plan_name.h"
#include "plan/reader.h"
#include "plan/validate.h"

namespace plotweave {

namespace {

// The reader's warnings are the checker's business; the validation's errors
// only need counting, since a refused plan is shown by the checker.
class CountingSink final : public DiagnosticSink {
 public:
  void Report(const Diagnostic& d) override {
    if (d.severity == Severity::kError) ++errors;
  }
  bool WantsTraps() const override { return false; }
  long errors = 0;
};

// Far too large for a stack.
OntologyModel gModel;

}  // namespace

ExportRead ReadPlanForExport(ByteSource& plan, ExportModel* model) {
  std::memset(&gModel, 0, sizeof gModel);
  NormalisedPlanSource source(plan);
  CountingSink sink;
  // The longer link target, as the checker reads: addresses that fit its
  // titles fit those of both programs.
  const StreamStatus read = ReadPlan(source, gModel, kNewWindowBuild.linkTarget, sink);
  if (read != StreamStatus::kDone || source.Failed()) return ExportRead::kUnreadable;
  if (ValidateModel(gModel, sink) != ValidateStatus::kValid || sink.errors > 0) return ExportRead::kRefused;
  BuildExportModel(gModel, model);
  return ExportRead::kRead;
}

}  // namespace plotweave
