#include "plan/plan_name.h"
#include "app/run_flow.h"

int main(int argc, char** argv) {
#if defined(PLOTWEAVE_NEW_WINDOW)
  return plotweave::RunPlotweave(argc, argv, plotweave::kNewWindowBuild);
#else
  return plotweave::RunPlotweave(argc, argv, plotweave::kSameWindowBuild);
#endif
}
