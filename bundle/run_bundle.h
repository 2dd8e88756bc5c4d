// plotweave-bundle's front end: the program apart from its entry point. It
// reads the command line, opens every file (run_files.h, run_output.h),
// prints every message and returns the exit status; the copy itself
// (standalone.h) only reads and writes streams.
#pragma once

#include <cstdio>

namespace plotweave {

enum BundleExit {
  kBundleOk = 0,
  kBundleUsage = 2,        // bad command line, or the copy would replace the page
  kBundleUnreadable = 3,   // the page, or an image it names, cannot be read
  kBundleNotAPage = 4,     // no loader or network script line
  kBundleNoKit = 5,        // no kit found, or a file of it cannot be read
  kBundleWriteFailed = 6,  // the copy cannot be written
  kBundleTooLarge = 7,     // the copy would be larger than --max-size
};

// `program` is the path of the running program (for the installed kit and the
// source tree's), `kitVariable` the value of PLOTWEAVE_KIT (null when unset).
// Help and version go to `out`, and so does the copy with "-o -"; every other
// message goes to `err`.
int RunBundle(int argc, const char* const* argv, const char* program, const char* kitVariable, FILE* out,
              FILE* err);

}  // namespace plotweave
