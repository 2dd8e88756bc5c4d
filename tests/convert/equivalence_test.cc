// The page encoder's fast path against its plain path, on random page text
// built to hit every branch of both: any difference is a fault of the fast
// path. (The plan normaliser's are compared in plan_normaliser_test.cc.)
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

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
  // A byte just outside '0'..'9' in each digit's place, and next to each
  // byte of the frame. Every five-digit reference is met first, so that any
  // value a misread might give has its character cached.
  std::string every;
  char buf[16];
  for (int value = 0; value < 100000; ++value) {
    std::snprintf(buf, sizeof buf, "&#%05d;", value);
    every += buf;
    if (every.size() > 8000) {
      EncodeWith(EncodeChunk, every);
      every.clear();
    }
  }
  for (size_t place = 0; place < 8; ++place) {
    for (const char wrong : {'/', ':', '%', '\'', '"', '$', ':', '<', '\x80', '\xB0'}) {
      std::string chunk = "&#44032;&#54620;";
      chunk[place] = wrong;
      EXPECT_EQ(EncodeWith(EncodeChunk, chunk), EncodeWith(EncodeChunkPlain, chunk)) << chunk;
    }
  }
  EXPECT_EQ(EncodeWith(EncodeChunk, "&#44032;&#44034;"), "\xEA\xB0\x80\xEA\xB0\x82");
  EXPECT_EQ(EncodeWith(EncodeChunk, "&#55357;&#56832;"), "\xF0\x9F\x98\x80");
}

TEST(EncoderFastPath, RunsCutAtEveryPlaceByTheChunkEnd) {
  // The word-at-a-time loop stops eight bytes before a chunk's end and the
  // rest is read byte by byte: every construct must come out the same
  // wherever that seam, or the end itself, cuts it.
  const std::string body =
      "ab_\xB0\xA1&#44032;&#55357;&#56832;\xC7\xD1&#00233;_&#65535;&#99999;&#00000;\xB0U+AC00&#5535&#"
      "\xA1\xAD&#56832;&#55357;\xB0\xA1&#55357;&#00065;z";
  for (size_t cut = 0; cut <= body.size(); ++cut) {
    for (size_t lead = 0; lead < 9; ++lead) {
      const std::string chunk = std::string(lead, 'x') + body.substr(0, cut);
      ASSERT_EQ(EncodeWith(EncodeChunk, chunk), EncodeWith(EncodeChunkPlain, chunk)) << "chunk: " << chunk;
      // A lead byte as the chunk's last byte, after every prefix.
      const std::string dangling = chunk + "\xB0";
      ASSERT_EQ(EncodeWith(EncodeChunk, dangling), EncodeWith(EncodeChunkPlain, dangling)) << "chunk: " << dangling;
    }
  }
}

// The page as the line reads and the plain path would convert it: the rules
// that EncodePage's reading in place must keep.
std::string PlainPage(const std::string& page) {
  MemorySource source(page.data(), page.size());
  testing::StringSink sink;
  {
    BufferedWriter out(sink);
    static const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
    out.Write(kByteOrderMark, sizeof kByteOrderMark);
    BufferedReader reader(source);
    std::vector<char> chunk(kPageChunkBuffer);
    while (reader.ReadLine(chunk.data(), chunk.size()) > 0) EncodeChunkPlain(chunk.data(), out);
  }
  return sink.bytes;
}

std::string FastPage(const std::string& page, size_t step) {
  testing::PieceSource source(page, step);
  testing::StringSink sink;
  EXPECT_EQ(EncodePage(source, sink), StreamStatus::kDone);
  return sink.bytes;
}

TEST(EncoderFastPath, PagesReadInPlaceAgreeWithTheLineRead) {
  // Lines of random page text with the line ends the reading treats apart:
  // LF, CR LF, a CR alone, zero bytes, lines longer than a chunk, a last line
  // without LF; read in pieces of several sizes so that lines straddle the
  // reader's buffer.
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> shape(0, 9);
  for (int round = 0; round < 60; ++round) {
    std::string page;
    while (page.size() < 150000) {
      std::string line = RandomPageText(rng, 1 + rng() % 120);
      switch (shape(rng)) {
        case 0:
          line += "\r\n";
          break;
        case 1:
          line.insert(rng() % (line.size() + 1), 1, '\0');
          line += '\n';
          break;
        case 2:
          line.insert(rng() % (line.size() + 1), 1, '\r');
          line += '\n';
          break;
        case 3:
          while (line.size() < kPageChunkBuffer + 100) line += RandomPageText(rng, 200);
          line += '\n';
          break;
        case 4:
          line += "\xB0\n";  // a lead byte pairs with the line feed
          break;
        default:
          line += '\n';
          break;
      }
      page += line;
    }
    if (round % 2 == 0) page += RandomPageText(rng, 10);  // no final LF
    const size_t step = round % 3 == 0 ? 65536 : round % 3 == 1 ? 7001 : 333;
    ASSERT_EQ(FastPage(page, step), PlainPage(page)) << "round " << round;
  }
}

TEST(EncoderFastPath, ChunkLimitsInPlace) {
  // Lines exactly at, and one byte over, the chunk's length; a CR LF across
  // the limit; a line cut in a reference or a pair.
  const size_t most = kPageChunkBuffer - 1;
  const std::vector<std::string> pages = {
      std::string(most - 1, 'a') + "\n" + "&#44032;\n",
      std::string(most, 'a') + "\n",
      std::string(most - 1, 'a') + "\r\n",
      std::string(most - 2, 'a') + "\r\n\xB0\xA1",
      std::string(most - 3, 'a') + "&#44032;\n",
      std::string(most - 1, 'a') + "\xB0\xA1\n",
      std::string(most, 'a'),
      std::string(most - 5, 'a') + std::string("\0\xB0\xA1\n", 4) + "&#44032;",
  };
  for (const std::string& page : pages) {
    EXPECT_EQ(FastPage(page, 65536), PlainPage(page)) << page.size();
    EXPECT_EQ(FastPage(page, 4096), PlainPage(page)) << page.size();
  }
}

}  // namespace
}  // namespace plotweave
