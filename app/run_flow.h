// One run of the program, from the command line to the page.
#pragma once

#include "plan/plan_name.h"

namespace plotweave {

// The whole run: names the files, makes and removes them, and prints every
// message. The result is the exit status, 0.
int RunPlotweave(int argc, const char* const* argv, const BuildSetting& build);

}  // namespace plotweave
