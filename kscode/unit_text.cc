#include "kscode/unit_text.h"

#include <cstring>

#include "kscode/kscode.h"
#include "kscode/scan.h"

namespace plotweave {

namespace {

constexpr uint64_t Byte(unsigned value, int position) { return static_cast<uint64_t>(value & 0xFF) << (8 * position); }

// Filled on first use of each unit; see CachedUnitText.
PackedUnitText gUnitText[0x10000];

inline void Store(unsigned char* out, PackedUnitText text) { std::memcpy(out, &text, sizeof text); }

// The bytes of a word loaded from memory, first byte lowest.
inline uint64_t LoadLittleEndian(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// Length of the run of bytes 0x01..0x7F at the start of p, eight at a time.
size_t AsciiPrefix(const unsigned char* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t word = LoadLittleEndian(p + i);
    const uint64_t stops = (word & 0x8080808080808080ull) | HasZeroByte(word);
    if (stops != 0) return i + (std::countr_zero(stops) >> 3);
  }
  while (i < n && static_cast<unsigned>(p[i] - 1) < 0x7F) ++i;
  return i;
}

}  // namespace

PackedUnitText PackUnitText(uint16_t unit) {
  if (unit == 0) return 0xFF;  // length 0; the 0xFF only keeps the word nonzero
  if (unit < 0x80) return Byte(unit, 0) | Byte(1, 7);
  uint8_t lead = 0;
  uint8_t trail = 0;
  if (UnicodeToKs(unit, &lead, &trail)) return Byte(lead, 0) | Byte(trail, 1) | Byte(2, 7);
  PackedUnitText text = Byte('&', 0) | Byte('#', 1) | Byte(';', 7);
  unsigned v = unit;
  for (int position = 6; position >= 2; --position) {
    text |= Byte('0' + v % 10, position);
    v /= 10;
  }
  return text;
}

PackedUnitText CachedUnitText(uint16_t unit) {
  PackedUnitText text = gUnitText[unit];
  if (text == 0) text = gUnitText[unit] = PackUnitText(unit);
  return text;
}

// The code unit of the three-byte form at p, modulo 65536 as the plain rule
// takes it.
inline uint16_t ThreeByteUnit(const unsigned char* p) {
  return static_cast<uint16_t>(((static_cast<unsigned>(p[0]) - 0xE0) << 12) +
                               ((static_cast<unsigned>(p[1]) - 0x80) << 6) + (static_cast<unsigned>(p[2]) - 0x80));
}

// Writes the text of `unit` at out; returns its length.
inline size_t PutUnit(uint16_t unit, unsigned char* out) {
  const PackedUnitText text = CachedUnitText(unit);
  Store(out, text);
  return PackedUnitLength(text);
}

RunResult ConvertUtf8Run(const unsigned char* in, size_t n, unsigned char* out, size_t room) {
  size_t i = 0;
  size_t o = 0;
  while (i < n && room - o >= kMaxUnitText) {
    const unsigned b = in[i];
    if (b - 1 < 0x7F) {
      size_t run = AsciiPrefix(in + i, n - i);
      if (run > room - o) run = room - o;
      if (run <= 16 && n - i >= 16 && room - o >= 16) {
        std::memcpy(out + o, in + i, 16);  // a short word: one fixed copy, the rest overwritten later
      } else {
        std::memcpy(out + o, in + i, run);
      }
      i += run;
      o += run;
    } else if ((b & 0xF0) == 0xE0 && n - i >= 3) {
      // Three-byte forms in a row, the bulk of Hangul and hanja text.
      do {
        o += PutUnit(ThreeByteUnit(in + i), out + o);
        i += 3;
      } while (n - i >= 3 && room - o >= kMaxUnitText && (in[i] & 0xF0) == 0xE0);
    } else {
      break;  // another form, a zero byte, or a three-byte form cut off by the end
    }
  }
  return {i, o};
}

RunResult ConvertUtf16Run(const unsigned char* in, size_t n, bool bigEndian, unsigned char* out,
                          size_t room) {
  const int high = bigEndian ? 0 : 1;  // which byte of a unit is its high byte
  size_t i = 0;
  size_t o = 0;
  for (; n - i >= 2 && room - o >= kMaxUnitText; i += 2) {
    o += PutUnit(static_cast<uint16_t>(in[i + high] << 8 | in[i + 1 - high]), out + o);
  }
  return {i, o};
}

}  // namespace plotweave
