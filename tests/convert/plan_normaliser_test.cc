#include <gtest/gtest.h>

#include <string>

#include "kscode/kscode.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::StdoutCapture;
using testing::TempDir;
using testing::WriteFileBytes;

struct Converted {
  int code;
  std::string scratch;
  bool scratchExists;
  std::string console;
};

Converted Convert(const std::string& planBytes) {
  TempDir dir;
  WriteFileBytes(dir / "p.lst", planBytes);
  Converted c{};
  StdoutCapture capture;
  c.code = ConvertPlanToKs((dir / "p.lst").c_str(), (dir / "p.asc").c_str());
  c.console = testing::LfLines(capture.Take());
  c.scratchExists = FileExists(dir / "p.asc");
  c.scratch = ReadFileBytes(dir / "p.asc");
  return c;
}

const std::string kUtf8Mark = "\xEF\xBB\xBF";

TEST(ConvertPlanToKs, PlansWithoutAMarkAreLeftAlone) {
  for (const std::string& plan : {std::string("\xEF\xBB\x41rest"), std::string(), std::string("\xEF"),
                                  std::string("\xEF\xBB"), std::string("#NODES\n")}) {
    Converted c = Convert(plan);
    EXPECT_EQ(c.code, 0);
    EXPECT_FALSE(c.scratchExists);
    EXPECT_EQ(c.console.substr(0, 46), "Input Text Ecoding: ANSI or UTF-8 without BOM.");
    EXPECT_NE(c.console.find("as ANSI encoding.\n"), std::string::npos);
  }
}

TEST(ConvertPlanToKs, MarksAreRecognisedAndNotCopied) {
  EXPECT_EQ(Convert(kUtf8Mark + "ab").code, 1);
  EXPECT_EQ(Convert(kUtf8Mark + "ab").scratch, "ab");
  EXPECT_EQ(Convert("\xFE\xFF" + std::string("\0a", 2)).code, 2);
  EXPECT_EQ(Convert("\xFE\xFF" + std::string("\0a", 2)).scratch, "a");
  // FF FE 00 00 is little-endian UTF-16 whose first unit is zero and writes nothing.
  Converted le = Convert(std::string("\xFF\xFE\0\0a\0", 6));
  EXPECT_EQ(le.code, 3);
  EXPECT_EQ(le.scratch, "a");
  EXPECT_EQ(le.console, "");
}

TEST(ConvertPlanToKs, Utf8CharactersBecomeKsCodeOrReferences) {
  Converted c = Convert(kUtf8Mark + "A\xEA\xB0\x80\xC2\xB7\xC2\x80\xE2\x82\xAC\xEA\xB0\x82\r\n");
  EXPECT_EQ(c.scratch, "A\xB0\xA1\xA1\xA4&#00128;&#08364;&#44034;\r\n");
  // Compatibility ideographs are stored as their unified forms.
  EXPECT_EQ(Convert(kUtf8Mark + "\xEF\xA4\x80").scratch, "\xD1\xC2");
}

TEST(ConvertPlanToKs, MalformedUtf8IsConvertedNotRejected) {
  // Overlong form, lone continuation byte, zero byte, truncated last character.
  EXPECT_EQ(Convert(kUtf8Mark + "\xC1\x81").scratch, "A");
  EXPECT_EQ(Convert(kUtf8Mark + "\xB7").scratch, "\xA1\xA4");
  EXPECT_EQ(Convert(kUtf8Mark + std::string("a\0b", 3)).scratch, "ab");
  EXPECT_EQ(Convert(kUtf8Mark + "ab\xEA\xB0").scratch, "ab");
  // A continuation byte below 0x80 makes the value negative: its low 16 bits count.
  EXPECT_EQ(Convert(kUtf8Mark + "\xC0\x41").scratch, "&#65473;");
  EXPECT_EQ(Convert(kUtf8Mark + "\xC2\x41").scratch, "A");
  // No UTF-8 form starts with F8..FF: one replacement reference, nothing repeated.
  EXPECT_EQ(Convert(kUtf8Mark + "A\xF8" "B").scratch, "A&#65533;B");
  EXPECT_EQ(Convert(kUtf8Mark + "\xFF").scratch, "&#65533;");
  EXPECT_EQ(Convert(kUtf8Mark + "\xF4\x90\x80\x80").scratch, "&#65533;");
}

TEST(ConvertPlanToKs, CharactersBeyondTheBmpTravelAsSurrogateReferences) {
  const std::string expected = "&#55357;&#56832;";
  EXPECT_EQ(Convert(kUtf8Mark + "\xF0\x9F\x98\x80").scratch, expected);
  EXPECT_EQ(Convert(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)).scratch, expected);
  EXPECT_EQ(Convert(std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)).scratch, expected);
}

TEST(ConvertPlanToKs, Utf16UnitsOneByOneAndAnOddLastByteDropped) {
  Converted c = Convert(std::string("\xFE\xFF\xAC\x00\x00\r\x00\n\x00", 9));
  EXPECT_EQ(c.scratch, "\xB0\xA1\r\n");
  EXPECT_EQ(Convert(std::string("\xFF\xFE\x41\x00\x42", 5)).scratch, "A");
}

TEST(ConvertPlanToKs, OpenFailures) {
  TempDir dir;
  EXPECT_EQ(ConvertPlanToKs((dir / "none.lst").c_str(), (dir / "none.asc").c_str()), -1);
  EXPECT_FALSE(FileExists(dir / "none.asc"));
  WriteFileBytes(dir / "p.lst", kUtf8Mark + "x");
  EXPECT_EQ(ConvertPlanToKs((dir / "p.lst").c_str(), (dir / "missing/p.asc").c_str()), -2);
#ifdef _WIN32
  // The Windows runtime may refuse to open a folder as a file (not found) or
  // open it and fail on the read; either way it is no plan.
  const int folder = ConvertPlanToKs(dir.path().c_str(), (dir / "d.asc").c_str());
  EXPECT_TRUE(folder == kPlanNotFound || folder == kPlanReadFailed) << folder;
#else
  // A plan that opens but cannot be read is no plan at all.
  EXPECT_EQ(ConvertPlanToKs(dir.path().c_str(), (dir / "d.asc").c_str()), kPlanReadFailed);
#endif
  EXPECT_FALSE(FileExists(dir / "d.asc"));
}

}  // namespace
}  // namespace plotweave
