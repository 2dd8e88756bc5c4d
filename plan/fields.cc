#include "plan/fields.h"

#include <bit>
#include <cstring>

namespace plotweave {

bool ScanField(const char** cursor, FieldSpan* field) {
  // No byte is known to lie before the line's end, so the field is found a
  // byte at a time.
  return ScanFieldBefore(cursor, *cursor, field);
}

bool ScanFieldBefore(const char** cursor, const char* end, FieldSpan* field) {
  const char* p = *cursor;
  while (*p != '\0' && IsBlank(static_cast<unsigned char>(*p))) ++p;
  if (*p == '\0') {
    *cursor = p;
    return false;
  }
  const char* start = p;
  // Every byte that ends a field is below 0x21; eight bytes with none below
  // it hold no end. The lowest byte flagged is a true one (later ones may be
  // false), and the byte loop then decides about it.
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  while (end - p >= 8) {
    const uint64_t word = LoadWordLittleEndian(p);
    const uint64_t low = (word - kOnes * 0x21) & ~word & kHigh;
    if (low != 0) {
      p += std::countr_zero(low) >> 3;
      break;
    }
    p += 8;
  }
  while (!kFieldEnds.end[static_cast<unsigned char>(*p)]) ++p;
  field->start = start;
  field->length = static_cast<size_t>(p - start);
  *cursor = p;
  return true;
}

// Start of a numeric character reference ("&#" and digits) that the first
// `cut` bytes end inside of, or `cut` when they end outside of any.
static size_t BackOffReference(const char* src, size_t cut, size_t length) {
  if (cut >= length) return cut;
  // Back over the digits before the cut, however many there are.
  size_t start = cut;
  while (start > 0 && src[start - 1] >= '0' && src[start - 1] <= '9') --start;
  if (start >= 2 && src[start - 2] == '&' && src[start - 1] == '#') return start - 2;
  // The cut may also fall between the '&' and the '#'.
  if (start == cut && cut >= 1 && src[cut - 1] == '&' && src[cut] == '#') return cut - 1;
  return cut;
}

bool CopyField(char* dst, size_t width, const char* src, size_t length) {
  const size_t room = width - 1;
  size_t cut = length;
  if (length > room) {
    size_t i = 0;
    while (i < length) {
      const size_t step = static_cast<unsigned char>(src[i]) >= 0x80 ? 2 : 1;
      if (i + step > room) break;
      i += step;
    }
    cut = BackOffReference(src, i, length);
  }
  std::memcpy(dst, src, cut);
  dst[cut] = '\0';
  return cut < length;
}

}  // namespace plotweave
