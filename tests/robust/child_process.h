// Runs a program as a child process with the controls the robustness tests
// need: a time limit, optionally another user, and its peak memory.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace plotweave::testing {

struct ChildResult {
  std::string output;     // standard output
  int exitStatus = -1;    // exit status, or -1 when it did not exit normally
  int signal = 0;         // the signal that ended it, 0 if none
  long peakRssKb = 0;     // largest resident set size
  bool execFailed = false;
};

struct ChildOptions {
  unsigned timeLimitSeconds = 60;  // SIGALRM ends a child that runs longer
  bool asOtherUser = false;        // run as nobody (65534), for a root test run
  // Largest file the child may write, in bytes (0: no limit): a write beyond
  // it fails with EFBIG, as on a disk that has no more room for the file.
  long fileSizeLimit = 0;
};

// Runs `program` with `args` in `dir`.
ChildResult RunChild(const std::string& program, const std::string& dir,
                     const std::vector<std::string>& args, const ChildOptions& options = {});

}  // namespace plotweave::testing
