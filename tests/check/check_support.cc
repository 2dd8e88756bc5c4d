#include "tests/check/check_support.h"

#include <cstdint>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/support/test_support.h"

namespace plotweave {

namespace {

// The code points of UTF-8 text (well-formed test data).
std::vector<uint32_t> CodePoints(const std::string& utf8) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<size_t>(n);
  }
  return out;
}

void PutUnit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

}  // namespace

std::string EncodePlan(const std::string& utf8, PlanForm encoding) {
  switch (encoding) {
    case PlanForm::kKs:
      return testing::Ks(utf8);
    case PlanForm::kUtf8:
      return "\xEF\xBB\xBF" + utf8;
    case PlanForm::kUtf16Le:
      break;
  }
  std::string out = "\xFF\xFE";
  for (uint32_t cp : CodePoints(utf8)) {
    if (cp >= 0x10000) {
      PutUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
      PutUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      PutUnit(out, cp);
    }
  }
  return out;
}

CheckRun RunCheck(const std::string& dir, const std::vector<std::string>& args) {
  CheckRun run;
  run.out = testing::RunProgram(PLOTWEAVE_CHECK_PROGRAM, dir, args, &run.status);
#ifndef _WIN32
  run.status = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
#endif
  return run;
}

}  // namespace plotweave
