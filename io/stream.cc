#include "io/stream.h"

namespace plotweave {

size_t MemorySource::Read(void* buffer, size_t capacity) {
  const size_t n = size_ - pos_ < capacity ? size_ - pos_ : capacity;
  if (n > 0) std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return n;
}

bool BufferedReader::Fill() {
  if (ended_) return false;
  const size_t keep = len_ - pos_;
  if (keep > 0 && pos_ > 0) std::memmove(buf_, buf_ + pos_, keep);
  pos_ = 0;
  len_ = keep;
  if (keep == kStreamBufferSize) return true;
  const size_t got = source_->Read(buf_ + keep, kStreamBufferSize - keep);
  len_ += got;
  if (got == 0) {
    ended_ = true;
    if (source_->Failed()) failed_ = true;
    return false;
  }
  return true;
}

size_t BufferedReader::Peek(size_t count) {
  if (count > kStreamBufferSize) count = kStreamBufferSize;
  while (len_ - pos_ < count && Fill()) {
  }
  return len_ - pos_;
}

size_t BufferedReader::ReadLine(char* out, size_t capacity) {
  if (capacity < 2) return 0;
  size_t n = 0;
  const size_t limit = capacity - 1;
  while (n < limit) {
    if (pos_ == len_ && !Fill()) break;
    // Copy whole spans up to the line feed or a CR; only a CR needs a look at
    // the byte after it.
    const unsigned char* start = buf_ + pos_;
    size_t avail = len_ - pos_;
    if (avail > limit - n) avail = limit - n;
    const void* lf = std::memchr(start, '\n', avail);
    const size_t span = lf != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(lf) - start) + 1 : avail;
    const void* cr = std::memchr(start, '\r', span);
    if (cr == nullptr) {
      std::memcpy(out + n, start, span);
      n += span;
      pos_ += span;
      if (lf != nullptr) break;
      continue;
    }
    const size_t before = static_cast<size_t>(static_cast<const unsigned char*>(cr) - start);
    std::memcpy(out + n, start, before);
    n += before;
    pos_ += before;
    // pos_ is at the CR; a CR at the buffer's end waits for the next fill,
    // which keeps it at the front.
    if (pos_ + 1 == len_) Fill();
    unsigned char c = '\r';
    if (pos_ + 1 < len_ && buf_[pos_ + 1] == '\n') {
      ++pos_;
      c = '\n';
    }
    ++pos_;
    out[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  out[n] = '\0';
  return n;
}

void BufferedWriter::WriteLong(const void* data, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    if (len_ == kStreamBufferSize) Flush();
    const size_t room = kStreamBufferSize - len_;
    const size_t take = n < room ? n : room;
    std::memcpy(buf_ + len_, p, take);
    len_ += take;
    p += take;
    n -= take;
  }
}

bool BufferedWriter::Flush() {
  if (len_ > 0) {
    if (!failed_ && !sink_->Write(buf_, len_)) failed_ = true;
    len_ = 0;
  }
  return !failed_;
}

}  // namespace plotweave
