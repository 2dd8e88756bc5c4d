#include "kscode/plan_normaliser.h"

#include <cstdio>

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

}  // namespace

void WriteCodeUnit(uint16_t unit, ByteWriter& out) {
  if (unit == 0) return;
  if (unit < 0x80) {
    out.Put(static_cast<unsigned char>(unit));
    return;
  }
  uint8_t lead;
  uint8_t trail;
  if (UnicodeToKs(unit, &lead, &trail)) {
    out.Put(lead);
    out.Put(trail);
  } else {
    WriteReference(unit, out);
  }
}

void ConvertUtf16(ByteReader& in, ByteWriter& out, bool bigEndian) {
  for (;;) {
    const int first = in.Next();
    if (first < 0) return;
    const int second = in.Next();
    if (second < 0) return;  // an odd last byte is dropped
    const int unit = bigEndian ? first * 256 + second : second * 256 + first;
    WriteCodeUnit(static_cast<uint16_t>(unit), out);
  }
}

void ConvertUtf8(ByteReader& in, ByteWriter& out) {
  // Continuation bytes are not checked: any byte serves and adds its value
  // less 0x80, so malformed input still yields one unit per character.
  for (;;) {
    const int b1 = in.Next();
    if (b1 < 0) return;
    int64_t value;
    if (b1 < 0xC0) {
      value = b1;
    } else if (b1 < 0xE0) {
      const int b2 = in.Next();
      if (b2 < 0) return;
      value = ((b1 - 0xC0) << 6) + (b2 - 0x80);
    } else if (b1 < 0xF0) {
      const int b2 = in.Next();
      if (b2 < 0) return;
      const int b3 = in.Next();
      if (b3 < 0) return;
      value = ((b1 - 0xE0) << 12) + ((b2 - 0x80) << 6) + (b3 - 0x80);
    } else if (b1 < 0xF8) {
      const int b2 = in.Next();
      if (b2 < 0) return;
      const int b3 = in.Next();
      if (b3 < 0) return;
      const int b4 = in.Next();
      if (b4 < 0) return;
      value = (static_cast<int64_t>(b1 - 0xF0) << 18) + ((b2 - 0x80) << 12) + ((b3 - 0x80) << 6) +
              (b4 - 0x80);
      if (value > 0x10FFFF) {
        WriteReference(kReplacementUnit, out);
        continue;
      }
      if (value > 0xFFFF) {
        // Carried as its two UTF-16 halves, as a UTF-16 plan carries it; the
        // page encoder joins them again.
        const int64_t v = value - 0x10000;
        WriteReference(static_cast<uint16_t>(0xD800 + (v >> 10)), out);
        WriteReference(static_cast<uint16_t>(0xDC00 + (v & 0x3FF)), out);
        continue;
      }
    } else {
      // No UTF-8 form starts with 0xF8..0xFF.
      WriteReference(kReplacementUnit, out);
      continue;
    }
    WriteCodeUnit(static_cast<uint16_t>(value & 0xFFFF), out);
  }
}

int ConvertPlanToKs(const char* planPath, const char* scratchPath) {
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
