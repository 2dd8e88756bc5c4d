// One run of the program, from the command line to the page.
#pragma once

namespace plotweave {

// Path buffers hold at most 127 bytes and a zero byte.
inline constexpr int kPathBuffer = 128;

// Joins the arguments with single spaces into `joined` (kPathBuffer bytes).
// False when the result would not fit.
bool JoinArguments(int argc, const char* const* argv, char* joined);

// Cuts the joined path at its first '.'; false when no '.' stands at
// position 1 or later, so that there is no plan name to derive.
bool CutBaseName(char* joined);

// The whole run. Prints every message; the result is the exit status, 0.
int RunPlotweave(int argc, const char* const* argv, const char* linkTarget,
                 const char* pageNameFormat, int pageSuffixLength);

}  // namespace plotweave
