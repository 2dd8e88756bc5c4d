// The checker's command line.
#pragma once

#include <cstddef>

namespace plotweave {

enum class OutputFormat { kText, kJson };
enum class ColourChoice { kAuto, kAlways, kNever };

struct CheckOptions {
  OutputFormat format = OutputFormat::kText;
  ColourChoice colour = ColourChoice::kAuto;
  bool strict = false;
  bool fixEncoding = false;  // write a UTF-8 copy of a plan with CP949 codes
  bool help = false;
  bool version = false;
  int planCount = 0;
};

inline constexpr size_t kOptionErrorWidth = 256;

// Reads the options; plans are every other argument, and every argument after
// "--". False on a usage error, described in `error`. With --help or
// --version no plan is needed.
bool ParseCheckOptions(int argc, const char* const* argv, CheckOptions* options, char* error,
                       size_t errorWidth);

// Walks the plan arguments in order.
struct PlanCursor {
  int index = 0;
  bool pastEnd = false;  // "--" has been passed
};

// Index of the next plan argument, or -1 when there is none. The options must
// have been accepted by ParseCheckOptions.
int NextPlanArgument(int argc, const char* const* argv, PlanCursor* cursor);

}  // namespace plotweave
