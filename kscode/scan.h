// Byte tests and number scanning shared by the plan reader and the page
// encoder, which read the same kinds of text.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace plotweave {

// The eight bytes at p as a word, first byte lowest, on every target; the
// word tests below count bytes from the lowest.
inline uint64_t LoadWordLittleEndian(const void* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// Stores a word so that its lowest byte lands at p.
inline void StoreWordLittleEndian(void* p, uint64_t w) {
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  std::memcpy(p, &w, 8);
}

// The blanks of a formatted read: space, tab, LF, VT, FF, CR.
constexpr bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Non-zero when any byte of the word is zero; then the lowest zero byte has its
// high bit set (a later byte may be flagged too, never an earlier one).
constexpr uint64_t HasZeroByte(uint64_t w) { return (w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull; }

// Skips blanks and reads an optional sign and decimal digits as a long
// conversion does: the value saturates at the 64-bit limits. False (and
// `cursor` left alone) when no digit follows; otherwise `cursor` moves past
// the digits.
inline bool ScanLong(const char** cursor, int64_t* value) {
  const char* p = *cursor;
  while (*p != '\0' && IsBlank(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') return false;
  // Accumulate as a negative number so that the most negative value fits.
  const int64_t lowest = INT64_MIN;
  int64_t acc = 0;
  bool overflow = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const int digit = *p - '0';
    if (acc < (lowest + digit) / 10) {
      overflow = true;
    } else {
      acc = acc * 10 - digit;
    }
  }
  if (overflow) {
    *value = negative ? INT64_MIN : INT64_MAX;
  } else if (negative) {
    *value = acc;
  } else {
    *value = acc == lowest ? INT64_MAX : -acc;
  }
  *cursor = p;
  return true;
}

}  // namespace plotweave
