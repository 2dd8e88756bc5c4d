// Facts about the generated character tables and the two lookups over them.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "kscode/ks_reverse_pairs.h"
#include "kscode/ks_tables.h"
#include "kscode/kscode.h"

namespace plotweave {
namespace {

constexpr int kFirstAreaStart = 4889;
constexpr int kFirstAreaEnd = 16805;

struct KsCode {
  uint8_t lead;
  uint8_t trail;
};

// The byte pairs at which cp949 places the Hangul syllables it adds to
// KS X 1001.
bool IsCp949HangulPair(int lead, int trail) {
  const bool low = (trail >= 0x41 && trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A);
  if (lead >= 0x81 && lead <= 0xA0) return low || (trail >= 0x81 && trail <= 0xFE);
  if (lead >= 0xA1 && lead <= 0xC5) return low || (trail >= 0x81 && trail <= 0xA0);
  return lead == 0xC6 && trail >= 0x41 && trail <= 0x52;
}

KsCode FirstAreaCode(int codeIndex) {
  const int offset = codeIndex - kFirstAreaStart;
  return {static_cast<uint8_t>(0xA1 + offset / 128), static_cast<uint8_t>(0x21 + offset % 128)};
}

uint32_t TableAt(int codeIndex) { return KsIdeographTable[codeIndex - 1]; }

bool Listed(int codeIndex) {
  for (const KsSupplementPair& pair : KsSupplementList) {
    if (pair.codeIndex == static_cast<uint32_t>(codeIndex)) return true;
  }
  return false;
}

struct ExpectedForward {
  uint8_t lead;
  uint8_t trail;
  uint16_t codePoint;
};

void ExpectForward(const std::vector<ExpectedForward>& cases) {
  for (const ExpectedForward& c : cases) {
    EXPECT_EQ(KsToUnicode(c.lead, c.trail), c.codePoint)
        << std::hex << "pair " << int(c.lead) << " " << int(c.trail);
  }
}

// ---------------------------------------------------------------------------
// Forward lookup

TEST(KsForwardTest, KsX1001Characters) {
  ExpectForward({
      {0xB0, 0xA1, 0xAC00}, {0xC8, 0xFE, 0xD79D}, {0xA1, 0xA1, 0x3000},
      {0xCA, 0xA1, 0x4F3D}, {0xFD, 0xFE, 0x8A70}, {0xD1, 0xC2, 0x8C48},
      {0xCD, 0xE7, 0x6C69}, {0xA3, 0xA1, 0xFF01}, {0xA7, 0xE9, 0x33DD},
  });
}

TEST(KsForwardTest, DeliberateDifferencesInSymbolRows) {
  ExpectForward({
      {0xA1, 0xAD, 0x007E}, {0xA2, 0xA1, 0x2192}, {0xA2, 0xA2, 0x2194},
      {0xA2, 0xE6, 0x003F}, {0xA2, 0xE7, 0x003F}, {0xAC, 0xFE, 0x003F},
      {0xA8, 0xA5, 0x003F}, {0xA8, 0xA7, 0x003F}, {0xA8, 0xB0, 0x003F},
  });
  // The double arrows are still in the table for the reverse direction.
  EXPECT_EQ(KsSymbolTable[94], 0x21D2);
  EXPECT_EQ(KsSymbolTable[95], 0x21D4);
}

TEST(KsForwardTest, MalformedPairsFollowTheirPosition) {
  ExpectForward({
      {0xB0, 0xFF, 0xAD0C},  // next row's first syllable
      {0xA1, 0xFF, 0x2192},  // position 94, replaced like A2A1
      {0xFE, 0xA1, 0x4EEE},  // same code index as A1 21
      {0xA1, 0x0A, 0x7FD5},  // code index 4,866, the hanja of FD E8
      {0xB0, 0x0A, 0x788F},  // code index 6,786
      {0xFE, 0x6E, 0x5DD9},  // same number as 99 61
      {0xFF, 0x97, 0x7A0F},  // same number as 9A 8A
      {0xFF, 0x99, 0x58C4},  // same number as 9A 8C
  });
  EXPECT_EQ(KsCodeIndex(0xA1, 0x0A), 4866);
  EXPECT_EQ(KsCodeIndex(0xFE, 0xA1), 4889);
  EXPECT_EQ(KsCodeIndex(0xFD, 0xFF), 4889);
  EXPECT_EQ(KsCodeIndex(0xFF, 0xFF), 5077);
  EXPECT_EQ(KsCodeIndex(0xFF, 0xA0), 17048);
  EXPECT_EQ(KsCodeIndex(0x89, 0x21), 18854);
  EXPECT_EQ(KsCodeIndex(0x90, 0xA0), 19877);
}

TEST(KsForwardTest, PairsWithoutMapping) {
  ExpectForward({
      {0xAD, 0xA1, 0}, {0xC9, 0xA1, 0}, {0xCB, 0xD0, 0}, {0x81, 0x41, 0},
      {0x89, 0x21, 0}, {0xB7, 0x49, 0}, {0xEF, 0x66, 0}, {0xFE, 0x2D, 0},
      {0xAC, 0xFF, 0}, {0xC8, 0xFF, 0},  // one past the end of their tables
  });
  for (int trail = 0xA1; trail <= 0xFF; ++trail) {
    for (int lead : {0xAD, 0xAE, 0xAF, 0xC9}) {
      EXPECT_EQ(KsToUnicode(lead, trail), 0) << std::hex << lead << " " << trail;
    }
    for (int lead = 0x89; lead <= 0xA0; ++lead) {
      EXPECT_EQ(KsToUnicode(lead, trail), 0) << std::hex << lead << " " << trail;
    }
  }
  for (int lead = 0x80; lead <= 0x88; ++lead) {
    for (int trail = 0; trail <= 0xFF; ++trail) {
      EXPECT_EQ(KsToUnicode(lead, trail), 0) << std::hex << lead << " " << trail;
    }
  }
}

// Every input is valid; a sanitiser build checks that none reads outside the
// tables, and every result must be a value that some table holds.
TEST(KsForwardTest, EveryInputGivesATableValueOrZero) {
  std::set<uint32_t> held;
  for (uint16_t v : KsSymbolTable) held.insert(v);
  for (uint16_t v : KsHangulTable) held.insert(v);
  for (uint32_t v : KsIdeographTable) held.insert(v);
  for (const KsSupplementPair& p : KsSupplementList) held.insert(p.codePoint);
  int mapped = 0;
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0; trail <= 0xFF; ++trail) {
      const int index = KsCodeIndex(lead, trail);
      EXPECT_GE(index, 0);
      EXPECT_LE(index, 19877);
      const uint16_t cp = KsToUnicode(lead, trail);
      if (cp != 0) {
        ++mapped;
        EXPECT_TRUE(held.count(cp)) << std::hex << lead << " " << trail;
      }
    }
  }
  EXPECT_GT(mapped, 8226);
}

// ---------------------------------------------------------------------------
// Extended hanja area

TEST(KsExtendedAreaTest, SampleEntries) {
  struct Sample {
    KsCode code;
    int codeIndex;
    uint16_t codePoint;
  };
  const Sample samples[] = {
      {{0xA1, 0x21}, 4889, 0x4EEE},  {{0xA1, 0x22}, 4890, 0x50A2},
      {{0xA1, 0x41}, 4921, 0x5676},  {{0xA1, 0xA0}, 5016, 0x55DB},
      {{0xA2, 0x21}, 5017, 0x5C92},  {{0xB7, 0x48}, 7744, 0x9EE0},
      {{0xB7, 0x49}, 7745, 0},       {{0xB8, 0x93}, 7947, 0x8E01},
      {{0xCF, 0x28}, 10784, 0x64F7}, {{0xCF, 0x29}, 10785, 0x4F67},
      {{0xEF, 0x65}, 14941, 0x80B8}, {{0xEF, 0x66}, 14942, 0},
      {{0xF0, 0x29}, 15009, 0x7C34}, {{0xF1, 0x90}, 15240, 0x3A7B},
      {{0xFE, 0x24}, 16796, 0x91DB}, {{0xFE, 0x2D}, 16805, 0},
      {{0x89, 0x21}, 18854, 0},
  };
  for (const Sample& s : samples) {
    EXPECT_EQ(KsCodeIndex(s.code.lead, s.code.trail), s.codeIndex) << s.codeIndex;
    EXPECT_EQ(KsToUnicode(s.code.lead, s.code.trail), s.codePoint) << s.codeIndex;
  }
  // Which of table and list holds them matters too.
  EXPECT_EQ(TableAt(7947), 0u);
  EXPECT_TRUE(Listed(7947));
  EXPECT_EQ(TableAt(15009), 0u);
  EXPECT_EQ(TableAt(15240), 0u);
  EXPECT_FALSE(Listed(7745));
  EXPECT_FALSE(Listed(14942));
  EXPECT_FALSE(Listed(16805));
  EXPECT_EQ(TableAt(10010), 0x79B6u);
  EXPECT_EQ(TableAt(14140), 0x79B6u);
  EXPECT_EQ(TableAt(6786), 0x788Fu);
}

TEST(KsExtendedAreaTest, KsX1001HanjaPart) {
  int zeros = 0;
  for (int k = 1; k <= kKsHanjaLastIndex; ++k) {
    if (TableAt(k) == 0) ++zeros;
  }
  EXPECT_EQ(zeros, 268);
  EXPECT_EQ(TableAt(KsCodeIndex(0xCB, 0xD0)), 0u);  // first of the duplicate hanja
}

TEST(KsExtendedAreaTest, SupplementList) {
  EXPECT_EQ(KsSupplementList[0].codeIndex, 7947u);
  EXPECT_EQ(KsSupplementList[kKsSupplementCount - 1].codeIndex, 18171u);
  int firstArea = 0, extensionA = 0;
  for (int i = 0; i < kKsSupplementCount; ++i) {
    const KsSupplementPair& p = KsSupplementList[i];
    if (i > 0) {
      EXPECT_LT(KsSupplementList[i - 1].codeIndex, p.codeIndex);
    }
    const uint32_t cp = p.codePoint;
    EXPECT_TRUE((cp >= 0x4E00 && cp <= 0x9FA5) || (cp >= 0x3400 && cp <= 0x4DB5)) << cp;
    if (cp >= 0x3540 && cp <= 0x4A9C) ++extensionA;
    if (p.codeIndex <= static_cast<uint32_t>(kFirstAreaEnd)) {
      ++firstArea;
      EXPECT_EQ(TableAt(p.codeIndex), 0u) << p.codeIndex;
      const KsCode code = FirstAreaCode(p.codeIndex);
      EXPECT_EQ(KsToUnicode(code.lead, code.trail), cp) << p.codeIndex;
    }
  }
  EXPECT_EQ(firstArea, 74);
  EXPECT_EQ(extensionA, 12);
}

TEST(KsExtendedAreaTest, SecondAreaHoldsExactlyTheListedCodes) {
  const ExpectedForward second[] = {
      {0x93, 0x60, 0x7F59}, {0x93, 0x62, 0x72F5}, {0x93, 0x70, 0x7506},
      {0x93, 0x76, 0x7A21}, {0x99, 0x61, 0x5DD9}, {0x9A, 0x8A, 0x7A0F},
      {0x9A, 0x8C, 0x58C4}, {0x9B, 0x48, 0x7499}, {0x9B, 0x61, 0x3540},
      {0x9B, 0x97, 0x6D24}, {0x9C, 0x53, 0x50AA}, {0x9C, 0x56, 0x397D},
      {0x9C, 0x61, 0x4A9C}, {0x9C, 0x65, 0x6AC4}, {0x9D, 0x4A, 0x5D96},
      {0x9E, 0x23, 0x3668}, {0x9E, 0x66, 0x9733}, {0xA0, 0x8F, 0x5CCD},
  };
  std::map<std::pair<int, int>, uint16_t> expected;
  for (const ExpectedForward& e : second) expected[{e.lead, e.trail}] = e.codePoint;
  int mapped = 0;
  for (int lead = 0x89; lead <= 0xA0; ++lead) {
    for (int trail = 0x21; trail <= 0xA0; ++trail) {
      const auto it = expected.find({lead, trail});
      const uint16_t want = it == expected.end() ? 0 : it->second;
      EXPECT_EQ(KsToUnicode(lead, trail), want) << std::hex << lead << " " << trail;
      mapped += want != 0;
    }
  }
  EXPECT_EQ(mapped, 18);
}

TEST(KsExtendedAreaTest, SixCodePointsStandAtMoreThanOneCodeIndex) {
  std::map<uint32_t, int> uses;
  for (int k = 1; k <= kKsIdeographCount; ++k) {
    if (TableAt(k) != 0) ++uses[TableAt(k)];
  }
  for (const KsSupplementPair& p : KsSupplementList) ++uses[p.codePoint];
  std::set<uint32_t> repeated;
  for (const auto& [cp, n] : uses) {
    if (n > 1) repeated.insert(cp);
  }
  EXPECT_EQ(repeated.size(), 6u);
  EXPECT_TRUE(repeated.count(0x79B6));
  EXPECT_TRUE(repeated.count(0x8CDA));

  // Apart from those, extended hanja have no reverse mapping.
  uint8_t lead = 0, trail = 0;
  EXPECT_FALSE(UnicodeToKs(0x4EEE, &lead, &trail));
  int reversible = 0;
  for (int k = kFirstAreaStart; k <= kFirstAreaEnd; ++k) {
    if (TableAt(k) != 0 && !repeated.count(TableAt(k))) {
      reversible += UnicodeToKs(static_cast<uint16_t>(TableAt(k)), &lead, &trail);
    }
  }
  for (const KsSupplementPair& p : KsSupplementList) {
    if (!repeated.count(p.codePoint)) {
      reversible += UnicodeToKs(static_cast<uint16_t>(p.codePoint), &lead, &trail);
    }
  }
  EXPECT_EQ(reversible, 0);
}

TEST(KsExtendedAreaTest, DifferencesFromCp949Counts) {
  int hangulPairs = 0, hangulMapped = 0, hangulZero = 0;
  for (int lead = 0x81; lead <= 0xC6; ++lead) {
    for (int trail = 0x41; trail <= 0xFE; ++trail) {
      if (!IsCp949HangulPair(lead, trail)) continue;
      ++hangulPairs;
      if (KsToUnicode(lead, trail) != 0) {
        ++hangulMapped;
      } else {
        ++hangulZero;
      }
    }
  }
  EXPECT_EQ(hangulPairs, 8822);
  EXPECT_EQ(hangulMapped, 2902);
  EXPECT_EQ(hangulZero, 5920);

  // Extended codes in their canonical form, where cp949 has nothing.
  int elsewhere = 0;
  for (int lead = 0x89; lead <= 0xFE; ++lead) {
    for (int trail = 0x21; trail <= 0xA0; ++trail) {
      if (KsCodeIndex(lead, trail) > kFirstAreaEnd && lead >= 0xA1) continue;
      if (!IsCp949HangulPair(lead, trail) && KsToUnicode(lead, trail) != 0) ++elsewhere;
    }
  }
  EXPECT_EQ(elsewhere, 6682);
  EXPECT_NE(KsToUnicode(0xA1, 0x21), 0);
  EXPECT_FALSE(IsCp949HangulPair(0xA1, 0x21));
}

// ---------------------------------------------------------------------------
// Reverse lookup

void ExpectReverse(uint16_t unit, int lead, int trail) {
  uint8_t l = 0, t = 0;
  const bool found = UnicodeToKs(unit, &l, &t);
  if (lead < 0) {
    EXPECT_FALSE(found) << std::hex << unit;
  } else {
    ASSERT_TRUE(found) << std::hex << unit;
    EXPECT_EQ(l, lead) << std::hex << unit;
    EXPECT_EQ(t, trail) << std::hex << unit;
  }
}

TEST(KsReverseTest, EdgeCases) {
  ExpectReverse(0xF92C, 0xD5, 0xCD);
  ExpectReverse(0xF9B8, 0xD6, 0xCB);
  ExpectReverse(0xF900, 0xD1, 0xC2);
  ExpectReverse(0x00A1, 0xA2, 0xAE);
  ExpectReverse(0xFF01, 0xA3, 0xA1);
  ExpectReverse(0xFFE6, 0xA3, 0xDC);
  ExpectReverse(0x33DD, 0xA7, 0xE9);
  ExpectReverse(0x4E00, 0xEC, 0xE9);
  ExpectReverse(0x9F9C, 0xCF, 0xCF);
  ExpectReverse(0xAC00, 0xB0, 0xA1);
  ExpectReverse(0x21D2, 0xA2, 0xA1);
  ExpectReverse(0x6C69, 0xCD, 0xE7);
  for (uint16_t none : {0x0080, 0x00A0, 0x00AE, 0x20AC, 0x223C, 0x6C68, 0xAC02, 0xD800,
                        0xFA0C, 0x4EEE, 0x33DE, 0x4DFF, 0x9F9D, 0xD79E, 0xFF00, 0xFFFF}) {
    ExpectReverse(none, -1, 0);
  }
}

TEST(KsReverseTest, CompatFoldTargetsAreKsX1001Hanja) {
  for (int i = 0; i < kCompatFoldCount; ++i) {
    const uint16_t unified = CompatFoldTable[i];
    uint8_t lead = 0, trail = 0;
    ASSERT_TRUE(UnicodeToKs(unified, &lead, &trail)) << std::hex << unified;
    uint8_t foldLead = 0, foldTrail = 0;
    ASSERT_TRUE(UnicodeToKs(static_cast<uint16_t>(0xF900 + i), &foldLead, &foldTrail));
    EXPECT_EQ(foldLead, lead);
    EXPECT_EQ(foldTrail, trail);
    EXPECT_EQ(KsToUnicode(lead, trail), unified);
  }
  EXPECT_EQ(CompatFoldTable[0xF92C - 0xF900], 0x90DE);
  EXPECT_EQ(CompatFoldTable[0xF9B8 - 0xF900], 0x96B7);
}

// Whatever the search inside a window, every unit must get what a plain
// lookup in the whole table gives.
TEST(KsReverseTest, EveryUnitMatchesAWholeTableLookup) {
  std::map<uint32_t, int> code;
  for (const KsReversePair& p : KsReverseTable) code[p.codePoint] = p.lead << 8 | p.trail;
  int found = 0;
  for (int unit = 0x80; unit <= 0xFFFF; ++unit) {
    uint32_t key = unit;
    if (unit >= 0xF900 && unit <= 0xFA0B) key = CompatFoldTable[unit - 0xF900];
    const auto it = code.find(key);
    uint8_t lead = 0, trail = 0;
    const bool hit = UnicodeToKs(static_cast<uint16_t>(unit), &lead, &trail);
    ASSERT_EQ(hit, it != code.end()) << std::hex << unit;
    if (hit) {
      ++found;
      EXPECT_EQ(lead << 8 | trail, it->second) << std::hex << unit;
    }
  }
  EXPECT_EQ(found, kKsReverseCount + kCompatFoldCount);
}

TEST(KsReverseTest, RoundTrip) {
  int checked = 0;
  for (const KsReversePair& p : KsReverseTable) {
    uint8_t lead = 0, trail = 0;
    ASSERT_TRUE(UnicodeToKs(static_cast<uint16_t>(p.codePoint), &lead, &trail));
    uint32_t want = p.codePoint;
    if (want == 0x21D2) want = 0x2192;
    if (want == 0x21D4) want = 0x2194;
    EXPECT_EQ(KsToUnicode(lead, trail), want) << std::hex << p.codePoint;
    ++checked;
  }
  EXPECT_EQ(checked, 7955);
}

// Every KS X 1001 code whose character is above ASCII must be the code that
// the reverse lookup gives for that character.
TEST(KsReverseTest, EveryKsX1001CodeComesBack) {
  int back = 0;
  for (int lead = 0xA1; lead <= 0xFD; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const uint16_t cp = KsToUnicode(lead, trail);
      if (cp < 0xA1) continue;
      uint8_t l = 0, t = 0;
      ASSERT_TRUE(UnicodeToKs(cp, &l, &t)) << std::hex << lead << " " << trail;
      if (lead == 0xA2 && (trail == 0xA1 || trail == 0xA2)) continue;  // shown as A1E6/A1EA
      EXPECT_EQ(l, lead);
      EXPECT_EQ(t, trail);
      ++back;
    }
  }
  EXPECT_EQ(back, 7953);
}

}  // namespace
}  // namespace plotweave
