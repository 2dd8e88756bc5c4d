#include "kscode/plan_normaliser.h"

#include <cstdio>
#include <cstring>

#include "kscode/kscode.h"

namespace plotweave {

namespace {

constexpr uint16_t kReplacementUnit = 0xFFFD;

void WriteReference(uint16_t unit, ByteWriter& out) {
  char text[9] = {'&', '#', 0, 0, 0, 0, 0, ';', 0};
  unsigned v = unit;
  for (int i = 6; i >= 2; --i) {
    text[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  out.Write(text, 8);
}

// `index` is KsReverseIndex(), looked up once per conversion.
inline void PutCodeUnit(uint16_t unit, const uint16_t* index, ByteWriter& out) {
  if (unit == 0) return;
  if (unit < 0x80) {
    out.Put(static_cast<unsigned char>(unit));
    return;
  }
  const uint16_t code = index[unit];
  if (code != 0) {
    out.PutSmall(static_cast<uint32_t>(code >> 8) | static_cast<uint32_t>((code & 0xFF) << 8), 2);
  } else {
    WriteReference(unit, out);
  }
}

}  // namespace

void WriteCodeUnit(uint16_t unit, ByteWriter& out) { PutCodeUnit(unit, KsReverseIndex(), out); }

void ConvertUtf16(ByteReader& in, ByteWriter& out, bool bigEndian) {
  const uint16_t* const index = KsReverseIndex();
  const int high = bigEndian ? 0 : 1;  // which byte of a unit is its high byte
  for (;;) {
    size_t avail;
    const unsigned char* span = in.Span(&avail);
    if (avail == 0) return;
    size_t i = 0;
    for (; i + 2 <= avail; i += 2) {
      const int unit = span[i + high] * 256 + span[i + 1 - high];
      PutCodeUnit(static_cast<uint16_t>(unit), index, out);
    }
    in.Skip(i);
    if (i < avail) {
      // A unit split across two reads; an odd last byte of the plan is dropped.
      int pair[2];
      pair[0] = in.Next();
      pair[1] = in.Next();
      if (pair[1] < 0) return;
      PutCodeUnit(static_cast<uint16_t>(pair[high] * 256 + pair[1 - high]), index, out);
    }
  }
}

namespace {

// The value of a three-byte form; its continuation bytes are not checked, so
// it may come out negative.
inline int ThreeByteValue(int b1, int b2, int b3) { return ((b1 - 0xE0) << 12) + ((b2 - 0x80) << 6) + (b3 - 0x80); }

// Length of the run of bytes 0x01..0x7F at the start of p, eight at a time.
// A zero byte ends the run too: a zero unit writes nothing.
size_t AsciiPrefix(const unsigned char* p, size_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (((word | ((word - kOnes) & ~word)) & kHighs) != 0) break;
  }
  while (i < n && static_cast<unsigned>(p[i] - 1) < 0x7F) ++i;
  return i;
}

}  // namespace

void ConvertUtf8(ByteReader& in, ByteWriter& out) {
  const uint16_t* const index = KsReverseIndex();
  // Continuation bytes are not checked: any byte serves and adds its value
  // less 0x80, so malformed input still yields one unit per character.
  for (;;) {
    size_t avail;
    const unsigned char* span = in.Span(&avail);
    if (avail == 0) return;
    // The common case, many characters at a time: ASCII runs and three-byte
    // forms (Hangul, hanja) that lie wholly in the buffered bytes.
    size_t i = 0;
    while (i < avail) {
      const unsigned b = span[i];
      if (b - 1 < 0x7F) {
        const size_t run = AsciiPrefix(span + i, avail - i);
        out.Write(span + i, run);
        i += run;
      } else if (b >= 0xE0 && b < 0xF0 && i + 3 <= avail) {
        PutCodeUnit(static_cast<uint16_t>(ThreeByteValue(b, span[i + 1], span[i + 2]) & 0xFFFF), index, out);
        i += 3;
      } else {
        break;
      }
    }
    if (i > 0) {
      in.Skip(i);
      continue;
    }

    const int b1 = span[0];
    // No UTF-8 form starts with 0xF8..0xFF; nothing after such a byte is read.
    const size_t length = b1 < 0xC0 ? 1 : b1 < 0xE0 ? 2 : b1 < 0xF0 ? 3 : b1 < 0xF8 ? 4 : 1;
    int c[4] = {b1, 0, 0, 0};
    if (avail >= length) {
      for (size_t k = 1; k < length; ++k) c[k] = span[k];
      in.Skip(length);
    } else {
      // The character runs past the buffered bytes; a character cut short by
      // the end of the plan is dropped.
      in.Skip(1);
      for (size_t k = 1; k < length; ++k) {
        c[k] = in.Next();
        if (c[k] < 0) return;
      }
    }

    int64_t value;
    switch (length) {
      case 2:
        value = ((c[0] - 0xC0) << 6) + (c[1] - 0x80);
        break;
      case 3:
        value = ThreeByteValue(c[0], c[1], c[2]);
        break;
      case 4:
        value = (static_cast<int64_t>(c[0] - 0xF0) << 18) + ((c[1] - 0x80) << 12) + ((c[2] - 0x80) << 6) +
                (c[3] - 0x80);
        break;
      default:
        value = b1 >= 0xF8 ? -1 : b1;
        break;
    }
    if (value < 0 && length == 1) {
      WriteReference(kReplacementUnit, out);
    } else if (length == 4 && value > 0x10FFFF) {
      WriteReference(kReplacementUnit, out);
    } else if (length == 4 && value > 0xFFFF) {
      // Carried as its two UTF-16 halves, as a UTF-16 plan carries it; the
      // page encoder joins them again.
      const int64_t v = value - 0x10000;
      WriteReference(static_cast<uint16_t>(0xD800 + (v >> 10)), out);
      WriteReference(static_cast<uint16_t>(0xDC00 + (v & 0x3FF)), out);
    } else {
      PutCodeUnit(static_cast<uint16_t>(value & 0xFFFF), index, out);
    }
  }
}

int ConvertPlanToKs(const char* planPath, const char* scratchPath) {
  // The plan is read twice, here and by the reader, and must come to an end:
  // a FIFO, a device or a directory is no plan even when it opens.
  if (IsSpecialFile(planPath)) return kPlanReadFailed;
  FileHandle plan(planPath, "rb");
  if (!plan) return kPlanNotFound;
  ByteReader in(plan.get());
  int first = in.Next();
  int second = in.Next();
  if (in.Failed()) return kPlanReadFailed;
  if (first < 0) first = 0;
  if (second < 0) second = 0;

  int encoding = kEncodingKs;
  if (first == 0xEF && second == 0xBB) {
    if (in.Next() == 0xBF) encoding = kEncodingUtf8;
    if (in.Failed()) return kPlanReadFailed;
  } else if (first == 0xFE && second == 0xFF) {
    encoding = kEncodingUtf16Be;
  } else if (first == 0xFF && second == 0xFE) {
    encoding = kEncodingUtf16Le;
  }
  if (encoding == kEncodingKs) {
    plan.Close();
    std::printf("Input Text Ecoding: ANSI or UTF-8 without BOM.\n");
    std::printf("System regards %s as ANSI encoding.\n", planPath);
    return kEncodingKs;
  }

  FileHandle scratch(scratchPath, "wb");
  if (!scratch) return kScratchNotCreated;
  bool written;
  {
    ByteWriter out(scratch.get());
    if (encoding == kEncodingUtf8) {
      ConvertUtf8(in, out);
    } else {
      ConvertUtf16(in, out, encoding == kEncodingUtf16Be);
    }
    written = out.Flush();
  }
  written = scratch.Close() && written;
  if (in.Failed() || !written) {
    // Half a plan must never be read as if it were the whole.
    std::remove(scratchPath);
    return in.Failed() ? kPlanReadFailed : kScratchWriteFailed;
  }
  return encoding;
}

}  // namespace plotweave
