// What the robustness tests share: the two programs and the console texts
// of a run.
#pragma once

#include <string>
#include <vector>

#include "tests/robust/child_process.h"
#include "tests/support/test_support.h"

namespace plotweave::testing {

struct Build {
  const char* program;
  const BuildSetting& setting;
};

inline const Build kSelfBuild{PLOTWEAVE_SELF_PROGRAM, kSameWindowBuild};
inline const Build kBlankBuild{PLOTWEAVE_BLANK_PROGRAM, kNewWindowBuild};
inline const Build* const kBuilds[] = {&kSelfBuild, &kBlankBuild};

inline const std::string kBanner =
    "\nVisualization Script Converter 2.1 (2017/09/19)\nJorin Vale, Quillon Laboratory, Vantor\n\n";

inline std::string AnsiLines(const std::string& plan) {
  return "Input Text Ecoding: ANSI or UTF-8 without BOM.\nSystem regards " + plan +
         " as ANSI encoding.\nText Encoding of LST file: 0 [0:ANSI 1:UTF-8 2:UTF-16(BE) 3:UTF-16(LE)]\n";
}

inline std::string EncodingLine(int code) {
  return "Text Encoding of LST file: " + std::to_string(code) +
         " [0:ANSI 1:UTF-8 2:UTF-16(BE) 3:UTF-16(LE)]\n";
}

inline std::string Creating(const std::string& page) {
  return "Creating " + page + " .... Encoding: KSX -> UTF-8\n";
}

inline std::string Created(const std::string& page) {
  return "Visualization Script " + page + " has been Created.\n";
}

}  // namespace plotweave::testing

// The robustness tests live in namespace plotweave and name these helpers
// unqualified; they are listed once here rather than in every test.
namespace plotweave {
using testing::AnsiLines;
using testing::Build;
using testing::ChildResult;
using testing::Created;
using testing::Creating;
using testing::EncodingLine;
using testing::FileExists;
using testing::kBanner;
using testing::kBuilds;
using testing::ReadFileBytes;
using testing::RunChild;
using testing::TempDir;
using testing::WriteFileBytes;
}  // namespace plotweave
