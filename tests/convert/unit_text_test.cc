// The run converters against a character-by-character rendering of the plain
// rules, on random text: every byte they claim must come out as those rules
// write it, whatever the room left in the output.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kscode/kscode.h"
#include "kscode/unit_text.h"
#include "tests/support/utf8.h"

namespace plotweave {
namespace {

// The text of one code unit by the plain rules, built here from UnicodeToKs alone.
std::string UnitText(uint16_t unit) {
  if (unit == 0) return "";
  if (unit < 0x80) return std::string(1, static_cast<char>(unit));
  uint8_t lead = 0;
  uint8_t trail = 0;
  if (UnicodeToKs(unit, &lead, &trail)) return {static_cast<char>(lead), static_cast<char>(trail)};
  char reference[16];
  std::snprintf(reference, sizeof reference, "&#%05d;", unit);
  return reference;
}

std::string Unpack(PackedUnitText text) {
  std::string bytes;
  for (size_t i = 0; i < PackedUnitLength(text); ++i) bytes += static_cast<char>(text >> (8 * i));
  return bytes;
}

TEST(PackUnitText, EveryUnitPacksAsThePlainRulesWriteIt) {
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const PackedUnitText text = PackUnitText(static_cast<uint16_t>(unit));
    ASSERT_NE(text, 0u) << unit;
    ASSERT_EQ(Unpack(text), UnitText(static_cast<uint16_t>(unit))) << unit;
    ASSERT_EQ(CachedUnitText(static_cast<uint16_t>(unit)), text) << unit;
  }
  EXPECT_EQ(Unpack(PackUnitText(0xAC00)), "\xB0\xA1");
  EXPECT_EQ(Unpack(PackUnitText(0xAC02)), "&#44034;");
  EXPECT_EQ(Unpack(PackUnitText(0x0080)), "&#00128;");
  EXPECT_EQ(Unpack(PackUnitText(0xFFFF)), "&#65535;");
}

// Random UTF-8-like text: ASCII, zero bytes, three-byte forms of every kind
// (Hangul, malformed continuation bytes) and the other lead bytes.
std::string RandomUtf8(std::mt19937& rng, size_t length) {
  std::string text;
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> syllable(0xAC00, 0xD7A3);
  while (text.size() < length) {
    switch (kind(rng)) {
      case 0:
      case 1:
      case 2:
        text += static_cast<char>(0x20 + byte(rng) % 0x5F);
        break;
      case 3:
      case 4:
      case 5: {
        testing::AppendUtf8(text, static_cast<uint32_t>(syllable(rng)));
        break;
      }
      case 6:
        text += static_cast<char>(0xE0 | byte(rng) % 16);
        text += static_cast<char>(byte(rng));
        text += static_cast<char>(byte(rng));
        break;
      case 7:
        text += '\0';
        break;
      default:
        text += static_cast<char>(byte(rng));
        break;
    }
  }
  return text;
}

// Drives a run converter over the whole input with `room` bytes of output a
// call. Each stretch it converts must equal `expected` of that stretch; where
// it stops, `skip` says how far the plain rules would go.
template <typename Run, typename Expected, typename Skip>
void CheckRuns(const std::string& input, size_t room, Run run, Expected expected, Skip skip) {
  // In a block of its own size, so that a read past the input is caught
  // by the sanitizers and valgrind.
  const std::vector<unsigned char> bytes(input.begin(), input.end());
  const unsigned char* const in = bytes.data();
  // Bytes past the room must stay as they are: a converter stores whole
  // words, and one near the end of the room must not spill.
  constexpr size_t kGuard = 64;
  std::vector<unsigned char> out(room + kGuard, 0xA5);
  size_t i = 0;
  while (i < input.size()) {
    const RunResult r = run(in + i, input.size() - i, out.data(), room);
    ASSERT_LE(r.consumed, input.size() - i);
    ASSERT_LE(r.produced, room);
    for (size_t k = room; k < room + kGuard; ++k) ASSERT_EQ(out[k], 0xA5) << "written past the room at " << i;
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(out.data()), r.produced),
              expected(input.substr(i, r.consumed)))
        << "at byte " << i << ", room " << room;
    i += r.consumed;
    if (r.consumed == 0) {
      const size_t step = skip(input, i);
      if (step == 0) return;  // what is left is no whole character
      i += step;
    }
  }
}

// The plain UTF-8 rules for ASCII and three-byte forms, which is all a run may take.
std::string PlainUtf8(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += UnitText(b);
      ++i;
      continue;
    }
    EXPECT_EQ(b & 0xF0, 0xE0) << "a run took a form other than ASCII or three bytes";
    if (i + 3 > text.size()) return out + "<cut>";
    const int value = ((b - 0xE0) << 12) + ((static_cast<unsigned char>(text[i + 1]) - 0x80) << 6) +
                      (static_cast<unsigned char>(text[i + 2]) - 0x80);
    out += UnitText(static_cast<uint16_t>(value & 0xFFFF));
    i += 3;
  }
  return out;
}

size_t Utf8Length(const std::string& text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  const size_t length = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : 1;
  if (b >= 0xE0 && b < 0xF0) {
    EXPECT_LT(text.size() - i, 3u) << "a whole three-byte form was left at " << i;
  }
  if (b > 0 && b < 0x80) {
    ADD_FAILURE() << "an ASCII byte was left at " << i;
  }
  return i + length <= text.size() ? length : 0;
}

TEST(ConvertUtf8Run, AgreesWithThePlainRulesOnRandomText) {
  std::mt19937 rng(15);
  for (size_t room : {8, 9, 15, 64, 4096}) {
    for (int round = 0; round < 20; ++round) {
      const std::string text = RandomUtf8(rng, 50 + round * 97);
      CheckRuns(
          text, room,
          [](const unsigned char* in, size_t n, unsigned char* out, size_t r) { return ConvertUtf8Run(in, n, out, r); },
          PlainUtf8, Utf8Length);
    }
  }
}

// Text as plans hold it, which the converter takes 64 bytes at a time:
// ASCII words and gaps of every length (longer than a window too), Hangul
// words, and now and then something that makes a window go character by
// character: a zero byte, a two- or four-byte form, a stray continuation
// byte, a three-byte form with ASCII for a continuation byte, or the
// overlong form of the zero unit, which writes nothing.
std::string PlanLikeUtf8(std::mt19937& rng, size_t length, int oddOneIn) {
  static const std::string kOdd[] = {std::string(1, '\0'), "\xC3\xA9", "\xF0\x9F\x98\x80", "\x80", "\xEA\x41\x80", "\xE0\x80\x80",
                                     "\xEF\xBF"};
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> letters(1, 12);
  std::uniform_int_distribution<int> syllables(1, 9);
  std::uniform_int_distribution<int> syllable(0xAC00, 0xD7A3);
  std::uniform_int_distribution<int> odd(0, oddOneIn);
  std::string text;
  while (text.size() < length) {
    const int k = kind(rng);
    if (k == 0) {
      text.append(static_cast<size_t>(letters(rng)) * 9, 'x');  // a gap longer than a window now and then
    } else if (k <= 4) {
      for (int i = letters(rng); i > 0; --i) text += static_cast<char>('a' + i);
    } else {
      for (int i = syllables(rng); i > 0; --i) {
        testing::AppendUtf8(text, static_cast<uint32_t>(syllable(rng)));
      }
    }
    text += k % 2 ? '_' : ' ';
    if (odd(rng) == 0) text += kOdd[rng() % (sizeof kOdd / sizeof *kOdd)];
  }
  return text;
}

TEST(ConvertUtf8Run, AgreesWithThePlainRulesOnPlanLikeText) {
  std::mt19937 rng(1515);
  // Rooms about what a window needs, so that the room runs out inside the
  // stretch of windows, and rooms that hold everything.
  for (size_t room : {8, 200, 265, 266, 267, 300, 333, 700, 1 << 16}) {
    for (int round = 0; round < 12; ++round) {
      // Inputs that end at every distance from a window's end.
      const std::string text = PlanLikeUtf8(rng, 300 + round * 1499, round % 3 == 0 ? 1000000 : 40);
      CheckRuns(
          text, room,
          [](const unsigned char* in, size_t n, unsigned char* out, size_t r) { return ConvertUtf8Run(in, n, out, r); },
          PlainUtf8, Utf8Length);
    }
  }
  // Forms that all become eight-byte references, the most a window writes,
  // with the room running out at every point of a window.
  std::string references;
  for (int i = 0; i < 200; ++i) references += "\xEA\xB0\x82";
  for (size_t room = 240; room < 420; ++room) {
    CheckRuns(
        references, room,
        [](const unsigned char* in, size_t n, unsigned char* out, size_t r) { return ConvertUtf8Run(in, n, out, r); },
        PlainUtf8, Utf8Length);
  }
  // Three-byte forms at every offset against a window's end, and cut by the
  // end of the input.
  for (size_t offset = 0; offset < 70; ++offset) {
    std::string text(offset, 'a');
    for (int i = 0; i < 40; ++i) text += "\xEA\xB0\x80\xEA\xB0\x82_";
    for (size_t cut = 0; cut < 3; ++cut) {
      const std::string input = text + std::string("\xED\x9E\xA3", cut);
      CheckRuns(
          input, 1 << 12,
          [](const unsigned char* in, size_t n, unsigned char* out, size_t r) { return ConvertUtf8Run(in, n, out, r); },
          PlainUtf8, Utf8Length);
    }
  }
}

TEST(ConvertUtf8Run, StopsAtFormsItLeavesToThePlainPath) {
  unsigned char out[64];
  const auto run = [&](const std::string& s) {
    return ConvertUtf8Run(reinterpret_cast<const unsigned char*>(s.data()), s.size(), out, sizeof out);
  };
  EXPECT_EQ(run("ab\xC3\xA9").consumed, 2u);
  EXPECT_EQ(run("ab\xEA\xB0").consumed, 2u);  // cut off by the end of the input
  EXPECT_EQ(run(std::string("a\0b", 3)).consumed, 1u);
  EXPECT_EQ(run("\xF0\x9F\x98\x80").consumed, 0u);
  const RunResult hangul = run("\xEA\xB0\x80\xEA\xB0\x82!");
  EXPECT_EQ(hangul.consumed, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), hangul.produced), "\xB0\xA1&#44034;!");
  // Fewer than eight bytes of room: nothing is written.
  EXPECT_EQ(ConvertUtf8Run(reinterpret_cast<const unsigned char*>("abc"), 3, out, 7).consumed, 0u);
}

TEST(ConvertUtf16Run, AgreesWithThePlainRulesOnRandomText) {
  std::mt19937 rng(16);
  std::uniform_int_distribution<int> unit(0, 0xFFFF);
  std::uniform_int_distribution<int> syllable(0xAC00, 0xD7A3);
  for (bool bigEndian : {false, true}) {
    const int high = bigEndian ? 0 : 1;
    const auto plain = [high](const std::string& text) {
      std::string out;
      for (size_t i = 0; i + 2 <= text.size(); i += 2) {
        out += UnitText(static_cast<uint16_t>(static_cast<unsigned char>(text[i + high]) << 8 |
                                              static_cast<unsigned char>(text[i + 1 - high])));
      }
      EXPECT_EQ(text.size() % 2, 0u) << "a run took half a unit";
      return out;
    };
    for (size_t room : {8, 11, 64, 4096}) {
      std::string text;
      for (int i = 0; i < 3000; ++i) {
        const int roll = i % 3;
        const int u = roll == 0 ? unit(rng) : roll == 1 ? syllable(rng) : 0x20 + i % 0x60;
        text += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
        text += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
      }
      text += 'x';  // an odd last byte stays behind
      CheckRuns(
          text, room,
          [bigEndian](const unsigned char* in, size_t n, unsigned char* out, size_t r) {
            return ConvertUtf16Run(in, n, bigEndian, out, r);
          },
          plain, [](const std::string& t, size_t i) { return t.size() - i < 2 ? size_t{0} : size_t{2}; });
    }
  }
}

// Units as the converter's four-at-a-time test of ASCII sees them: runs of
// ASCII of every length and alignment, broken by units it must not take for
// ASCII (zero, 0x80, a high byte over an ASCII low byte, ASCII in the high
// byte) and by Hangul.
TEST(ConvertUtf16Run, AgreesWithThePlainRulesAroundBlocksOfAscii) {
  static const int kBreakers[] = {0x0000, 0x0080, 0x00FF, 0x0141, 0x7F41, 0x8041, 0xFF7F, 0x4100, 0x0100, 0xAC00, 0xAC02, 0xD83D};
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> runLength(0, 11);
  std::uniform_int_distribution<int> ascii(0x01, 0x7F);
  for (bool bigEndian : {false, true}) {
    const int high = bigEndian ? 0 : 1;
    std::string text;
    for (int piece = 0; piece < 2000; ++piece) {
      const int u0 = piece % 5 == 0 ? kBreakers[rng() % (sizeof kBreakers / sizeof *kBreakers)] : 0xAC00 + static_cast<int>(rng() % 11172);
      for (int r = runLength(rng), k = -1; k < r; ++k) {
        // Now and then a run of ASCII in the wrong byte of its units.
        const int u = k < 0 ? u0 : piece % 7 == 3 ? ascii(rng) << 8 : ascii(rng);
        text += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
        text += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
      }
    }
    const auto plain = [high](const std::string& t) {
      std::string out;
      for (size_t i = 0; i + 2 <= t.size(); i += 2) {
        out += UnitText(static_cast<uint16_t>(static_cast<unsigned char>(t[i + high]) << 8 |
                                              static_cast<unsigned char>(t[i + 1 - high])));
      }
      return out;
    };
    for (size_t room : {8, 15, 16, 31, 33, 100, 4096}) {
      CheckRuns(
          text, room,
          [bigEndian](const unsigned char* in, size_t n, unsigned char* out, size_t r) {
            return ConvertUtf16Run(in, n, bigEndian, out, r);
          },
          plain, [](const std::string& t, size_t i) { return t.size() - i < 2 ? size_t{0} : size_t{2}; });
    }
  }
}

}  // namespace
}  // namespace plotweave
