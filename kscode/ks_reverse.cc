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

// Every unit's KS code (lead << 8 | trail, 0 for none), filled once per run
// from the windows: a plan then costs one lookup per character. A code point
// outside every window, or missing from its window, stays 0.
struct DirectIndex {
  uint16_t code[0x10000];
  bool built;
  void Build() {
    for (const ReverseWindow& window : kWindows) {
      for (int i = window.first; i < window.end; ++i) {
        const KsReversePair& pair = KsReverseTable[i];
        if (pair.codePoint >= window.low && pair.codePoint <= window.high) {
          code[pair.codePoint] = static_cast<uint16_t>(pair.lead << 8 | pair.trail);
        }
      }
    }
    // A compatibility ideograph is written as its unified ideograph: KS X 1001
    // holds each of them at the unified ideograph's code as well, and that is
    // the code every reader knows.
    for (int i = 0; i < kCompatFoldCount; ++i) code[0xF900 + i] = code[CompatFoldTable[i]];
    built = true;
  }
};

// Built on first use: a run on a KS-coded plan never needs it.
DirectIndex gIndex;

}  // namespace

const uint16_t* KsReverseIndex() {
  if (!gIndex.built) gIndex.Build();
  return gIndex.code;
}

bool UnicodeToKs(uint16_t unit, uint8_t* lead, uint8_t* trail) {
  const uint16_t code = KsReverseIndex()[unit];
  if (code == 0) return false;
  *lead = static_cast<uint8_t>(code >> 8);
  *trail = static_cast<uint8_t>(code & 0xFF);
  return true;
}

}  // namespace plotweave
