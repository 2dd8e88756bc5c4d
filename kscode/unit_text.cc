#include "kscode/unit_text.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kscode/kscode.h"
#include "kscode/scan.h"

namespace plotweave {

namespace {

constexpr uint64_t Byte(unsigned value, int position) { return static_cast<uint64_t>(value & 0xFF) << (8 * position); }

// Filled on first use of each unit; see CachedUnitText.
PackedUnitText gUnitText[0x10000];

inline void Store(unsigned char* out, PackedUnitText text) { std::memcpy(out, &text, sizeof text); }

// Length of the run of bytes 0x01..0x7F at the start of p, eight at a time.
size_t AsciiPrefix(const unsigned char* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t word = LoadWordLittleEndian(p + i);
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

namespace {

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

// Converts UTF-8 character by character, a run of ASCII or of three-byte
// forms at a time, until `end` is passed or anything stops it; *stopped
// says whether something did (a byte it leaves, or the room running short).
inline void ConvertUtf8Characters(const unsigned char* in, size_t n, size_t end, unsigned char* out, size_t room,
                                  size_t* i, size_t* o, bool* stopped) {
  *stopped = true;
  while (*i < end) {
    if (room - *o < kMaxUnitText) return;
    const unsigned b = in[*i];
    if (b - 1 < 0x7F) {
      size_t run = AsciiPrefix(in + *i, n - *i);
      if (run > room - *o) run = room - *o;
      if (run <= 16 && n - *i >= 16 && room - *o >= 16) {
        std::memcpy(out + *o, in + *i, 16);  // a short word: one fixed copy, the rest overwritten later
      } else {
        std::memcpy(out + *o, in + *i, run);
      }
      *i += run;
      *o += run;
    } else if ((b & 0xF0) == 0xE0 && n - *i >= 3) {
      // Three-byte forms in a row, the bulk of Hangul and hanja text.
      do {
        *o += PutUnit(ThreeByteUnit(in + *i), out + *o);
        *i += 3;
      } while (n - *i >= 3 && room - *o >= kMaxUnitText && (in[*i] & 0xF0) == 0xE0);
    } else {
      return;  // another form, a zero byte, or a three-byte form cut off by the end
    }
  }
  *stopped = false;
}

// The bytes a window below takes; also how far the character loop goes
// before windows are tried again.
constexpr size_t kWindow = 64;

#if defined(__SSE2__)

// Text that switches between ASCII and three-byte forms every few
// characters costs the loop above a mispredicted exit at every word
// boundary. So where SSE2 makes it cheap to tell what a block of bytes
// holds, the bulk of the text is taken a window of 64 bytes at a time:
// masks of the window's bytes tell whether it holds nothing but ASCII (no
// zero) and whole three-byte forms with true continuation bytes, and if so
// the forms are converted by walking the mask of where they start, the
// ASCII between them copied on the way, with no test of the kind of a byte
// to mispredict. Any other window goes character by character. (Worked out
// a word at a time, the masks cost more than the mispredictions they save,
// so other targets keep the character loop.)
constexpr bool kWindows = true;
// The ASCII before a form is copied this much at a time, the surplus
// overwritten later.
constexpr size_t kGapCopy = 32;
// Input a window needs: its own bytes and a gap copy from its last form.
constexpr size_t kWindowInput = kWindow + kGapCopy;
// Output a window may write beyond the ASCII waiting before it: at most 21
// forms of eight bytes, the ASCII between them, and the surplus of a copy.
constexpr size_t kWindowOutput = kWindow * 8 / 3 + kWindow + kGapCopy;

// Bit k set where byte k of `v`, masked with `mask`, equals `value`.
inline uint64_t BytesMatching(__m128i v, char mask, char value) {
  const __m128i masked = _mm_and_si128(v, _mm_set1_epi8(mask));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(masked, _mm_set1_epi8(value))));
}

// Where the three-byte forms of the window at p start, when it holds only
// ASCII bytes 0x01..0x7F and forms E0..EF 80..BF 80..BF; false when it holds
// anything else. A form that runs past the window is left for the next one,
// and *length says where that starts (64 when none is).
inline bool SimpleWindow(const unsigned char* p, uint64_t* forms, size_t* length) {
  uint64_t leads = 0;  // bit k: byte k is E0..EF
  uint64_t conts = 0;  // bit k: byte k is 80..BF
  uint64_t bad = 0;
  for (size_t k = 0; k < kWindow; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    const uint64_t high = static_cast<unsigned>(_mm_movemask_epi8(v));
    const uint64_t zero = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
    const uint64_t cont = BytesMatching(v, static_cast<char>(0xC0), static_cast<char>(0x80));
    const uint64_t lead = BytesMatching(v, static_cast<char>(0xF0), static_cast<char>(0xE0));
    bad |= zero | (high ^ cont ^ lead);
    leads |= lead << k;
    conts |= cont << k;
  }
  if (bad != 0 || conts != ((leads << 1) | (leads << 2))) return false;
  const uint64_t cut = leads >> (kWindow - 2);  // forms starting at byte 62 or 63
  *length = cut == 0 ? kWindow : kWindow - 2 + static_cast<size_t>(std::countr_zero(cut));
  *forms = cut == 0 ? leads : leads & ((uint64_t{1} << *length) - 1);
  return true;
}

// Converts simple windows from in[*i] on, while the input and the room
// last; moves *i and *o past what it converted.
inline void ConvertSimpleWindows(const unsigned char* in, size_t n, unsigned char* out, size_t room, size_t* i,
                                 size_t* o) {
  const unsigned char* const end = in + n;
  unsigned char* const outEnd = out + room;
  const unsigned char* from = in + *i;  // ASCII from here to the window waits to be copied
  unsigned char* to = out + *o;
  const unsigned char* window = from;
  uint64_t forms;
  size_t length;
  while (static_cast<size_t>(end - window) >= kWindowInput &&
         static_cast<size_t>(outEnd - to) >= static_cast<size_t>(window - from) + kWindowOutput &&
         SimpleWindow(window, &forms, &length)) {
    while (forms != 0) {
      const unsigned char* const at = window + static_cast<unsigned>(std::countr_zero(forms));
      forms &= forms - 1;
      const auto gap = static_cast<size_t>(at - from);
      std::memcpy(to, from, kGapCopy);
      if (gap > kGapCopy) std::memcpy(to + kGapCopy, from + kGapCopy, gap - kGapCopy);
      to += gap;
      const PackedUnitText text = CachedUnitText(ThreeByteUnit(at));
      Store(to, text);
      to += PackedUnitLength(text);
      from = at + 3;
    }
    window += length;
  }
  std::memcpy(to, from, static_cast<size_t>(window - from));
  to += window - from;
  *i = static_cast<size_t>(window - in);
  *o = static_cast<size_t>(to - out);
}

#else

constexpr bool kWindows = false;
inline void ConvertSimpleWindows(const unsigned char*, size_t, unsigned char*, size_t, size_t*, size_t*) {}

#endif

}  // namespace

RunResult ConvertUtf8Run(const unsigned char* in, size_t n, unsigned char* out, size_t room) {
  size_t i = 0;
  size_t o = 0;
  for (;;) {
    ConvertSimpleWindows(in, n, out, room, &i, &o);
    // Past the window that could not be taken whole; or to the end, when
    // what is left is too short for a window.
    const size_t end = kWindows && n - i > kWindow ? i + kWindow : n;
    bool stopped;
    ConvertUtf8Characters(in, n, end, out, room, &i, &o, &stopped);
    if (stopped || i == n) return {i, o};
  }
}

namespace {

template <bool kBigEndian>
inline uint16_t LoadUnit(const unsigned char* p) {
  return static_cast<uint16_t>(kBigEndian ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
}

// The four units at p, unit k in bits 16k..16k+15.
template <bool kBigEndian>
inline uint64_t LoadFourUnits(const unsigned char* p) {
  const uint64_t w = LoadWordLittleEndian(p);
  if constexpr (!kBigEndian) return w;
  return ((w & 0x00FF00FF00FF00FFull) << 8) | ((w >> 8) & 0x00FF00FF00FF00FFull);
}

// Whether all four units are ASCII 0x01..0x7F: no bit above the seventh, and
// adding 0x7F to each carries into its bit 7.
inline bool FourAsciiUnits(uint64_t units) {
  return (units & 0xFF80FF80FF80FF80ull) == 0 &&
         ((units + 0x007F007F007F007Full) & 0x0080008000800080ull) == 0x0080008000800080ull;
}

// The low bytes of four units, first unit lowest, in the low 32 bits.
inline uint64_t LowBytes(uint64_t units) {
  units = (units | units >> 8) & 0x0000FFFF0000FFFFull;
  return (units | units >> 16) & 0xFFFFFFFFull;
}

template <bool kBigEndian>
RunResult ConvertUtf16Units(const unsigned char* in, size_t n, unsigned char* out, size_t room) {
  size_t i = 0;
  size_t o = 0;
  // However the units turn out, as many as there are eight-byte spans of
  // room left fit; so the room is checked once for that many, not per unit.
  for (;;) {
    size_t units = std::min((n - i) / 2, (room - o) / kMaxUnitText);
    if (units == 0) return {i, o};
    for (; units >= 4; units -= 4, i += 8) {
      const uint64_t four = LoadFourUnits<kBigEndian>(in + i);
      if (FourAsciiUnits(four)) {
        StoreWordLittleEndian(out + o, LowBytes(four));  // four bytes kept, the rest overwritten later
        o += 4;
      } else {
        for (size_t k = 0; k < 8; k += 2) o += PutUnit(LoadUnit<kBigEndian>(in + i + k), out + o);
      }
    }
    for (; units > 0; --units, i += 2) o += PutUnit(LoadUnit<kBigEndian>(in + i), out + o);
  }
}

}  // namespace

RunResult ConvertUtf16Run(const unsigned char* in, size_t n, bool bigEndian, unsigned char* out,
                          size_t room) {
  return bigEndian ? ConvertUtf16Units<true>(in, n, out, room) : ConvertUtf16Units<false>(in, n, out, room);
}

}  // namespace plotweave
