// The plan normaliser: a plan in UTF-8 or UTF-16 (told by its byte-order
// mark) becomes the KS text the plan reader reads. A plan without a mark is
// KS text already.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/stream.h"
#include "io/stream_status.h"

namespace plotweave {

// The values are the encoding numbers the console shows.
enum class PlanEncoding : uint8_t { kKs = 0, kUtf8 = 1, kUtf16Be = 2, kUtf16Le = 3 };


// Looks for a byte-order mark at the start of the plan. A mark is consumed;
// without one nothing is, and the plan reads as KS text from its first byte.
StreamStatus DetectPlanEncoding(BufferedReader& plan, PlanEncoding* encoding);

// Converts the rest of the plan, in `encoding`, to KS text (KS text is copied
// as it is).
StreamStatus NormalisePlan(BufferedReader& plan, PlanEncoding encoding, ByteSink& out);

// The same conversion character by character by the plain rules, without the
// run converters that NormalisePlan hands the common characters to; the two
// must always agree.
StreamStatus NormalisePlanPlain(BufferedReader& plan, PlanEncoding encoding, ByteSink& out);

// The same conversion read on demand: a byte source whose bytes are the KS
// text of the plan behind it, mark detected on the first read. Its memory is
// fixed, whatever the plan's length; it is large (some 200 KiB), so keep it
// off small stacks.
class NormalisedPlanSource final : public ByteSource {
 public:
  explicit NormalisedPlanSource(ByteSource& plan) : in_(plan), out_(pending_) {}
  size_t Read(void* buffer, size_t capacity) override;
  bool Failed() const override { return in_.Failed() || out_.Failed(); }
  // The plan's encoding; known once the first read has been made.
  PlanEncoding encoding() const { return encoding_; }

 private:
  // Holds what one conversion step wrote until it has been read.
  class Pending final : public ByteSink {
   public:
    bool Write(const void* data, size_t count) override;
    size_t Take(void* buffer, size_t capacity);
    bool Empty() const { return pos_ == len_; }

   private:
    size_t pos_ = 0;
    size_t len_ = 0;
    unsigned char buf_[kStreamBufferSize];
  };

  Pending pending_;
  BufferedReader in_;
  BufferedWriter out_;
  PlanEncoding encoding_ = PlanEncoding::kKs;
  bool started_ = false;
  bool ended_ = false;
};

}  // namespace plotweave
