// Unicode to KS code over the KS X 1001 repertoire only; extended hanja have
// no reverse mapping.
#include "kscode/kscode.h"
#include "kscode/ks_tables.h"

namespace plotweave {

namespace {

// KsReverseTable falls into four runs by code point range; a code point is
// only ever looked for in the run of its range.
struct ReverseWindow {
  uint16_t low;
  uint16_t high;
  int first;
  int end;  // one past the last position
};

constexpr ReverseWindow kWindows[] = {
    {0x00A1, 0x33DD, 0, 885},        // symbols and letters
    {0x4E00, 0x9F9C, 885, 5505},     // hanja
    {0xAC00, 0xD79D, 5505, 7855},    // Hangul
    {0xFF01, 0xFFE6, 7855, 7955},    // full-width forms
};
static_assert(kWindows[3].end == kKsReverseCount);

bool FindInWindow(const ReverseWindow& window, uint16_t codePoint, uint8_t* lead,
                  uint8_t* trail) {
  int low = window.first;
  int high = window.end;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (KsReverseTable[mid].codePoint < codePoint) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low == window.end || KsReverseTable[low].codePoint != codePoint) {
    return false;
  }
  *lead = KsReverseTable[low].lead;
  *trail = KsReverseTable[low].trail;
  return true;
}

}  // namespace

bool UnicodeToKs(uint16_t unit, uint8_t* lead, uint8_t* trail) {
  uint16_t codePoint = unit;
  // A compatibility ideograph is written as its unified ideograph: KS X 1001
  // holds each of them at the unified ideograph's code as well, and that is
  // the code every reader knows.
  if (codePoint >= 0xF900 && codePoint <= 0xFA0B) {
    codePoint = CompatFoldTable[codePoint - 0xF900];
  }
  for (const ReverseWindow& window : kWindows) {
    if (codePoint < window.low) {
      return false;
    }
    if (codePoint <= window.high) {
      return FindInWindow(window, codePoint, lead, trail);
    }
  }
  return false;
}

}  // namespace plotweave
