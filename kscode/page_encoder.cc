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

uint32_t gPairUtf8[128 * 256];

// The UTF-8 of the value of every five-digit reference met so far, packed as
// PackUtf8 packs it; 0 for one not met yet and for the values that the
// general reading takes (0, surrogate halves, beyond U+FFFF). A look-up is
// cheaper than packing the value anew.
uint32_t gReferenceUtf8[100000];

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

// The value of two digits of a reference, indexed by the digits' two bytes
// less '0' each (the first digit in the low byte), scaled by their place.
struct DigitPairs {
  uint32_t value[0x0A0A];
  constexpr explicit DigitPairs(uint32_t scale) : value() {
    for (uint32_t first = 0; first < 10; ++first) {
      for (uint32_t second = 0; second < 10; ++second) value[first | second << 8] = (first * 10 + second) * scale;
    }
  }
};
constexpr DigitPairs kLeadingDigits(1000);
constexpr DigitPairs kMiddleDigits(10);

// Reads a word of eight bytes (first byte lowest) as the normaliser's
// reference, "&#" and five digits and ";". False for any other form; else the
// number, which may still be any value from 0 to 99999.
inline bool ParseFiveDigitReference(uint64_t w, uint32_t* value) {
  // The word against "&#00000;": each frame byte must match and each digit
  // byte differ by 0 to 9, the digit's value. Adding 0x7F less the largest
  // difference allowed sets a byte's high bit when its difference is larger;
  // no byte carries into the next unless one had its high bit already.
  constexpr uint64_t kTemplate = 0x3B30303030302326ull;
  constexpr uint64_t kLargest = 0x7F76767676767F7Full;
  const uint64_t d = w ^ kTemplate;
  if (((d | (d + kLargest)) & 0x8080808080808080ull) != 0) return false;
  // Two digits a look-up, and the last by itself.
  *value = kLeadingDigits.value[(d >> 16) & 0xFFFF] + kMiddleDigits.value[(d >> 32) & 0xFFFF] +
           static_cast<uint32_t>((d >> 48) & 0xFF);
  return true;
}

// The bytes of the word that stop a plain run: their high bits set, and
// perhaps those of later bytes too (a zero test may flag bytes after a true
// match, never before one); 0 when all eight are plain.
inline uint64_t PlainStops(uint64_t w) {
  constexpr uint64_t kU = 0x5555555555555555ull;    // 'U' in every byte
  constexpr uint64_t kAmp = 0x2626262626262626ull;  // '&' in every byte
  return (w & 0x8080808080808080ull) | HasZeroByte(w) | HasZeroByte(w ^ kU) | HasZeroByte(w ^ kAmp);
}

// The plain bytes at the start of the word: 0 to 8.
inline unsigned PlainPrefix(uint64_t w) { return static_cast<unsigned>(std::countr_zero(PlainStops(w))) >> 3; }

// Converts from p on as long as the text is plain bytes, KS pairs and
// five-digit references whose characters are already cached, which is nearly
// all of a page; returns where it stopped: at `limit` or at the first byte it
// leaves to the general reading. Every step reads the eight bytes at p and
// stores eight bytes at *dst, which must have room for twice the input's
// length and eight bytes more.
//
// Each step branches on its first byte. Working out all three kinds without
// a branch and picking one saves the mispredictions where Hangul text
// switches at random between references, pairs and '_', but took more
// instructions than those cost, and measured slower.
const char* EncodeRuns(const char* p, const char* limit, unsigned char** dstp) {
  unsigned char* dst = *dstp;
  while (p < limit) {
    const uint64_t w = LoadWordLittleEndian(p);
    const unsigned lead = static_cast<unsigned>(w & 0xFF);
    if (lead == '&') {
      uint32_t value;
      if (!ParseFiveDigitReference(w, &value)) break;
      const uint32_t packed = gReferenceUtf8[value];
      if (packed == 0) break;
      // The count in the top byte lands beyond the character and is
      // overwritten by what follows.
      StoreWordLittleEndian(dst, packed);
      dst += packed >> 24;
      p += 8;
      continue;
    }
    if (lead >= 0x80) {
      const unsigned trail = static_cast<unsigned>((w >> 8) & 0xFF);
      const uint32_t pair = gPairUtf8[((lead & 0x7F) << 8) | trail];
      if (trail == 0 || pair == 0) break;
      StoreWordLittleEndian(dst, pair);
      dst += pair >> 24;
      p += 2;
      continue;
    }
    unsigned plain = PlainPrefix(w);
    if (plain == 0) break;
    StoreWordLittleEndian(dst, w);
    dst += plain;
    p += plain;
    // A whole word of plain text, as in markup: stay with it until it ends,
    // a word a step that does not wait for the word's test.
    if (plain == 8) {
      while (p < limit) {
        const uint64_t more = LoadWordLittleEndian(p);
        StoreWordLittleEndian(dst, more);
        const uint64_t stops = PlainStops(more);
        if (stops != 0) {
          plain = static_cast<unsigned>(std::countr_zero(stops)) >> 3;
          dst += plain;
          p += plain;
          break;
        }
        dst += 8;
        p += 8;
      }
    }
  }
  *dstp = dst;
  return p;
}

// Converts a five-digit reference at p that EncodeRuns leaves alone (a value
// met for the first time, which it caches, or one never cached: zero, a
// surrogate half, beyond U+FFFF) and returns the position after it; returns
// p itself when the general reading must take it, as for a high half not
// followed by a five-digit low half.
const char* EncodeFiveDigitReference(const char* p, const char* end, BufferedWriter& out) {
  uint32_t value;
  if (end - p < 8 || !ParseFiveDigitReference(LoadWordLittleEndian(p), &value)) return p;
  if (IsHighSurrogate(value)) {
    uint32_t low;
    if (end - p < 16 || !ParseFiveDigitReference(LoadWordLittleEndian(p + 8), &low) || !IsLowSurrogate(low)) return p;
    CodePointToUtf8(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00), out);
    return p + 16;
  }
  if (value == 0 || value > 0xFFFF || IsLowSurrogate(value)) {
    CodePointToUtf8(value, out);  // U+FFFD, or four bytes
  } else {
    const uint32_t packed = PackUtf8(value);
    gReferenceUtf8[value] = packed;
    PutPacked(packed, out);
  }
  return p + 8;
}

// What a step of the scan outside EncodeRuns found.
enum class Construct { kDone, kEnd, kGeneral };

// Converts the one construct at p that EncodeRuns stopped at, if it takes at
// most sixteen bytes of [p, end): a KS pair, a lead byte before the zero byte
// that ends the text, a five-digit reference, a 'U' or '&' that starts no
// escape. Sets *next after it (kDone); kEnd when a zero byte ends the text
// at or after p; kGeneral when the general reading must take it.
Construct EncodeShort(const char* p, const char* end, BufferedWriter& out, const char** next) {
  const unsigned char b = static_cast<unsigned char>(*p);
  if (b == 0) return Construct::kEnd;
  if (b >= 0x80) {
    const unsigned char trail = static_cast<unsigned char>(p[1]);
    if (trail == 0) {
      // A lead byte that ends the text has no trail byte to pair with.
      CodePointToUtf8(kNoCharacterMark, out);
      return Construct::kEnd;
    }
    PutKsPair(b, trail, out);
    *next = p + 2;
    return Construct::kDone;
  }
  if ((b == 'U' && p[1] != '+') || (b == '&' && p[1] != '#')) {
    out.Put(b);
    *next = p + 1;
    return Construct::kDone;
  }
  if (b == '&') {
    const char* after = EncodeFiveDigitReference(p, end, out);
    if (after != p) {
      *next = after;
      return Construct::kDone;
    }
  }
  return Construct::kGeneral;
}

// Converts [p, end) up to the last eight bytes through EncodeRuns and
// EncodeShort; returns where it stopped: near the end, at a construct for
// the general reading, or (with *ended set) where a zero byte ends the text.
// Reads nothing at or beyond `end`.
const char* EncodeBody(const char* p, const char* end, BufferedWriter& out, bool* ended) {
  *ended = false;
  if (end - p <= 8) return p;
  const char* const limit = end - 8;
  while (p < limit) {
    // Room for twice the bytes converted and one word; a short stretch when
    // the buffer is nearly full, so that it is not flushed half empty.
    size_t room;
    unsigned char* const base = out.Reserve(1024, &room);
    const size_t take = (room - 16) / 2;
    const char* const stop = limit - p > static_cast<ptrdiff_t>(take) ? p + take : limit;
    unsigned char* dst = base;
    p = EncodeRuns(p, stop, &dst);
    out.Commit(static_cast<size_t>(dst - base));
    if (p >= stop) continue;
    const char* next = p;
    const Construct c = EncodeShort(p, end, out, &next);
    if (c == Construct::kEnd) {
      *ended = true;
      return p;
    }
    if (c == Construct::kGeneral) return p;
    p = next;
  }
  return p;
}

// Writes the plain bytes from p on, which lies among the last eight bytes of
// a text, [end - 8, end), all of them readable; returns the position after
// them. The word is shifted so that zero bytes, which stop a plain run, stand
// in for what lies beyond the end.
const char* PutPlainTail(const char* p, const char* end, BufferedWriter& out) {
  const unsigned n = static_cast<unsigned>(end - p);
  if (n == 0) return p;
  const uint64_t w = LoadWordLittleEndian(end - 8) >> (64 - 8 * n);
  size_t room;
  StoreWordLittleEndian(out.Reserve(8, &room), w);
  const unsigned plain = PlainPrefix(w);
  out.Commit(plain);
  return p + plain;
}

}  // namespace

void EncodeChunk(const char* chunk, BufferedWriter& out) {
  const char* p = chunk;
  const char* const end = chunk + std::strlen(chunk);
  bool ended = false;
  for (;;) {
    p = EncodeBody(p, end, out, &ended);
    if (ended || end - p <= 8 || *p == '\0') break;
    p = EncodeEscapeOrByte(p, out);
  }
  if (ended) return;
  // The last few bytes, where a word read from p would pass the zero byte:
  // their plain start at once, the rest one by one.
  if (end - chunk >= 8) p = PutPlainTail(p, end, out);
  while (*p != '\0') {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b >= 0x80) {
      const unsigned char trail = static_cast<unsigned char>(p[1]);
      if (trail == 0) {
        CodePointToUtf8(kNoCharacterMark, out);
        return;
      }
      PutKsPair(b, trail, out);
      p += 2;
    } else if (b != 'U' && b != '&') {
      out.Put(b);  // the line feed, mostly
      ++p;
    } else {
      p = EncodeEscapeOrByte(p, out);
    }
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

namespace {

// A line chunk found in the reader's buffer: its text is the `length` bytes
// at `text`, followed by a LF when `crLf` (the CR LF ending the line, which
// reads as the LF alone), and it takes `raw` bytes of the input.
struct BufferedChunk {
  const char* text;
  size_t length;
  size_t raw;
  bool crLf;
};

enum class ChunkFound { kInBuffer, kReadLine, kEnd };

// Finds the next line chunk, as BufferedReader::ReadLine would read it, in
// the reader's buffer, so that it need not be copied out. kReadLine in the
// one case it leaves to the line read: a chunk of the most bytes that ends in
// a CR, which may pair with a LF beyond the chunk.
ChunkFound FindChunk(BufferedReader& reader, BufferedChunk* chunk) {
  constexpr size_t kMost = kPageChunkBuffer - 1;
  size_t avail;
  const unsigned char* s = reader.Span(&avail);
  if (avail == 0) return ChunkFound::kEnd;
  const void* lf = std::memchr(s, '\n', avail < kMost ? avail : kMost);
  if (lf == nullptr && avail < kMost) {
    // The line may go on past the buffered bytes: bring in a chunk's worth.
    reader.Peek(kPageChunkBuffer);
    s = reader.Span(&avail);
    lf = std::memchr(s, '\n', avail < kMost ? avail : kMost);
  }
  const size_t raw = lf != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(lf) - s) + 1
                                   : (avail < kMost ? avail : kMost);
  chunk->text = reinterpret_cast<const char*>(s);
  chunk->raw = raw;
  chunk->length = raw;
  chunk->crLf = false;
  // A CR reads as itself except right before a LF, and a LF ends the line:
  // only the chunk's last byte can be the CR of a CR LF.
  if (lf != nullptr) {
    if (raw >= 2 && s[raw - 2] == '\r') {
      chunk->length = raw - 2;
      chunk->crLf = true;
    }
    return ChunkFound::kInBuffer;
  }
  if (raw < kMost || s[raw - 1] != '\r') return ChunkFound::kInBuffer;
  // A chunk full to its limit that ends in a CR: the byte after it decides.
  return ChunkFound::kReadLine;
}

// Converts a chunk where it lies; the last bytes, and the rest from the first
// construct that the general reading must take, go through a zero-terminated
// copy in `spare`, since that reading may run to the chunk's zero byte.
void EncodeBufferedChunk(const BufferedChunk& chunk, char* spare, BufferedWriter& out) {
  const char* const end = chunk.text + chunk.length;
  bool ended = false;
  const char* p = EncodeBody(chunk.text, end, out, &ended);
  if (ended) return;
  if (end - p <= 8 && chunk.length >= 8) {
    p = PutPlainTail(p, end, out);
    if (p == end) {
      if (chunk.crLf) out.Put('\n');
      return;
    }
  }
  size_t n = static_cast<size_t>(end - p);
  std::memcpy(spare, p, n);
  if (chunk.crLf) spare[n++] = '\n';
  spare[n] = '\0';
  EncodeChunk(spare, out);
}

}  // namespace

StreamStatus EncodePage(ByteSource& in, ByteSink& out) {
  BufferedWriter writer(out);
  static const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
  writer.Write(kByteOrderMark, sizeof kByteOrderMark);
  BufferedReader reader(in);
  char chunk[kPageChunkBuffer];
  for (;;) {
    BufferedChunk found;
    const ChunkFound where = FindChunk(reader, &found);
    if (where == ChunkFound::kEnd) break;
    if (where == ChunkFound::kInBuffer) {
      EncodeBufferedChunk(found, chunk, writer);
      reader.Skip(found.raw);
    } else {
      if (reader.ReadLine(chunk, sizeof chunk) == 0) break;
      EncodeChunk(chunk, writer);
    }
  }
  const bool written = writer.Flush();
  if (reader.Failed()) return StreamStatus::kReadFailed;
  return written ? StreamStatus::kDone : StreamStatus::kWriteFailed;
}

}  // namespace plotweave
