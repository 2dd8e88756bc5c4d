// CP949 as this program decodes it, against Python's codec for every pair.
#include "check/cp949.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "kscode/kscode.h"

namespace plotweave {
namespace {

// Python's cp949 decoding of every lead 0x81..0xFE with every trail byte,
// one code point a pair in hexadecimal (0 where it decodes to no single
// character); empty when Python cannot be run.
std::string PythonTable() {
  const char* script =
      "import sys\n"
      "out = []\n"
      "for lead in range(0x81, 0xFF):\n"
      "  for trail in range(0x100):\n"
      "    try:\n"
      "      s = bytes([lead, trail]).decode('cp949')\n"
      "      out.append('%x' % ord(s) if len(s) == 1 else '0')\n"
      "    except UnicodeDecodeError:\n"
      "      out.append('0')\n"
      "sys.stdout.write(' '.join(out))\n";
  FILE* pipe = popen(("python3 -c \"" + std::string(script) + "\" 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return "";
  std::string text;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  return pclose(pipe) == 0 ? text : "";
}

TEST(Cp949, EveryPairDecodesAsPythonsCodecDecodesIt) {
#ifdef _WIN32
  GTEST_SKIP() << "Python's codec is consulted on Linux";
#endif
  const std::string table = PythonTable();
  if (table.empty()) GTEST_SKIP() << "python3 is not available";
  size_t pos = 0;
  int extensions = 0, mismatches = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0; trail <= 0xFF; ++trail) {
      const size_t end = table.find(' ', pos);
      const unsigned long expected = std::stoul(table.substr(pos, end - pos), nullptr, 16);
      pos = end == std::string::npos ? table.size() : end + 1;
      const uint16_t got = Cp949ToUnicode(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
      if (got != expected && ++mismatches <= 10) {
        ADD_FAILURE() << std::hex << "pair " << lead << " " << trail << ": " << got << ", Python " << expected;
      }
      if (IsCp949Extension(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail))) {
        ++extensions;
        // Every extension code is a Hangul syllable that KS code lacks.
        uint8_t l, t;
        EXPECT_FALSE(UnicodeToKs(got, &l, &t));
        EXPECT_EQ(expected >= 0xAC00 && expected <= 0xD7A3, true);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(extensions, kCp949ExtensionCount);
}

TEST(Cp949, ExtensionIndexRunsThroughTheTrailRangesInCodeOrder) {
  EXPECT_EQ(Cp949ExtensionIndex(0x81, 0x41), 0);
  EXPECT_EQ(Cp949ExtensionIndex(0x81, 0x5A), 25);
  EXPECT_EQ(Cp949ExtensionIndex(0x81, 0x61), 26);
  EXPECT_EQ(Cp949ExtensionIndex(0x81, 0xFE), 177);
  EXPECT_EQ(Cp949ExtensionIndex(0xA1, 0x41), 32 * 178);
  EXPECT_EQ(Cp949ExtensionIndex(0xC6, 0x52), kCp949ExtensionCount - 1);
  for (const auto& [lead, trail] :
       {std::pair{0x81, 0x40}, {0x81, 0x5B}, {0x81, 0x7B}, {0xA1, 0xA1}, {0xC6, 0x53}, {0xC7, 0x41}, {0x80, 0x41}}) {
    EXPECT_EQ(Cp949ExtensionIndex(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)), -1)
        << std::hex << lead << " " << trail;
  }
  EXPECT_EQ(Cp949ToUnicode(0x8C, 0x63), 0xB620);  // 똠
}

}  // namespace
}  // namespace plotweave
