// Unicode plans through the whole program: every character of the Basic
// Multilingual Plane goes in through a UTF-8 plan and must come out as itself,
// whether it travelled as a KS code or as a numeric reference.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "kscode/ks_reverse_pairs.h"
#include "tests/support/test_support.h"
#include "tests/support/utf8.h"

namespace plotweave {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::Utf8;
using testing::WriteFileBytes;

std::string Utf16Le(uint32_t cp) {
  std::string s;
  auto unit = [&s](uint32_t u) {
    s += static_cast<char>(u & 0xFF);
    s += static_cast<char>(u >> 8);
  };
  if (cp < 0x10000) {
    unit(cp);
  } else {
    unit(0xD800 + ((cp - 0x10000) >> 10));
    unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
  }
  return s;
}

// What the page shows for a character of the plan: the character itself, but
// for the two arrows that KS code keeps only in their plain forms and the
// compatibility ideographs, which are stored as their unified forms.
uint32_t Shown(uint32_t cp) {
  if (cp == 0x21D2) return 0x2192;
  if (cp == 0x21D4) return 0x2194;
  if (cp >= 0xF900 && cp < 0xF900 + static_cast<uint32_t>(kCompatFoldCount)) return CompatFoldTable[cp - 0xF900];
  return cp;
}

std::string RunPlan(const std::string& dir, const char* plan) {
  int status = -1;
  return testing::RunProgram(PLOTWEAVE_SELF_PROGRAM, dir, {plan}, &status);
}

TEST(UnicodePlans, EveryBmpCharacterComesOutAsItself) {
  // Four characters per node label (at most 32 bytes as references), 512
  // nodes a run: the plane takes a few dozen runs.
  constexpr int kPerLabel = 4;
  uint32_t cp = 0x80;
  int runs = 0;
  int checked = 0;
  while (cp <= 0xFFFF) {
    TempDir dir;
    std::string plan = "\xEF\xBB\xBF#CLASS\nC red dot\n#NODES\n";
    std::string expectedRows[512];
    int nodes = 0;
    for (; nodes < 512 && cp <= 0xFFFF; ++nodes) {
      std::string label;
      std::string shown;
      for (int k = 0; k < kPerLabel && cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        label += Utf8(cp);
        shown += Utf8(Shown(cp));
        ++k;
      }
      char id[16];
      std::snprintf(id, sizeof id, "n%04d", nodes);
      plan += std::string(id) + " C " + label + "\n";
      expectedRows[nodes] = "['" + std::string(id) + "', 'C', '" + shown + "', '" + shown + "', 'dot'";
    }
    WriteFileBytes(dir / "u.lst", plan);
    const std::string console = RunPlan(dir.path(), "u.lst");
    ASSERT_NE(console.find("has been Created."), std::string::npos) << console;
    EXPECT_EQ(console.find("Warning"), std::string::npos) << console;
    const std::string page = ReadFileBytes(dir / "u_self.htm");
    for (int i = 0; i < nodes; ++i) {
      EXPECT_NE(page.find(expectedRows[i]), std::string::npos) << expectedRows[i];
      ++checked;
    }
    ++runs;
  }
  EXPECT_EQ(checked, (0x10000 - 0x80 - 0x800 + kPerLabel - 1) / kPerLabel);
}

TEST(UnicodePlans, CharactersBeyondTheBmpSurviveBothUnicodeForms) {
  auto utf16 = [](const std::string& ascii) {
    std::string s;
    for (char c : ascii) s += std::string(1, c) + '\0';
    return s;
  };
  // Each such character takes two references of eight bytes: one a label.
  const uint32_t wide[] = {0x1F600, 0x20000, 0x10FFFF, 0x10000};
  std::string utf8Plan = "\xEF\xBB\xBF#CLASS\nC red dot\n#NODES\n";
  std::string utf16Plan = "\xFF\xFE" + utf16("#CLASS\r\nC red dot\r\n#NODES\r\n");
  std::string rows;
  for (uint32_t cp : wide) {
    const std::string id = "k" + std::to_string(cp);
    utf8Plan += id + " C " + Utf8(cp) + "\n";
    utf16Plan += utf16(id + " C ") + Utf16Le(cp) + utf16("\r\n");
    rows += "        nodesTable.addRow(['" + id + "', 'C', '" + Utf8(cp) + "', '" + Utf8(cp) + "', 'dot'";
    rows += testing::WithBuildHosts(", 'http://localhost:8000/VR/style/noimage.png', '']);\n");
  }
  TempDir dir;
  WriteFileBytes(dir / "a.lst", utf8Plan);
  WriteFileBytes(dir / "b.lst", utf16Plan);
  RunPlan(dir.path(), "a.lst");
  RunPlan(dir.path(), "b.lst");
  EXPECT_NE(ReadFileBytes(dir / "a_self.htm").find(testing::NativeLines(rows)), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir / "a_self.htm"), ReadFileBytes(dir / "b_self.htm"));
}

}  // namespace
}  // namespace plotweave
