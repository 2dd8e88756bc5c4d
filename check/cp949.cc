#include "check/cp949.h"

#include "kscode/kscode.h"

namespace plotweave {

namespace {

constexpr int kSyllableFirst = 0xAC00;
constexpr int kSyllableCount = 11172;

// Trail bytes of the extension area: A-Z, a-z, then 0x81 up to the end of
// the lead byte's range (0xFE below lead 0xA1, 0xA0 from there on, where
// KS X 1001 takes the rest).
int TrailIndex(uint8_t trail) {
  if (trail >= 0x41 && trail <= 0x5A) return trail - 0x41;
  if (trail >= 0x61 && trail <= 0x7A) return 26 + trail - 0x61;
  if (trail >= 0x81 && trail <= 0xFE) return 52 + trail - 0x81;
  return -1;
}

constexpr int kWideRowLength = 52 + 126;   // leads 0x81..0xA0
constexpr int kNarrowRowLength = 52 + 32;  // leads 0xA1..0xC6
constexpr int kWideRows = 0xA0 - 0x81 + 1;

// The syllables KS X 1001 lacks, in Unicode order, made once from the KS
// table's own 2,350 (rows 0xB0..0xC8, in Unicode order too).
struct ExtensionSyllables {
  uint16_t code[kCp949ExtensionCount];
  ExtensionSyllables() : code() {
    static bool inKs[kSyllableCount];
    for (int lead = 0xB0; lead <= 0xC8; ++lead) {
      for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        const int u = KsToUnicode(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)) - kSyllableFirst;
        if (u >= 0 && u < kSyllableCount) inKs[u] = true;
      }
    }
    int n = 0;
    for (int u = 0; u < kSyllableCount && n < kCp949ExtensionCount; ++u) {
      if (!inKs[u]) code[n++] = static_cast<uint16_t>(kSyllableFirst + u);
    }
  }
};

// Code page 949 keeps the 268 hanja that KS X 1001 codes twice (under two
// readings) apart, as the compatibility ideographs U+F900..U+FA0B in code
// order. The KS table gives the second codes no character: they are its
// hanja codes without one.
constexpr int kCompatibilityCount = 268;
constexpr uint16_t kCompatibilityFirst = 0xF900;

struct CompatibilityCodes {
  uint16_t code[kCompatibilityCount];
  int count = 0;
  CompatibilityCodes() : code() {
    for (int lead = 0xCA; lead <= 0xFD; ++lead) {
      for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        if (KsToUnicode(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)) != 0) continue;
        if (count < kCompatibilityCount) code[count] = static_cast<uint16_t>(lead << 8 | trail);
        ++count;
      }
    }
  }
  // The ideograph of a hanja code without a KS character, or 0.
  uint16_t Find(uint16_t ks) const {
    int low = 0, high = (count < kCompatibilityCount ? count : kCompatibilityCount) - 1;
    while (low <= high) {
      const int mid = (low + high) / 2;
      if (code[mid] == ks) return static_cast<uint16_t>(kCompatibilityFirst + mid);
      if (code[mid] < ks)
        low = mid + 1;
      else
        high = mid - 1;
    }
    return 0;
  }
};

}  // namespace

int Cp949ExtensionIndex(uint8_t lead, uint8_t trail) {
  const int t = TrailIndex(trail);
  if (t < 0 || lead < 0x81 || lead > 0xC6) return -1;
  if (lead <= 0xA0) return (lead - 0x81) * kWideRowLength + t;
  if (t >= kNarrowRowLength) return -1;
  const int index = kWideRows * kWideRowLength + (lead - 0xA1) * kNarrowRowLength + t;
  return index < kCp949ExtensionCount ? index : -1;
}

uint16_t Cp949ToUnicode(uint8_t lead, uint8_t trail) {
  const int index = Cp949ExtensionIndex(lead, trail);
  if (index >= 0) {
    static const ExtensionSyllables syllables;
    return syllables.code[index];
  }
  // Rows 0xA1..0xFD of KS X 1001; the row 0xFE, which this program's table
  // fills with hanja of its own, is for users' characters in code page 949.
  if (lead < 0xA1 || lead > 0xFD || trail < 0xA1 || trail > 0xFE) return 0;
  // KS X 1001 as code page 949 has it: the KS table, but for the few codes
  // where this program's own table parts from it.
  switch (lead << 8 | trail) {
    case 0xA1AD:
      return 0x223C;
    case 0xA2A1:
      return 0x21D2;
    case 0xA2A2:
      return 0x21D4;
    case 0xA2E6:
      return 0x20AC;
    case 0xA2E7:
      return 0x00AE;
    case 0xCDE7:
      return 0x6C68;
    default:
      break;
  }
  const uint16_t cp = KsToUnicode(lead, trail);
  if (cp >= 0x80) return cp;
  // An unassigned KS code, which the KS table gives as ASCII, or a second
  // code of a hanja.
  if (lead < 0xCA) return 0;
  static const CompatibilityCodes compatibility;
  return compatibility.count == kCompatibilityCount ? compatibility.Find(static_cast<uint16_t>(lead << 8 | trail)) : 0;
}

}  // namespace plotweave
