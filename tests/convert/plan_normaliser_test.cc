#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "kscode/plan_normaliser.h"
#include "tests/support/test_support.h"
#include "tests/support/utf8.h"

namespace plotweave {
namespace {

struct Converted {
  int code;            // the encoding's number
  std::string scratch;  // the KS text that follows the mark
};

Converted Convert(const std::string& planBytes) {
  MemorySource source(planBytes.data(), planBytes.size());
  BufferedReader in(source);
  PlanEncoding encoding;
  EXPECT_EQ(DetectPlanEncoding(in, &encoding), StreamStatus::kDone);
  testing::StringSink sink;
  EXPECT_EQ(NormalisePlan(in, encoding, sink), StreamStatus::kDone);
  return {static_cast<int>(encoding), sink.bytes};
}

// The same plan through the pulled source, read `step` bytes at a time.
std::string Pulled(const std::string& planBytes, size_t planStep, size_t readStep) {
  testing::PieceSource plan(planBytes, planStep);
  auto source = std::make_unique<NormalisedPlanSource>(plan);
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = source->Read(buffer, readStep)) > 0) out.append(buffer, got);
  EXPECT_FALSE(source->Failed());
  return out;
}

const std::string kUtf8Mark = "\xEF\xBB\xBF";

TEST(NormalisePlan, PlansWithoutAMarkAreLeftAlone) {
  for (const std::string& plan : {std::string("\xEF\xBB\x41rest"), std::string(), std::string("\xEF"),
                                  std::string("\xEF\xBB"), std::string("#NODES\n")}) {
    Converted c = Convert(plan);
    EXPECT_EQ(c.code, 0);
    // Nothing is consumed: the reader sees the plan from its first byte.
    EXPECT_EQ(c.scratch, plan);
  }
}

TEST(NormalisePlan, MarksAreRecognisedAndNotCopied) {
  EXPECT_EQ(Convert(kUtf8Mark + "ab").code, 1);
  EXPECT_EQ(Convert(kUtf8Mark + "ab").scratch, "ab");
  EXPECT_EQ(Convert("\xFE\xFF" + std::string("\0a", 2)).code, 2);
  EXPECT_EQ(Convert("\xFE\xFF" + std::string("\0a", 2)).scratch, "a");
  // FF FE 00 00 is little-endian UTF-16 whose first unit is zero and writes nothing.
  Converted le = Convert(std::string("\xFF\xFE\0\0a\0", 6));
  EXPECT_EQ(le.code, 3);
  EXPECT_EQ(le.scratch, "a");
}

TEST(NormalisePlan, Utf8CharactersBecomeKsCodeOrReferences) {
  Converted c = Convert(kUtf8Mark + "A\xEA\xB0\x80\xC2\xB7\xC2\x80\xE2\x82\xAC\xEA\xB0\x82\r\n");
  EXPECT_EQ(c.scratch, "A\xB0\xA1\xA1\xA4&#00128;&#08364;&#44034;\r\n");
  // Compatibility ideographs are stored as their unified forms.
  EXPECT_EQ(Convert(kUtf8Mark + "\xEF\xA4\x80").scratch, "\xD1\xC2");
}

TEST(NormalisePlan, MalformedUtf8IsConvertedNotRejected) {
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

TEST(NormalisePlan, CharactersBeyondTheBmpTravelAsSurrogateReferences) {
  const std::string expected = "&#55357;&#56832;";
  EXPECT_EQ(Convert(kUtf8Mark + "\xF0\x9F\x98\x80").scratch, expected);
  EXPECT_EQ(Convert(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)).scratch, expected);
  EXPECT_EQ(Convert(std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)).scratch, expected);
}

TEST(NormalisePlan, Utf16UnitsOneByOneAndAnOddLastByteDropped) {
  Converted c = Convert(std::string("\xFE\xFF\xAC\x00\x00\r\x00\n\x00", 9));
  EXPECT_EQ(c.scratch, "\xB0\xA1\r\n");
  EXPECT_EQ(Convert(std::string("\xFF\xFE\x41\x00\x42", 5)).scratch, "A");
}

TEST(NormalisePlan, FailuresOfEitherStreamAreReported) {
  const std::string plan = kUtf8Mark + std::string(200000, 'x');
  {
    testing::PieceSource source(plan, 1000, true);
    BufferedReader in(source);
    PlanEncoding encoding;
    ASSERT_EQ(DetectPlanEncoding(in, &encoding), StreamStatus::kDone);
    testing::StringSink sink;
    EXPECT_EQ(NormalisePlan(in, encoding, sink), StreamStatus::kReadFailed);
  }
  {
    testing::PieceSource source("", 1, true);
    BufferedReader in(source);
    PlanEncoding encoding;
    EXPECT_EQ(DetectPlanEncoding(in, &encoding), StreamStatus::kReadFailed);
  }
  {
    MemorySource source(plan.data(), plan.size());
    BufferedReader in(source);
    PlanEncoding encoding;
    ASSERT_EQ(DetectPlanEncoding(in, &encoding), StreamStatus::kDone);
    testing::FullSink sink(70000);
    EXPECT_EQ(NormalisePlan(in, encoding, sink), StreamStatus::kWriteFailed);
  }
}

TEST(NormalisedPlanSource, GivesTheSameTextAsTheConversionHoweverItIsRead) {
  // Long enough to cross the buffers, with characters of every length, a
  // stray byte that becomes an eight-byte reference, and a mark split
  // across the plan's reads.
  std::string text;
  for (int i = 0; i < 6000; ++i) text += "a\xEA\xB0\x80\xC2\xB7\xF0\x9F\x98\x80\xFF\r\n";
  const std::string utf16 = std::string("\xFE\xFF") + std::string(100001, '\x41');
  for (const std::string& plan : {kUtf8Mark + text, utf16, std::string("#NODES\nk001 P\n"),
                                  std::string("\xEF\xBB"), std::string()}) {
    const std::string expected = Convert(plan).scratch;
    for (size_t planStep : {1u, 7u, 65536u}) {
      for (size_t readStep : {1u, 999u, 4096u}) {
        if (planStep == 1 && readStep == 1 && plan.size() > 1000) continue;  // slow, and no new case
        EXPECT_EQ(Pulled(plan, planStep, readStep), expected) << plan.size() << " " << planStep << " " << readStep;
      }
    }
  }
  testing::PieceSource plan(std::string("\xFF\xFE\x41\x00", 4), 4);
  auto source = std::make_unique<NormalisedPlanSource>(plan);
  char byte;
  ASSERT_EQ(source->Read(&byte, 1), 1u);
  EXPECT_EQ(source->encoding(), PlanEncoding::kUtf16Le);
}

TEST(NormalisedPlanSource, AReadFailureEndsTheTextAndIsReported) {
  testing::PieceSource plan(kUtf8Mark + std::string(10000, 'x'), 500, true);
  auto source = std::make_unique<NormalisedPlanSource>(plan);
  char buffer[1000];
  size_t total = 0;
  size_t got;
  while ((got = source->Read(buffer, sizeof buffer)) > 0) total += got;
  EXPECT_EQ(total, 10000u);
  EXPECT_TRUE(source->Failed());
}

// The fast path against the plain one, on random text.

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
      testing::AppendUtf8(text, static_cast<uint32_t>(k == 6 ? bmp(rng) : syllable(rng)));
    } else if (k == 7) {
      testing::AppendUtf8(text, static_cast<uint32_t>(0x80 + byte(rng) * 7));
    } else if (k == 8) {
      testing::AppendUtf8(text, static_cast<uint32_t>(astral(rng)));
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
  const StreamStatus status =
      fast ? NormalisePlan(in, encoding, sink) : NormalisePlanPlain(in, encoding, sink);
  EXPECT_EQ(status, StreamStatus::kDone);
  return sink.bytes;
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
    ASSERT_EQ(Pulled("\xEF\xBB\xBF" + text, step, 1 + round % 5 * 1000), plain) << "round " << round;
  }
}

// Plan lines as an editor writes them, which the fast path takes in large
// stretches, with now and then a character it hands to the plain one.
TEST(NormaliserFastPath, Utf8AgreesWithThePlainPathOnPlanLines) {
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int> syllable(0xAC00, 0xD7A3);
  std::uniform_int_distribution<int> count(1, 9);
  static const char* const kOdd[] = {"\xC3\xA9", "\xF0\x9F\x98\x80", "\xE2\x82\xAC", "\xFF"};
  std::string text;
  char prefix[32];
  for (int line = 0; text.size() < 300000; ++line) {
    std::snprintf(prefix, sizeof prefix, "n%05d Person ", line);
    text += prefix;
    for (int word = count(rng); word > 0; --word) {
      for (int k = count(rng); k > 0; --k) {
        if (word % 2 == 0) {
          text += static_cast<char>('a' + k);
          continue;
        }
        testing::AppendUtf8(text, static_cast<uint32_t>(syllable(rng)));
      }
      if (rng() % 8 == 0) text += kOdd[rng() % 4];
      text += '_';
    }
    text += " /p/1\n";
  }
  for (size_t step : {7u, 4096u, 1u << 20}) {
    const std::string plain = Normalised(text, PlanEncoding::kUtf8, step, false);
    ASSERT_EQ(Normalised(text, PlanEncoding::kUtf8, step, true), plain) << "step " << step;
    ASSERT_EQ(Pulled("\xEF\xBB\xBF" + text, step, 4096), plain) << "step " << step;
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
      ASSERT_EQ(Pulled((bigEndian ? "\xFE\xFF" : "\xFF\xFE") + text, step, 1 + round % 5 * 1000), plain)
          << "round " << round;
    }
  }
}

}  // namespace
}  // namespace plotweave
