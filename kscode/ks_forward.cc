// KS code to Unicode: the direct tables for the KS X 1001 symbol and Hangul
// rows, code indices for hanja and extended hanja.
#include "kscode/kscode.h"
#include "kscode/ks_tables.h"

namespace plotweave {

namespace {

// The supplement list holds the few extended codes that the dense table has no
// room for; it is sorted by code index, so a bisection finds the one match.
uint16_t FindSupplement(int codeIndex) {
  int low = 0;
  int high = kKsSupplementCount;
  const uint32_t key = static_cast<uint32_t>(codeIndex);
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (KsSupplementList[mid].codeIndex < key) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low < kKsSupplementCount && KsSupplementList[low].codeIndex == key) {
    return static_cast<uint16_t>(KsSupplementList[low].codePoint);
  }
  return 0;
}

}  // namespace

int KsCodeIndex(uint8_t lead, uint8_t trail) {
  // KS X 1001 hanja. A trail of 0xFF runs into the next row and the leads 0xFE
  // and 0xFF run past row FD into the first extended numbers; both are kept
  // because text already encoded that way must keep decoding the same.
  if (lead >= 0xCA && trail >= 0xA1) {
    return (lead - 0xCA) * 94 + (trail - 0xA1) + 1;
  }
  if (trail > 0xA0) {
    return 0;
  }
  // Extended rows are 128 wide, trails 0x21..0xA0; a smaller trail counts
  // back into the row before.
  const int column = trail - 0x21;
  if (lead >= 0xA1) {
    return 4889 + (lead - 0xA1) * 128 + column;
  }
  // The second area is laid out in blocks of eight rows running downwards.
  if (lead >= 0x99) {
    return 16806 + (lead - 0x99) * 128 + column;
  }
  if (lead >= 0x91) {
    return 17830 + (lead - 0x91) * 128 + column;
  }
  if (lead >= 0x89) {
    return 18854 + (lead - 0x89) * 128 + column;
  }
  return 0;
}

uint16_t KsToUnicode(uint8_t lead, uint8_t trail) {
  if (lead >= 0xA1 && lead <= 0xC8 && trail >= 0xA1) {
    if (lead >= 0xB0) {
      const int position = (lead - 0xB0) * 94 + (trail - 0xA1);
      // C8 FF is one past the table.
      return position < kKsHangulCount ? KsHangulTable[position] : 0;
    }
    if (lead <= 0xAC) {
      int position = (lead - 0xA1) * 94 + (trail - 0xA1);
      // A2A1 and A2A2 are the double arrows; they are shown as the single
      // arrows of A1E6 and A1EA.
      if (position == 94) {
        position = 69;
      } else if (position == 95) {
        position = 73;
      }
      // AC FF is one past the table.
      return position < kKsSymbolCount ? KsSymbolTable[position] : 0;
    }
    return 0;  // rows AD..AF are empty
  }
  const int codeIndex = KsCodeIndex(lead, trail);
  if (codeIndex == 0) {
    return 0;
  }
  if (codeIndex <= kKsIdeographCount) {
    const uint32_t value = KsIdeographTable[codeIndex - 1];
    if (value != 0) {
      return static_cast<uint16_t>(value);
    }
  }
  return FindSupplement(codeIndex);
}

}  // namespace plotweave
