// Where a given byte stands in a block of 64, as one bit a byte: the way to
// find the many line feeds of a text of short lines without one search call
// for each.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kscode/scan.h"

namespace plotweave {

// Bit i is set when p[i] == byte, for i in [0, 64); reads exactly 64 bytes.
// Word at a time, for every target.
inline uint64_t ByteMask64Portable(const unsigned char* p, unsigned char byte) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  const uint64_t pattern = 0x0101010101010101ull * byte;
  uint64_t mask = 0;
  for (int i = 0; i < 8; ++i) {
    const uint64_t x = LoadWordLittleEndian(p + 8 * i) ^ pattern;
    // High bit of each byte set exactly where the byte of x is zero.
    const uint64_t zero = ~(((x & kLow7) + kLow7) | x) & kHigh;
    // Gathers the eight high bits, byte i's into bit i.
    mask |= (((zero >> 7) * 0x0102040810204080ull) >> 56) << (8 * i);
  }
  return mask;
}

inline uint64_t ByteMask64(const unsigned char* p, unsigned char byte) {
#if defined(__SSE2__)
  const __m128i pattern = _mm_set1_epi8(static_cast<char>(byte));
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern)))) << (16 * i);
  }
  return mask;
#else
  return ByteMask64Portable(p, byte);
#endif
}

}  // namespace plotweave
