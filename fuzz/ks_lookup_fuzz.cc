// The two character lookups. Their whole input space is small, so it is swept
// once when the target starts; the fuzzer then keeps drawing codes from the
// input as a cross-check of the same invariants:
//  - KsToUnicode accepts any lead 0x80..0xFF with any trail;
//  - every code unit UnicodeToKs maps is a KS X 1001 pair that KsToUnicode
//    maps back to the unit, except the double arrows U+21D2 and U+21D4, which
//    come back as U+2192 and U+2194, and the compatibility ideographs
//    U+F900..U+FA0B (all of them found), which come back as the unified
//    ideograph that has the same pair;
//  - a KS X 1001 pair with a character of U+0080 or more has a reverse code
//    that leads back to that same character.
#include "fuzz/fuzz_support.h"
#include "kscode/kscode.h"

namespace {

using plotweave::KsToUnicode;
using plotweave::UnicodeToKs;

// Rows A1..FD; row FE decodes as the first extended hanja, which have no
// reverse code.
bool InKsX1001(uint8_t lead, uint8_t trail) {
  return lead >= 0xA1 && lead <= 0xFD && trail >= 0xA1 && trail <= 0xFE;
}

void CheckUnit(uint16_t unit) {
  uint8_t lead = 0;
  uint8_t trail = 0;
  const bool found = UnicodeToKs(unit, &lead, &trail);
  if (unit >= 0xF900 && unit <= 0xFA0B) FUZZ_CHECK(found);
  if (!found) return;
  FUZZ_CHECK(InKsX1001(lead, trail));
  const uint16_t back = KsToUnicode(lead, trail);
  if (unit == 0x21D2) {
    FUZZ_CHECK(back == 0x2192);
  } else if (unit == 0x21D4) {
    FUZZ_CHECK(back == 0x2194);
  } else if (unit >= 0xF900 && unit <= 0xFA0B) {
    FUZZ_CHECK(back >= 0x4E00 && back <= 0x9FFF);
    uint8_t l2 = 0;
    uint8_t t2 = 0;
    FUZZ_CHECK(UnicodeToKs(back, &l2, &t2) && l2 == lead && t2 == trail);
  } else {
    FUZZ_CHECK(back == unit);
  }
}

void CheckPair(uint8_t lead, uint8_t trail) {
  const uint16_t cp = KsToUnicode(lead, trail);
  if (!InKsX1001(lead, trail) || cp < 0x80) return;
  uint8_t l2 = 0;
  uint8_t t2 = 0;
  FUZZ_CHECK(UnicodeToKs(cp, &l2, &t2));
  FUZZ_CHECK(KsToUnicode(l2, t2) == cp);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (uint32_t u = 0x80; u <= 0xFFFF; ++u) CheckUnit(static_cast<uint16_t>(u));
  for (uint32_t lead = 0x80; lead <= 0xFF; ++lead) {
    for (uint32_t trail = 0; trail <= 0xFF; ++trail) {
      CheckPair(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 1 < size; i += 2) {
    CheckPair(static_cast<uint8_t>(data[i] | 0x80), data[i + 1]);
    const uint16_t unit = static_cast<uint16_t>(data[i] << 8 | data[i + 1]);
    if (unit >= 0x80) CheckUnit(unit);
  }
  return 0;
}
