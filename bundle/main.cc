#include <cstdlib>
#include <cstring>

#include "bundle/image_address.h"
#include "bundle/run_bundle.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The running program's own path; argv[0] when the system does not say.
const char* ProgramPath(const char* argv0, char (&path)[plotweave::kPathCapacity]) {
#ifdef _WIN32
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n > 0 && n < sizeof path) return path;
#else
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) {
    path[n] = '\0';
    return path;
  }
#endif
  return argv0;
}

}  // namespace

int main(int argc, char** argv) {
  char program[plotweave::kPathCapacity];
  return plotweave::RunBundle(argc, argv, ProgramPath(argc > 0 ? argv[0] : "", program),
                              std::getenv("PLOTWEAVE_KIT"), stdout, stderr);
}
