#include "app/build_setting.h"
#include "app/run_flow.h"

int main(int argc, char** argv) {
  return plotweave::RunPlotweave(argc, argv, plotweave::kLinkTarget, plotweave::kPageNameFormat,
                                 plotweave::kPageSuffixLength);
}
