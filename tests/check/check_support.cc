#include "tests/check/check_support.h"

#include <cstdint>
#include <cstdlib>

#include <gtest/gtest.h>

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

// KS X 1001 codes of the Hangul syllables the checker's tests use, from the
// published code page mapping rather than from the program's own tables.
struct KsSyllable {
  uint32_t codePoint;
  uint8_t lead, trail;
};
constexpr KsSyllable kSyllables[] = {
    {U'가', 0xB0, 0xA1}, {U'계', 0xB0, 0xE8}, {U'관', 0xB0, 0xFC}, {U'길', 0xB1, 0xE6}, {U'끝', 0xB3, 0xA1},
    {U'나', 0xB3, 0xAA}, {U'노', 0xB3, 0xEB}, {U'다', 0xB4, 0xD9}, {U'도', 0xB5, 0xB5}, {U'동', 0xB5, 0xBF},
    {U'드', 0xB5, 0xE5}, {U'들', 0xB5, 0xE9}, {U'라', 0xB6, 0xF3}, {U'람', 0xB6, 0xF7}, {U'마', 0xB8, 0xB6},
    {U'바', 0xB9, 0xD9}, {U'분', 0xBA, 0xD0}, {U'사', 0xBB, 0xE7}, {U'서', 0xBC, 0xAD}, {U'아', 0xBE, 0xC6},
    {U'여', 0xBF, 0xA9}, {U'울', 0xBF, 0xEF}, {U'자', 0xC0, 0xDA}, {U'줄', 0xC1, 0xD9}, {U'지', 0xC1, 0xF6},
    {U'차', 0xC2, 0xF7}, {U'카', 0xC4, 0xAB}, {U'타', 0xC5, 0xB8}, {U'파', 0xC6, 0xC4}, {U'하', 0xC7, 0xCF},
    {U'홍', 0xC8, 0xAB},
};

void PutUnit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

}  // namespace

std::string EncodePlan(const std::string& utf8, PlanForm encoding) {
  switch (encoding) {
    case PlanForm::kKs: {
      std::string out;
      for (uint32_t cp : CodePoints(utf8)) {
        if (cp < 0x80) {
          out += static_cast<char>(cp);
          continue;
        }
        const KsSyllable* s = nullptr;
        for (const KsSyllable& k : kSyllables) s = k.codePoint == cp ? &k : s;
        if (s == nullptr) {
          ADD_FAILURE() << "no KS code in the test table for U+" << std::hex << cp;
          return out;
        }
        out += static_cast<char>(s->lead);
        out += static_cast<char>(s->trail);
      }
      return out;
    }
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
  run.status = testing::ExitCode(run.status);
  return run;
}

#ifndef _WIN32
int RunCheckIntoFullDisk(const std::string& arg) {
  const std::string command = "'" PLOTWEAVE_CHECK_PROGRAM "' " + arg + " > /dev/full 2> /dev/null";
  return testing::ExitCode(std::system(command.c_str()));
}
#endif

}  // namespace plotweave
