// Inputs the fuzz targets found, kept as regression cases.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::Encode;

// "U+" followed by KS text holds no number; the six bytes are consumed as an
// escape, and were written out raw, KS bytes and all, into the UTF-8 page.
TEST(Findings, EscapeWithoutANumberIsWrittenAsConvertedText) {
  // U+ followed by two Hangul syllables, as the plan normaliser writes them.
  EXPECT_EQ(Encode("U+\xB0\xA1\xB3\xAA!"), "U+\xEA\xB0\x80\xEB\x82\x98!");
  // A lead byte whose trail lies beyond the six bytes shows the no-character
  // mark; the trail then starts the next pair.
  EXPECT_EQ(Encode("U+z\xB0\xA1\xB3ok"), "U+z\xEA\xB0\x80\xE2\x96\xA3ok");
  // ASCII text is unchanged, and the reference without a number is its text.
  EXPECT_EQ(Encode("U+zz41 &#; &#x41;"), "U+zz41 &#; &#x41;");
}

TEST(Findings, FuzzInputsGiveWellFormedPages) {
  // The inputs that found it, line by line through the encoder; the plan one
  // is UTF-8 and carries its escapes through the scratch text unchanged.
  const std::string dir = testing::SourceDir() + "/fuzz/corpus/";
  for (const char* name : {"page/finding_escape_with_ks_text", "plan/finding_escape_with_ks_text"}) {
    const std::string input = testing::ReadFileBytes(dir + name);
    ASSERT_FALSE(input.empty()) << name;
    size_t start = 0;
    while (start < input.size()) {
      size_t end = input.find_first_of(std::string("\n\0", 2), start);
      end = end == std::string::npos ? input.size() : end + 1;
      const std::string out = Encode(input.substr(start, end - start));
      EXPECT_TRUE(fuzz::DecodeStrictUtf8(out, nullptr)) << name << " at byte " << start;
      start = end;
    }
  }
}

}  // namespace
}  // namespace plotweave
