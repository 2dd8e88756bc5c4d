// Compares the KS X 1001 part of the tables with the system's ICU converter,
// which knows cp949 independently of the table generator. Only the deliberate
// differences may disagree.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>

#include <cstdint>

#include "kscode/ks_reverse_pairs.h"
#include "kscode/kscode.h"

namespace plotweave {
namespace {

class KsIcuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UErrorCode status = U_ZERO_ERROR;
    converter_ = ucnv_open("windows-949", &status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    // A character the converter lacks must show as an error, not as a
    // substitute that could pass for a mapping.
    ucnv_setToUCallBack(converter_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(converter_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }
  void TearDown() override {
    if (converter_ != nullptr) ucnv_close(converter_);
  }

  // cp949's code point for a pair; 0 for none.
  uint16_t Decode(uint8_t lead, uint8_t trail) {
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter_);
    const int32_t n = ucnv_toUChars(converter_, out, 4, bytes, 2, &status);
    return U_SUCCESS(status) && n == 1 ? out[0] : 0;
  }

  // cp949's two-byte code for a unit; false for none.
  bool Encode(uint16_t unit, uint8_t* lead, uint8_t* trail) {
    const UChar in[1] = {unit};
    char out[8];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter_);
    const int32_t n = ucnv_fromUChars(converter_, out, 8, in, 1, &status);
    if (U_FAILURE(status) || n != 2) return false;
    *lead = static_cast<uint8_t>(out[0]);
    *trail = static_cast<uint8_t>(out[1]);
    return true;
  }

  UConverter* converter_ = nullptr;
};

bool IsCompatIdeograph(uint32_t cp) { return cp >= 0xF900 && cp <= 0xFA0B; }

// ICU gives the user-defined rows C9 and FE private-use code points; they are
// no characters of KS X 1001 and have no mapping here.
bool IsPrivateUse(uint32_t cp) { return cp >= 0xE000 && cp <= 0xF8FF; }

TEST_F(KsIcuTest, ForwardAgreesOutsideTheDeliberateDifferences) {
  int known = 0, same = 0, emptyAsQuestion = 0, compatAsZero = 0, emptyAsZero = 0;
  int privateUse = 0;
  for (int lead = 0xA1; lead <= 0xFD; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const uint16_t theirs = Decode(lead, trail);
      const uint16_t ours = KsToUnicode(lead, trail);
      const int code = lead << 8 | trail;
      if (IsPrivateUse(theirs)) {
        EXPECT_EQ(lead, 0xC9);
        EXPECT_EQ(ours, 0) << std::hex << code;
        ++privateUse;
        continue;
      }
      known += theirs != 0;
      if (code == 0xA1AD) {
        EXPECT_EQ(theirs, 0x223C);
        EXPECT_EQ(ours, 0x007E);
      } else if (code == 0xA2A1 || code == 0xA2A2) {
        EXPECT_EQ(theirs, code == 0xA2A1 ? 0x21D2 : 0x21D4);
        EXPECT_EQ(ours, code == 0xA2A1 ? 0x2192 : 0x2194);
      } else if (code == 0xA2E6 || code == 0xA2E7) {
        EXPECT_EQ(theirs, code == 0xA2E6 ? 0x20AC : 0x00AE);
        EXPECT_EQ(ours, 0x003F);
      } else if (code == 0xCDE7) {
        EXPECT_EQ(theirs, 0x6C68);
        EXPECT_EQ(ours, 0x6C69);
      } else if (IsCompatIdeograph(theirs)) {
        EXPECT_EQ(ours, 0) << std::hex << code;
        ++compatAsZero;
      } else if (theirs == 0 && lead <= 0xAC) {
        EXPECT_EQ(ours, 0x003F) << std::hex << code;
        ++emptyAsQuestion;
      } else if (theirs == 0) {
        EXPECT_EQ(ours, 0) << std::hex << code;
        ++emptyAsZero;
      } else {
        EXPECT_EQ(ours, theirs) << std::hex << code;
        ++same;
      }
    }
  }
  EXPECT_EQ(known, 8226);
  EXPECT_EQ(compatAsZero, 268);
  EXPECT_EQ(emptyAsQuestion, 140);
  EXPECT_EQ(same, 8226 - 268 - 6);
  EXPECT_EQ(emptyAsZero + privateUse, 4 * 94);  // rows AD, AE, AF and C9
}

TEST_F(KsIcuTest, ReverseAgreesOutsideTheDeliberateDifferences) {
  int same = 0, folded = 0, extraHangul = 0, privateUse = 0;
  for (int unit = 0x80; unit <= 0xFFFF; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      uint8_t lead = 0, trail = 0;
      EXPECT_FALSE(UnicodeToKs(static_cast<uint16_t>(unit), &lead, &trail));
      continue;
    }
    uint8_t theirLead = 0, theirTrail = 0;
    const bool theirs = Encode(static_cast<uint16_t>(unit), &theirLead, &theirTrail);
    uint8_t lead = 0, trail = 0;
    const bool ours = UnicodeToKs(static_cast<uint16_t>(unit), &lead, &trail);
    if (IsPrivateUse(unit)) {
      EXPECT_FALSE(ours) << std::hex << unit;
      privateUse += theirs;
      continue;
    }
    if (theirs && (theirLead < 0xA1 || theirTrail < 0xA1)) {
      // cp949's additional Hangul syllables lie outside KS X 1001.
      EXPECT_TRUE(unit >= 0xAC00 && unit <= 0xD7A3) << std::hex << unit;
      EXPECT_FALSE(ours) << std::hex << unit;
      ++extraHangul;
      continue;
    }
    if (unit == 0x00AE || unit == 0x20AC || unit == 0x223C || unit == 0x6C68) {
      EXPECT_TRUE(theirs);
      EXPECT_FALSE(ours) << std::hex << unit;
    } else if (unit == 0x6C69) {
      EXPECT_FALSE(theirs);
      ASSERT_TRUE(ours);
      EXPECT_EQ(lead << 8 | trail, 0xCDE7);
    } else if (IsCompatIdeograph(unit)) {
      // cp949 gives the duplicate code; the fold gives the unified one.
      ASSERT_TRUE(theirs);
      ASSERT_TRUE(ours);
      EXPECT_NE(lead << 8 | trail, theirLead << 8 | theirTrail);
      ASSERT_TRUE(Encode(CompatFoldTable[unit - 0xF900], &theirLead, &theirTrail));
      EXPECT_EQ(lead << 8 | trail, theirLead << 8 | theirTrail) << std::hex << unit;
      ++folded;
    } else {
      ASSERT_EQ(ours, theirs) << std::hex << unit;
      if (ours) {
        EXPECT_EQ(lead << 8 | trail, theirLead << 8 | theirTrail) << std::hex << unit;
        ++same;
      }
    }
  }
  EXPECT_EQ(same, 7955 - 1);  // all but U+6C69
  EXPECT_EQ(folded, 268);
  EXPECT_EQ(extraHangul, 8822);
  EXPECT_EQ(privateUse, 2 * 94);  // rows C9 and FE
}

// The fold is the canonical decomposition except where that ideograph is not
// in KS X 1001.
TEST(KsIcuFoldTest, FoldIsTheCanonicalDecomposition) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
  ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  int differing = 0;
  for (int i = 0; i < kCompatFoldCount; ++i) {
    UChar decomposition[4];
    status = U_ZERO_ERROR;
    const int32_t n =
        unorm2_getRawDecomposition(nfd, 0xF900 + i, decomposition, 4, &status);
    ASSERT_TRUE(U_SUCCESS(status));
    ASSERT_EQ(n, 1) << std::hex << 0xF900 + i;
    if (decomposition[0] != CompatFoldTable[i]) {
      ++differing;
      const bool exception = (i == 0xF92C - 0xF900 && decomposition[0] == 0x90CE) ||
                             (i == 0xF9B8 - 0xF900 && decomposition[0] == 0x96B8);
      EXPECT_TRUE(exception) << std::hex << 0xF900 + i;
    }
  }
  EXPECT_EQ(differing, 2);
}

}  // namespace
}  // namespace plotweave
