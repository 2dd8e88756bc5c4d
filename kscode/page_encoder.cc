#include "kscode/page_encoder.h"

#include <bit>
#include <cstring>

#include "kscode/kscode.h"
#include "kscode/scan.h"

namespace plotweave {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr uint32_t kNoCharacterMark = 0x25A3;  // shown for a KS pair without a character

// One hexadecimal pair read as a formatted "%x" read does: blanks, an optional
// sign, then hex digits up to the first other character; the low eight bits.
bool HexPairToByte(const char* pair, uint8_t* byte) {
  int i = 0;
  while (i < 2 && IsBlank(static_cast<unsigned char>(pair[i]))) ++i;
  bool negative = false;
  if (i < 2 && (pair[i] == '+' || pair[i] == '-')) {
    negative = pair[i] == '-';
    ++i;
  }
  uint32_t value = 0;
  int digits = 0;
  for (; i < 2; ++i) {
    const char c = pair[i];
    uint32_t d;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    value = value * 16 + d;
    ++digits;
  }
  if (digits == 0) return false;
  if (negative) value = 0u - value;
  *byte = static_cast<uint8_t>(value & 0xFF);
  return true;
}

// Code point of the four characters of a Unicode escape, each pair read as a
// hexadecimal byte. False when a pair holds no hexadecimal number.
bool HexQuadToCodePoint(const char* escapeText, uint16_t* codePoint) {
  uint8_t high = 0;
  uint8_t low = 0;
  if (!HexPairToByte(escapeText, &high) || !HexPairToByte(escapeText + 2, &low)) return false;
  *codePoint = static_cast<uint16_t>(high * 256 + low);
  return true;
}

// The number of a numeric character reference as a "%d" read gives it: the
// long value, narrowed to 32 bits.
bool ReadReferenceNumber(const char* p, int32_t* value) {
  int64_t wide;
  if (!ScanLong(&p, &wide)) return false;
  *value = static_cast<int32_t>(wide);
  return true;
}

// An escape or reference starting at p: its value and the bytes it covers.
// False when p starts neither, or the construct holds no number; then
// `consumed` still tells how many bytes the construct covers.
struct Escape {
  int64_t value;
  size_t consumed;
  bool hasNumber;
};

bool ReadEscape(const char* p, Escape* e) {
  if (p[0] == 'U' && p[1] == '+') {
    // Four bytes of escape text must be there before the chunk's end.
    for (int i = 2; i < 6; ++i) {
      if (p[i] == '\0') return false;
    }
    uint16_t cp = 0;
    e->hasNumber = HexQuadToCodePoint(p + 2, &cp);
    e->value = cp;
    e->consumed = 6;
    return true;
  }
  if (p[0] == '&' && p[1] == '#') {
    int32_t v = 0;
    e->hasNumber = ReadReferenceNumber(p + 2, &v);
    e->value = v;
    size_t n = 2;
    while (p[n] >= '0' && p[n] <= '9') ++n;
    if (p[n] == ';') ++n;
    e->consumed = n;
    return true;
  }
  return false;
}

// Bytes copied as they stand: everything below 0x80 except the zero byte,
// which ends a chunk, and the two bytes that can start an escape.
struct PlainBytes {
  bool plain[256];
  constexpr PlainBytes() : plain() {
    for (int b = 1; b < 0x80; ++b) plain[b] = b != 'U' && b != '&';
  }
};
constexpr PlainBytes kPlain;

// The bytes of a word loaded from memory, first byte lowest.
constexpr uint64_t LittleEndian(uint64_t w) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(w);
  return w;
}

// The first byte from p on that is not plain, or `end`: eight bytes a step
// while none of them is a zero byte, a 'U', a '&' or a byte of 0x80 or more.
const char* SkipPlain(const char* p, const char* end) {
  constexpr uint64_t kU = 0x5555555555555555ull;    // 'U' in every byte
  constexpr uint64_t kAmp = 0x2626262626262626ull;  // '&' in every byte
  while (end - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    const uint64_t stops =
        (w & 0x8080808080808080ull) | HasZeroByte(w) | HasZeroByte(w ^ kU) | HasZeroByte(w ^ kAmp);
    if (stops != 0) {
      // The lowest flagged byte is the first stop in memory order. (A zero
      // test may also flag bytes after a true match, never before one.)
      return p + (std::countr_zero(LittleEndian(stops)) >> 3);
    }
    p += 8;
  }
  while (p != end && kPlain.plain[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

uint32_t gPairUtf8[128 * 256];

// UTF-8 form of a code point below U+10000: up to three bytes, lowest first,
// and their count in the top byte.
inline uint32_t PackUtf8(uint32_t cp) {
  if (cp < 0x80) return (1u << 24) | cp;
  if (cp < 0x800) return (2u << 24) | (0xC0 | (cp >> 6)) | ((0x80 | (cp & 0x3F)) << 8);
  return (3u << 24) | (0xE0 | (cp >> 12)) | ((0x80 | ((cp >> 6) & 0x3F)) << 8) |
         ((0x80 | (cp & 0x3F)) << 16);
}

inline void PutPacked(uint32_t packed, BufferedWriter& out) { out.PutSmall(packed & 0xFFFFFF, packed >> 24); }

// Writes the character of a KS pair; a pair without one shows the
// no-character mark.
inline void PutKsPair(unsigned char lead, unsigned char trail, BufferedWriter& out) {
  const unsigned index = (static_cast<unsigned>(lead - 0x80) << 8) | trail;
  uint32_t packed = gPairUtf8[index];
  if (packed == 0) {
    const uint32_t cp = KsToUnicode(lead, trail);
    packed = PackUtf8(cp == 0 ? kNoCharacterMark : cp);
    gPairUtf8[index] = packed;
  }
  PutPacked(packed, out);
}

// The text of an escape that holds no number, written as the text it is. It
// is still consumed whole, and its bytes may be KS text ("U+" followed by
// Hangul, say): a KS pair inside it is converted like any other, and a lead
// byte whose trail lies beyond it shows the no-character mark, so that no KS
// byte ever reaches the UTF-8 page raw.
void WriteEscapeText(const char* p, size_t n, BufferedWriter& out) {
  for (size_t i = 0; i < n;) {
    const unsigned char b = static_cast<unsigned char>(p[i]);
    if (b < 0x80) {
      out.Put(b);
      ++i;
    } else if (i + 1 < n) {
      PutKsPair(b, static_cast<unsigned char>(p[i + 1]), out);
      i += 2;
    } else {
      PutPacked(PackUtf8(kNoCharacterMark), out);
      ++i;
    }
  }
}

bool IsHighSurrogate(int64_t v) { return v >= 0xD800 && v <= 0xDBFF; }
bool IsLowSurrogate(int64_t v) { return v >= 0xDC00 && v <= 0xDFFF; }

// Writes one Unicode scalar value as UTF-8; anything that is not one (0, a
// surrogate, beyond U+10FFFF) is written as U+FFFD.
void CodePointToUtf8(int64_t cp, BufferedWriter& out) {
  if (cp <= 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  const uint32_t c = static_cast<uint32_t>(cp);
  if (c < 0x10000) {
    PutPacked(PackUtf8(c), out);
    return;
  }
  out.PutSmall((0xF0 | (c >> 18)) | ((0x80 | ((c >> 12) & 0x3F)) << 8) | ((0x80 | ((c >> 6) & 0x3F)) << 16) |
                   ((0x80 | (c & 0x3F)) << 24),
               4);
}

// The reference as the plan normaliser writes it, "&#" and five digits and
// ";", read as one word. False for any other form and for a surrogate half,
// which may pair with the reference after it: the general reading takes those.
inline bool FiveDigitReference(const char* p, const char* end, uint32_t* value) {
  if (end - p < 8) return false;
  uint64_t w;
  std::memcpy(&w, p, 8);
  w = LittleEndian(w);
  constexpr uint64_t kFrameMask = 0xFF0000000000FFFFull;
  constexpr uint64_t kFrame = (static_cast<uint64_t>(';') << 56) | ('#' << 8) | '&';
  // The five digit bytes, first digit lowest; each must lie in '0'..'9'. The
  // frame and the digits are tested together, with one branch.
  const uint64_t text = (w >> 16) & 0xFFFFFFFFFFull;
  constexpr uint64_t kHigh = 0xF0F0F0F0F0ull;
  constexpr uint64_t kZeros = 0x3030303030ull;
  const uint64_t wrong = ((w & kFrameMask) ^ kFrame) | ((text & kHigh) ^ kZeros) |
                         (((text + 0x0606060606ull) & kHigh) ^ kZeros);
  if (wrong != 0) return false;
  // Three leading zero digits make eight; then pairs, quads and the whole.
  uint64_t v = (text & 0x0F0F0F0F0Full) << 24;
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFull;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFull;
  v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFull;
  if (v >= 0xD800 && v <= 0xDFFF) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

// Converts the escape or reference at p, or writes the byte at p when none
// starts there; returns the position after what it consumed.
const char* EncodeEscapeOrByte(const char* p, BufferedWriter& out) {
  Escape e;
  if (!ReadEscape(p, &e)) {
    out.Put(static_cast<unsigned char>(*p));
    return p + 1;
  }
  if (!e.hasNumber) {
    WriteEscapeText(p, e.consumed, out);
    return p + e.consumed;
  }
  p += e.consumed;
  int64_t value = e.value;
  if (IsHighSurrogate(value)) {
    // A high half directly followed by a low half is one character.
    Escape next;
    if ((*p == 'U' || *p == '&') && ReadEscape(p, &next) && next.hasNumber && IsLowSurrogate(next.value)) {
      value = 0x10000 + ((value - 0xD800) << 10) + (next.value - 0xDC00);
      p += next.consumed;
    }
  }
  CodePointToUtf8(value, out);
  return p;
}

}  // namespace

void EncodeChunk(const char* chunk, BufferedWriter& out) {
  const char* p = chunk;
  const char* const end = chunk + std::strlen(chunk);
  for (;;) {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (kPlain.plain[b]) {
      const char* run = p;
      p = SkipPlain(p, end);
      const size_t length = static_cast<size_t>(p - run);
      if (length <= 16 && end - run >= 16) {
        // A short run, as between the words of a line: one fixed-size copy,
        // of which only `length` bytes are kept.
        size_t room;
        unsigned char* dst = out.Reserve(16, &room);
        std::memcpy(dst, run, 16);
        out.Commit(length);
      } else {
        out.Write(run, length);
      }
      continue;
    }
    if (b >= 0x80) {
      const unsigned char trail = static_cast<unsigned char>(p[1]);
      if (trail == 0) {
        // A lead byte that ends the chunk has no trail byte to pair with.
        CodePointToUtf8(kNoCharacterMark, out);
        ++p;
        continue;
      }
      PutKsPair(b, trail, out);
      p += 2;
      continue;
    }
    if (b == 0) break;
    uint32_t value;
    if (b == '&' && FiveDigitReference(p, end, &value)) {
      p += 8;
      if (value - 1 < 0xFFFF) {
        PutPacked(PackUtf8(value), out);
      } else {
        CodePointToUtf8(value, out);  // 0, or beyond U+FFFF
      }
      continue;
    }
    p = EncodeEscapeOrByte(p, out);
  }
}

void EncodeChunkPlain(const char* chunk, BufferedWriter& out) {
  const char* p = chunk;
  while (*p != '\0') {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b >= 0x80) {
      const unsigned char trail = static_cast<unsigned char>(p[1]);
      const uint16_t cp = trail == 0 ? 0 : KsToUnicode(b, trail);
      CodePointToUtf8(cp == 0 ? kNoCharacterMark : cp, out);
      p += trail == 0 ? 1 : 2;
    } else {
      p = EncodeEscapeOrByte(p, out);
    }
  }
}

EncodeStatus EncodePage(ByteSource& in, ByteSink& out) {
  BufferedWriter writer(out);
  static const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
  writer.Write(kByteOrderMark, sizeof kByteOrderMark);
  BufferedReader reader(in);
  char chunk[kPageChunkBuffer];
  while (reader.ReadLine(chunk, sizeof chunk) > 0) EncodeChunk(chunk, writer);
  const bool written = writer.Flush();
  if (reader.Failed()) return EncodeStatus::kReadFailed;
  return written ? EncodeStatus::kDone : EncodeStatus::kWriteFailed;
}

}  // namespace plotweave
