// plotweave-bundle's front end, part three: where the copy goes.
//
// A file name takes the copy only once it is whole (see io/replacing_file.h).
// Standard output ("-"), a name for one of the program's own descriptors
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N, or a link to one of them), and
// any other existing name that is not a regular file (a device, a FIFO) are
// written in place: whatever such a name resolves to is never renamed over,
// emptied first or removed, also when the copy fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "io/file.h"
#include "io/replacing_file.h"
#include "io/stream.h"

namespace plotweave {

// The default of --max-size: a full plan of 512 nodes, each with a picture
// of its own of up to 760 KiB (taken in once, whether its image value or its
// title shows it), still fits, and a browser still opens a page of that size.
inline constexpr uint64_t kDefaultMaxCopySize = uint64_t{512} << 20;

// Passes writes on until `limit` bytes have been taken; a write that would go
// past it is refused whole.
class LimitedSink final : public ByteSink {
 public:
  LimitedSink(ByteSink& inner, uint64_t limit) : inner_(&inner), room_(limit) {}
  bool Write(const void* data, size_t count) override;
  bool exceeded() const { return exceeded_; }

 private:
  ByteSink* inner_;
  uint64_t room_;
  bool exceeded_ = false;
};

class CopyDestination {
 public:
  // `name` is the copy's name, "-" for `out`. On failure errno tells why.
  CopyDestination(const char* name, FILE* out);
  ~CopyDestination();
  CopyDestination(const CopyDestination&) = delete;
  CopyDestination& operator=(const CopyDestination&) = delete;

  bool opened() const { return sink_.has_value(); }
  // Whether the copy goes straight where it is read, so that a copy that
  // fails half way leaves what was written so far.
  bool inPlace() const { return !replacing_.has_value(); }
  ByteSink& sink() { return *sink_; }
  // Writes out what is buffered and puts a file in place; false with errno
  // set when any of it failed. Without it nothing is put in place.
  bool Commit();

 private:
  // Writes to `fd` where it stands; a regular file only when `regularToo`
  // (errno EEXIST otherwise).
  void OpenInPlace(int fd, bool regularToo);
  void Use(FILE* stream, bool ownBuffer);

  std::optional<ReplacingFile> replacing_;
  FILE* own_ = nullptr;     // a stream opened in place, closed here
  FILE* stream_ = nullptr;  // what the sink writes to
  std::optional<FileSink> sink_;
};

}  // namespace plotweave
