// The fast paths of the converters against their plain paths, on random
// input built to hit every branch of both: any difference is a fault of the
// fast path.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "kscode/page_encoder.h"
#include "kscode/plan_normaliser.h"
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

// UTF-8 as a plan may hold it, well formed or not: ASCII, zero bytes, Hangul
// from every syllable, hanja, two- and four-byte forms, forms beyond U+10FFFF,
// lone continuation bytes, lead bytes no form starts with, and three-byte
// forms with any continuation bytes.
std::string RandomUtf8Plan(std::mt19937& rng, size_t length) {
  std::uniform_int_distribution<int> kind(0, 11);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> syllable(0xAC00, 0xD7A3);
  std::uniform_int_distribution<int> bmp(0x800, 0xFFFF);
  std::uniform_int_distribution<int> astral(0x10000, 0x1FFFFF);
  std::string text;
  while (text.size() < length) {
    const int k = kind(rng);
    if (k <= 2) {
      text += "n01 Person_";
    } else if (k <= 6) {
      const int cp = k == 6 ? bmp(rng) : syllable(rng);
      text += static_cast<char>(0xE0 | (cp >> 12));
      text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (k == 7) {
      const int cp = 0x80 + byte(rng) * 7;
      text += static_cast<char>(0xC0 | (cp >> 6));
      text += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (k == 8) {
      const int cp = astral(rng);
      text += static_cast<char>(0xF0 | ((cp >> 18) & 0x07));
      text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (k == 9) {
      text += static_cast<char>(0xE0 | (byte(rng) & 0x0F));
      text += static_cast<char>(byte(rng));
      text += static_cast<char>(byte(rng));
    } else {
      text += static_cast<char>(byte(rng));  // zero, continuation, F8..FF, anything
    }
  }
  return text;
}

std::string Normalised(const std::string& text, PlanEncoding encoding, size_t step, bool fast) {
  testing::PieceSource source(text, step);
  BufferedReader in(source);
  testing::StringSink sink;
  const NormaliseStatus status =
      fast ? NormalisePlan(in, encoding, sink) : NormalisePlanPlain(in, encoding, sink);
  EXPECT_EQ(status, NormaliseStatus::kDone);
  return sink.bytes;
}

// The pulled source over the same text with its mark, read in pieces of `readStep`.
std::string Pulled(const std::string& mark, const std::string& text, size_t step, size_t readStep) {
  testing::PieceSource plan(mark + text, step);
  auto source = std::make_unique<NormalisedPlanSource>(plan);
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = source->Read(buffer, readStep)) > 0) out.append(buffer, got);
  EXPECT_FALSE(source->Failed());
  return out;
}

// Reads of odd sizes cut characters across spans, where the fast path must
// hand over to the plain one.
constexpr size_t kSteps[] = {1, 2, 3, 7, 4096, 1 << 20};

TEST(NormaliserFastPath, Utf8AgreesWithThePlainPathOnRandomText) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 60; ++round) {
    const std::string text = RandomUtf8Plan(rng, 1 + round * 331);
    const size_t step = kSteps[round % 6];
    const std::string plain = Normalised(text, PlanEncoding::kUtf8, step, false);
    ASSERT_EQ(Normalised(text, PlanEncoding::kUtf8, step, true), plain) << "round " << round;
    ASSERT_EQ(Pulled("\xEF\xBB\xBF", text, step, 1 + round % 5 * 1000), plain) << "round " << round;
  }
}

TEST(NormaliserFastPath, Utf16AgreesWithThePlainPathOnRandomText) {
  std::mt19937 rng(2025);
  std::uniform_int_distribution<int> any(0, 0xFFFF);
  std::uniform_int_distribution<int> syllable(0xAC00, 0xD7A3);
  std::uniform_int_distribution<int> kind(0, 5);
  for (bool bigEndian : {false, true}) {
    const PlanEncoding encoding = bigEndian ? PlanEncoding::kUtf16Be : PlanEncoding::kUtf16Le;
    for (int round = 0; round < 30; ++round) {
      std::string text;
      for (int i = 0; i < 1 + round * 150; ++i) {
        const int k = kind(rng);
        // Hangul, ASCII, zero units, surrogate halves and anything else.
        const int u = k <= 1 ? syllable(rng) : k == 2 ? 0x20 + i % 0x5F : k == 3 ? 0 : k == 4 ? 0xD800 + any(rng) % 0x800 : any(rng);
        text += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
        text += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
      }
      if (round % 2 == 1) text += 'x';  // an odd last byte, dropped
      const size_t step = kSteps[round % 6];
      const std::string plain = Normalised(text, encoding, step, false);
      ASSERT_EQ(Normalised(text, encoding, step, true), plain) << "round " << round;
      ASSERT_EQ(Pulled(bigEndian ? "\xFE\xFF" : "\xFF\xFE", text, step, 1 + round % 5 * 1000), plain)
          << "round " << round;
    }
  }
}

}  // namespace
}  // namespace plotweave
