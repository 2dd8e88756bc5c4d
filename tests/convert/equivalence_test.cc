// The page encoder's fast path against its plain path, on random page text
// built to hit every branch of both: any difference is a fault of the fast
// path. (The plan normaliser's are compared in plan_normaliser_test.cc.)
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "kscode/page_encoder.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using ChunkEncoder = void (*)(const char*, BufferedWriter&);

std::string EncodeWith(ChunkEncoder encode, const std::string& chunk) {
  testing::StringSink sink;
  {
    BufferedWriter out(sink);
    encode(chunk.c_str(), out);
  }
  return sink.bytes;
}

// Page text made of the pieces the encoder tells apart: references in the
// normaliser's form and in every other form (surrogate halves, six digits,
// signs, no semicolon), Unicode escapes, KS pairs, control bytes, plain text,
// and bytes that cut any of them short.
std::string RandomPageText(std::mt19937& rng, size_t pieces) {
  static const char* const kFragments[] = {"&", "#", ";", "U", "+", "-", " ", "\t", "\r", "\n", "0", "9",
                                           "a", "F", "g", "x", "<a href=\"/p.html\">", "&#", "U+"};
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> any(0, 0x1FFFF);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> fragment(0, sizeof kFragments / sizeof *kFragments - 1);
  std::uniform_int_distribution<int> surrogate(0xD800, 0xDFFF);
  std::string text;
  char buf[32];
  for (size_t i = 0; i < pieces; ++i) {
    switch (kind(rng)) {
      case 0:
      case 1:
        std::snprintf(buf, sizeof buf, "&#%05d;", any(rng) % 0x10000);
        text += buf;
        break;
      case 2:
        std::snprintf(buf, sizeof buf, "&#%05d;&#%05d;", surrogate(rng), surrogate(rng));
        text += buf;
        break;
      case 3:
        std::snprintf(buf, sizeof buf, "&#%d%s", any(rng) - 0x100, byte(rng) % 2 ? ";" : "");
        text += buf;
        break;
      case 4:
        std::snprintf(buf, sizeof buf, "U+%04X", any(rng) % 0x10000);
        text += buf;
        break;
      case 5:
      case 6:
        text += static_cast<char>(0x80 + byte(rng) % 0x80);
        text += static_cast<char>(byte(rng));
        break;
      case 7:
        text += static_cast<char>(byte(rng));
        break;
      default:
        text += kFragments[fragment(rng)];
        break;
    }
  }
  return text;
}

TEST(EncoderFastPath, AgreesWithThePlainPathOnRandomPageText) {
  std::mt19937 rng(1515);
  for (int round = 0; round < 3000; ++round) {
    std::string chunk = RandomPageText(rng, 1 + round % 40);
    // Now and then a chunk that stops inside a construct.
    if (round % 3 == 0 && !chunk.empty()) chunk.resize(rng() % chunk.size());
    ASSERT_EQ(EncodeWith(EncodeChunk, chunk), EncodeWith(EncodeChunkPlain, chunk)) << "chunk: " << chunk;
  }
}

TEST(EncoderFastPath, FiveDigitReferencesAndTheirNeighbours) {
  // Every form next to the five-digit one must still be read by the general rule.
  for (const std::string& chunk :
       {std::string("&#44032;"), std::string("&#44032"), std::string("&#044032;"), std::string("&#4403;"),
        std::string("&#55357;&#56832;"), std::string("&#55357;x"), std::string("&#00000;"), std::string("&#99999;"),
        std::string("&#+4403;"), std::string("&# 4403;"), std::string("&#4403a;"), std::string("&#00065;x"),
        std::string("&#4403:;"), std::string("&#1234?;"), std::string("&#/4403;")}) {
    EXPECT_EQ(EncodeWith(EncodeChunk, chunk), EncodeWith(EncodeChunkPlain, chunk)) << chunk;
  }
  EXPECT_EQ(EncodeWith(EncodeChunk, "&#44032;&#44034;"), "\xEA\xB0\x80\xEA\xB0\x82");
  EXPECT_EQ(EncodeWith(EncodeChunk, "&#55357;&#56832;"), "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace plotweave
