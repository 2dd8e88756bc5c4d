#include <gtest/gtest.h>

#include <string>

#include "kscode/page_encoder.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::Encode;

TEST(EncodeChunk, UnicodeEscapes) {
  EXPECT_EQ(Encode("U+AC00"), "\xEA\xB0\x80");
  EXPECT_EQ(Encode("U+ac00"), "\xEA\xB0\x80");
  EXPECT_EQ(Encode("U+0041"), "A");
  EXPECT_EQ(Encode("U+00E9"), "\xC3\xA9");
  EXPECT_EQ(Encode("U+12345"), "\xE1\x88\xB4" "5");
  // The line feed is the fourth character: the low pair "1\n" reads as 0x01.
  EXPECT_EQ(Encode("U+AB1\n"), "\xEA\xAC\x81");
  EXPECT_EQ(Encode("u+AC00"), "u+AC00");
  // Each pair stops at its first non-hex byte; a sign is read as a formatted read does.
  EXPECT_EQ(Encode("U+4G41"), "\xD1\x81");
  EXPECT_EQ(Encode("U+-1 1"), "\xEF\xBC\x81");
}

TEST(EncodeChunk, EscapesThatAreNotCharacters) {
  // Fewer than four bytes before the chunk's end: written as it stands.
  EXPECT_EQ(Encode("U+AB"), "U+AB");
  EXPECT_EQ(Encode("xU+"), "xU+");
  // A pair without a number leaves the escape as text; so does a reference without digits.
  EXPECT_EQ(Encode("U+GG41"), "U+GG41");
  EXPECT_EQ(Encode("&#x41;"), "&#x41;");
  EXPECT_EQ(Encode("&#;x"), "&#;x");
  // Zero and lone surrogates become U+FFFD.
  EXPECT_EQ(Encode("U+0000"), "\xEF\xBF\xBD");
  EXPECT_EQ(Encode("&#0;"), "\xEF\xBF\xBD");
  EXPECT_EQ(Encode("&#55357;A"), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(Encode("&#56832;"), "\xEF\xBF\xBD");
  EXPECT_EQ(Encode("&#1114112;"), "\xEF\xBF\xBD");
}

TEST(EncodeChunk, NumericReferences) {
  EXPECT_EQ(Encode("&#44032;"), "\xEA\xB0\x80");
  EXPECT_EQ(Encode("&#44032"), "\xEA\xB0\x80");
  EXPECT_EQ(Encode("&#044032;"), "\xEA\xB0\x80");
  EXPECT_EQ(Encode("&#65x"), "Ax");
  EXPECT_EQ(Encode("&#44034;"), "\xEA\xB0\x82");
  // The value reading takes a sign or blank, the skip only digits.
  EXPECT_EQ(Encode("&#+65;"), "A+65;");
  EXPECT_EQ(Encode("&# 65;"), "A 65;");
  EXPECT_EQ(Encode("&#-65;"), "\xEF\xBF\xBD-65;");
  // Characters beyond U+FFFF are written whole, and surrogate halves join.
  EXPECT_EQ(Encode("&#128512;"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Encode("&#55357;&#56832;"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Encode("U+D83DU+DE00"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Encode("&#55357;U+DE00!"), "\xF0\x9F\x98\x80!");
}

TEST(EncodeChunk, KsPairsAndControlBytes) {
  EXPECT_EQ(Encode("\xB0\xA1"), "\xEA\xB0\x80");
  EXPECT_EQ(Encode("\xAD\xA1"), "\xE2\x96\xA3");
  EXPECT_EQ(Encode("\xA1\xAD"), "~");
  EXPECT_EQ(Encode("\xA2\xE6"), "?");
  // A lead byte before the line feed takes it as its trail byte.
  EXPECT_EQ(Encode("\xB0\n"), "\xE7\xA2\x8F");
  EXPECT_EQ(Encode("\x85\n"), "\xE2\x96\xA3");
  // A trail byte never starts an escape.
  // (B0 55 lies in the extended hanja area: U+9B87.)
  EXPECT_EQ(Encode("\xB0U+0041"), "\xE9\xAE\x87" "+0041");
  // A lead byte that ends the chunk has no partner.
  EXPECT_EQ(Encode("ab\xB0"), "ab\xE2\x96\xA3");
  EXPECT_EQ(Encode("\t\r\x01\x7F\n"), "\t\r\x01\x7F\n");
  EXPECT_EQ(Encode("\xAC\xFF\xC8\xFF"), "\xE2\x96\xA3\xE2\x96\xA3");
}

std::string EncodedPage(const std::string& page) {
  MemorySource source(page.data(), page.size());
  testing::StringSink sink;
  EXPECT_EQ(EncodePage(source, sink), StreamStatus::kDone);
  return sink.bytes;
}

TEST(EncodePage, WholePagesAndChunks) {
  EXPECT_EQ(EncodedPage(""), "\xEF\xBB\xBF");

  // A zero byte ends its chunk; the next line is read anew.
  EXPECT_EQ(EncodedPage(std::string("ab\0cd\nef\r\n", 10)), "\xEF\xBB\xBF" "abef\n");

  // A line longer than 19,999 bytes is scanned in chunks that never join a pair.
  std::string line(19998, 'a');
  line += "\xB0\xA1\n";
  // The second chunk starts with the trail byte, which pairs with the line
  // feed: KS A1 0A is U+7FD5.
  EXPECT_EQ(EncodedPage(line), "\xEF\xBB\xBF" + std::string(19998, 'a') + "\xE2\x96\xA3" "\xE7\xBF\x95");
}

TEST(EncodePage, FailuresOfEitherStreamAreReported) {
  const std::string page(300000, 'p');
  testing::PieceSource failing(page, 4096, true);
  testing::StringSink sink;
  EXPECT_EQ(EncodePage(failing, sink), StreamStatus::kReadFailed);
  for (size_t room : {0u, 2u, 65536u, 200000u}) {
    MemorySource source(page.data(), page.size());
    testing::FullSink full(room);
    EXPECT_EQ(EncodePage(source, full), StreamStatus::kWriteFailed) << room;
  }
}

}  // namespace
}  // namespace plotweave
