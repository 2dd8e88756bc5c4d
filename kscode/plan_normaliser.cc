#include "kscode/plan_normaliser.h"

#include <cstring>

#include "kscode/ks_tables.h"
#include "kscode/unit_text.h"

namespace plotweave {

namespace {

constexpr uint16_t kReplacementUnit = 0xFFFD;

void WriteReference(uint16_t unit, BufferedWriter& out) {
  char text[9] = {'&', '#', 0, 0, 0, 0, 0, ';', 0};
  unsigned v = unit;
  for (int i = 6; i >= 2; --i) {
    text[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  out.Write(text, 8);
}

inline void PutCodeUnit(uint16_t unit, BufferedWriter& out) {
  if (unit == 0) return;
  if (unit < 0x80) {
    out.Put(static_cast<unsigned char>(unit));
    return;
  }
  const uint16_t code = KsReverseIndexTable[unit];
  if (code != 0) {
    out.PutSmall(static_cast<uint32_t>(code >> 8) | static_cast<uint32_t>((code & 0xFF) << 8), 2);
  } else {
    WriteReference(unit, out);
  }
}

// Lets `run` (a run converter bound to the span) write straight into the
// writer's buffer; true when it took anything, which it then skips.
template <typename RunConverter>
inline bool TookRun(BufferedReader& in, BufferedWriter& out, RunConverter run) {
  size_t room;
  unsigned char* dst = out.Reserve(kMaxUnitText, &room);
  const RunResult result = run(dst, room);
  out.Commit(result.produced);
  if (result.consumed == 0) return false;
  in.Skip(result.consumed);
  return true;
}

// Each step below converts what one span of the reader holds, at most
// `bound` bytes of it, and returns false once the plan has ended. With `fast`
// a step first hands the span to a run converter, which takes the common
// characters many at a time; what it leaves, and everything without `fast`,
// goes character by character by the plain rules.

inline bool Utf16Step(BufferedReader& in, BufferedWriter& out, bool bigEndian, size_t bound, bool fast) {
  const int high = bigEndian ? 0 : 1;  // which byte of a unit is its high byte
  size_t avail;
  const unsigned char* span = in.Span(&avail);
  if (avail == 0) return false;
  if (avail > bound) avail = bound;
  if (fast && TookRun(in, out, [&](unsigned char* dst, size_t room) {
        return ConvertUtf16Run(span, avail, bigEndian, dst, room);
      })) {
    return true;
  }
  size_t i = 0;
  for (; i + 2 <= avail; i += 2) {
    const int unit = span[i + high] * 256 + span[i + 1 - high];
    PutCodeUnit(static_cast<uint16_t>(unit), out);
  }
  in.Skip(i);
  if (i < avail) {
    // A unit split across two reads; an odd last byte of the plan is dropped.
    int pair[2];
    pair[0] = in.Next();
    pair[1] = in.Next();
    if (pair[1] < 0) return false;
    PutCodeUnit(static_cast<uint16_t>(pair[high] * 256 + pair[1 - high]), out);
  }
  return true;
}

// The value of a three-byte form; its continuation bytes are not checked, so
// it may come out negative.
inline int ThreeByteValue(int b1, int b2, int b3) { return ((b1 - 0xE0) << 12) + ((b2 - 0x80) << 6) + (b3 - 0x80); }

inline bool Utf8Step(BufferedReader& in, BufferedWriter& out, size_t bound, bool fast) {
  // Continuation bytes are not checked: any byte serves and adds its value
  // less 0x80, so malformed input still yields one unit per character.
  size_t avail;
  const unsigned char* span = in.Span(&avail);
  if (avail == 0) return false;
  if (avail > bound) avail = bound;
  // ASCII runs and three-byte forms (Hangul, hanja) that lie wholly in the
  // buffered bytes.
  if (fast && TookRun(in, out, [&](unsigned char* dst, size_t room) {
        return ConvertUtf8Run(span, avail, dst, room);
      })) {
    return true;
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
      if (c[k] < 0) return false;
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
    PutCodeUnit(static_cast<uint16_t>(value & 0xFFFF), out);
  }
  return true;
}

inline bool CopyStep(BufferedReader& in, BufferedWriter& out, size_t bound) {
  size_t avail;
  const unsigned char* span = in.Span(&avail);
  if (avail == 0) return false;
  if (avail > bound) avail = bound;
  out.Write(span, avail);
  in.Skip(avail);
  return true;
}

inline bool Step(PlanEncoding encoding, BufferedReader& in, BufferedWriter& out, size_t bound,
                 bool fast = true) {
  switch (encoding) {
    case PlanEncoding::kUtf8: return Utf8Step(in, out, bound, fast);
    case PlanEncoding::kUtf16Be: return Utf16Step(in, out, true, bound, fast);
    case PlanEncoding::kUtf16Le: return Utf16Step(in, out, false, bound, fast);
    case PlanEncoding::kKs: break;
  }
  return CopyStep(in, out, bound);
}

// A pulled step reads at most this much, so that what it writes (eight bytes
// a byte at the most, for a reference in place of a stray byte) and what it
// reads past its span to finish a character fit the pending buffer.
constexpr size_t kPullStep = 4096;
constexpr size_t kMostBytesPerByte = 8;
static_assert(kMostBytesPerByte * (kPullStep + 4) <= kStreamBufferSize);

}  // namespace

StreamStatus DetectPlanEncoding(BufferedReader& plan, PlanEncoding* encoding) {
  *encoding = PlanEncoding::kKs;
  size_t have = plan.Peek(2);
  if (plan.Failed()) return StreamStatus::kReadFailed;
  unsigned char mark[3] = {0, 0, 0};
  size_t span;
  const unsigned char* bytes = plan.Span(&span);
  for (size_t i = 0; i < have && i < 2; ++i) mark[i] = bytes[i];
  if (mark[0] == 0xEF && mark[1] == 0xBB) {
    have = plan.Peek(3);
    if (plan.Failed()) return StreamStatus::kReadFailed;
    bytes = plan.Span(&span);
    if (have >= 3 && bytes[2] == 0xBF) {
      *encoding = PlanEncoding::kUtf8;
      plan.Skip(3);
    }
  } else if (mark[0] == 0xFE && mark[1] == 0xFF) {
    *encoding = PlanEncoding::kUtf16Be;
    plan.Skip(2);
  } else if (mark[0] == 0xFF && mark[1] == 0xFE) {
    *encoding = PlanEncoding::kUtf16Le;
    plan.Skip(2);
  }
  return StreamStatus::kDone;
}

namespace {

StreamStatus Normalise(BufferedReader& plan, PlanEncoding encoding, ByteSink& out, bool fast) {
  BufferedWriter writer(out);
  while (Step(encoding, plan, writer, kStreamBufferSize, fast)) {
  }
  const bool written = writer.Flush();
  if (plan.Failed()) return StreamStatus::kReadFailed;
  return written ? StreamStatus::kDone : StreamStatus::kWriteFailed;
}

}  // namespace

StreamStatus NormalisePlan(BufferedReader& plan, PlanEncoding encoding, ByteSink& out) {
  return Normalise(plan, encoding, out, true);
}

StreamStatus NormalisePlanPlain(BufferedReader& plan, PlanEncoding encoding, ByteSink& out) {
  return Normalise(plan, encoding, out, false);
}

bool NormalisedPlanSource::Pending::Write(const void* data, size_t count) {
  if (pos_ == len_) pos_ = len_ = 0;
  if (count > sizeof buf_ - len_) return false;
  std::memcpy(buf_ + len_, data, count);
  len_ += count;
  return true;
}

size_t NormalisedPlanSource::Pending::Take(void* buffer, size_t capacity) {
  const size_t n = len_ - pos_ < capacity ? len_ - pos_ : capacity;
  std::memcpy(buffer, buf_ + pos_, n);
  pos_ += n;
  return n;
}

size_t NormalisedPlanSource::Read(void* buffer, size_t capacity) {
  if (!started_) {
    started_ = true;
    if (DetectPlanEncoding(in_, &encoding_) != StreamStatus::kDone) ended_ = true;
  }
  // One step at a time, and a step only once the last one's bytes are read,
  // so the pending buffer never holds more than one step wrote.
  while (pending_.Empty() && !ended_) {
    if (!Step(encoding_, in_, out_, kPullStep)) ended_ = true;
    if (!out_.Flush()) ended_ = true;
  }
  return pending_.Take(buffer, capacity);
}

}  // namespace plotweave
