// Helpers of the checker's tests: plans in each encoding, and runs of the
// program.
#pragma once

#include <string>
#include <vector>

namespace plotweave {

enum class PlanForm { kKs, kUtf8, kUtf16Le };

// A plan given in UTF-8, as the file stores it in `encoding`: KS code without
// a mark, or UTF-8 or UTF-16 little-endian with their byte-order marks.
std::string EncodePlan(const std::string& utf8, PlanForm encoding);

struct CheckRun {
  std::string out;  // standard output
  int status;       // exit status
};

// Runs plotweave-check in `dir`.
CheckRun RunCheck(const std::string& dir, const std::vector<std::string>& args);

#ifndef _WIN32
// The exit status of plotweave-check with the one option `arg` (a word of
// the shell) and its standard output on /dev/full, where every write fails.
int RunCheckIntoFullDisk(const std::string& arg);
#endif

}  // namespace plotweave
