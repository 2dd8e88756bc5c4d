#include "kscode/text_stream.h"

#include <sys/stat.h>

#include <cstring>

namespace plotweave {

namespace {

// The type bits of what path names, through symbolic links; 0 when nothing
// can be found there.
unsigned FileType(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  return static_cast<unsigned>(st.st_mode) & S_IFMT;
}

}  // namespace

FILE* OpenFile(const char* path, const char* mode) {
#ifdef S_IFIFO
  if (FileType(path) == S_IFIFO) return nullptr;
#endif
  return std::fopen(path, mode);
}

bool IsRegularFile(const char* path) { return FileType(path) == S_IFREG; }

bool IsSpecialFile(const char* path) {
  const unsigned type = FileType(path);
  return type != 0 && type != S_IFREG;
}

bool FileHandle::Close() {
  if (file_ == nullptr) return true;
  const bool ok = std::ferror(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok && closed;
}

bool TextReader::Fill() {
  if (ended_) return false;
  // Keep a pending CR at the front so that it can still meet its LF.
  size_t keep = 0;
  if (pos_ < len_) {
    keep = len_ - pos_;
    std::memmove(buf_, buf_ + pos_, keep);
  }
  pos_ = 0;
  len_ = keep;
  const size_t got = std::fread(buf_ + keep, 1, kStreamBufferSize - keep, file_);
  len_ += got;
  if (got == 0) {
    ended_ = true;
    if (std::ferror(file_)) failed_ = true;
    return keep > 0;
  }
  return true;
}

size_t TextReader::ReadLine(char* out, size_t capacity) {
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
    // pos_ is at the CR; a CR at the buffer's end waits for the next fill.
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

bool ByteReader::Fill() {
  pos_ = 0;
  len_ = std::fread(buf_, 1, kStreamBufferSize, file_);
  if (len_ == 0 && std::ferror(file_)) failed_ = true;
  return len_ > 0;
}

void ByteWriter::WriteLong(const void* data, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    if (len_ == kStreamBufferSize) Flush();
    size_t room = kStreamBufferSize - len_;
    size_t take = n < room ? n : room;
    std::memcpy(buf_ + len_, p, take);
    len_ += take;
    p += take;
    n -= take;
  }
}

bool ByteWriter::Flush() {
  if (len_ > 0) {
    if (!failed_ && std::fwrite(buf_, 1, len_, file_) != len_) failed_ = true;
    len_ = 0;
  }
  return !failed_;
}

}  // namespace plotweave
