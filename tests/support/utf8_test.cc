// The UTF-8 helper that the tests and benchmarks build their text with,
// read back by the strict reader the fuzz targets check pages with.
#include "tests/support/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace plotweave {
namespace {

using testing::Utf8;

TEST(Utf8Helper, EveryScalarValueReadsBackAsItselfInItsShortestForm) {
  std::vector<uint32_t> decoded;
  for (uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp == 0xD800) cp = 0xE000;
    const std::string bytes = Utf8(cp);
    decoded.clear();
    ASSERT_TRUE(fuzz::DecodeStrictUtf8(bytes, &decoded)) << std::hex << cp;
    ASSERT_EQ(decoded.size(), 1u) << std::hex << cp;
    ASSERT_EQ(decoded[0], cp);
  }
}

// The forms at each boundary, and the patterns of values no reader takes,
// which tests feed to the converters on purpose.
TEST(Utf8Helper, BoundariesAndIllFormedValues) {
  EXPECT_EQ(Utf8(0), std::string(1, '\0'));
  EXPECT_EQ(Utf8(0x7F), "\x7F");
  EXPECT_EQ(Utf8(0x80), "\xC2\x80");
  EXPECT_EQ(Utf8(0x7FF), "\xDF\xBF");
  EXPECT_EQ(Utf8(0x800), "\xE0\xA0\x80");
  EXPECT_EQ(Utf8(0xAC00), "\xEA\xB0\x80");
  EXPECT_EQ(Utf8(0xFFFF), "\xEF\xBF\xBF");
  EXPECT_EQ(Utf8(0x10000), "\xF0\x90\x80\x80");
  EXPECT_EQ(Utf8(0x10FFFF), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Utf8(0xD800), "\xED\xA0\x80");
  EXPECT_EQ(Utf8(0x1FFFFF), "\xF7\xBF\xBF\xBF");
  EXPECT_FALSE(fuzz::DecodeStrictUtf8(Utf8(0xDFFF), nullptr));
  EXPECT_FALSE(fuzz::DecodeStrictUtf8(Utf8(0x110000), nullptr));
}

}  // namespace
}  // namespace plotweave
