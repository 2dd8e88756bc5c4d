// Buffered byte input and output for the text files of a run.
//
// Files are opened as byte streams and the one text-stream rule that matters
// here, a CR directly before a LF reads as the LF alone, is applied by
// TextReader itself, so every platform reads a plan and a page the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace plotweave {

// Opens like fopen, but never a FIFO: an open of one blocks until some other
// process opens its other end, and a run's files have no other party.
FILE* OpenFile(const char* path, const char* mode);

// Whether path names a regular file (through any symbolic links). Only such a
// file is sure to end: a name that leads to a device such as /dev/zero would
// be read forever.
bool IsRegularFile(const char* path);

// Whether something other than a regular file stands at path: a directory, a
// FIFO or a device.
bool IsSpecialFile(const char* path);

// Owns an open stdio file and closes it when it goes out of scope.
class FileHandle {
 public:
  FileHandle(const char* path, const char* mode) : file_(OpenFile(path, mode)) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  // Closes now; false when the close (or an earlier buffered write) failed.
  bool Close();

 private:
  FILE* file_;
};

inline constexpr size_t kStreamBufferSize = 1 << 16;

class TextReader {
 public:
  explicit TextReader(FILE* file) : file_(file) {}

  // Reads like a line read with a byte limit: at most capacity - 1 bytes, up to
  // and including a LF, followed by a zero byte. Returns the number of bytes
  // stored before the zero byte (zero bytes from the file included); 0 once the
  // file is exhausted or a read failed.
  size_t ReadLine(char* out, size_t capacity);
  bool Failed() const { return failed_; }

 private:
  bool Fill();

  FILE* file_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool failed_ = false;
  bool ended_ = false;
  unsigned char buf_[kStreamBufferSize];
};

// Raw byte reader with one byte of look-ahead buffering, for the plan normaliser.
class ByteReader {
 public:
  explicit ByteReader(FILE* file) : file_(file) {}
  // Next byte, or -1 at the end of the file or after a read error.
  int Next() {
    if (pos_ == len_ && !Fill()) return -1;
    return buf_[pos_++];
  }
  // The bytes buffered from the current position on, reading more when none
  // are; `count` is 0 at the end of the file.
  const unsigned char* Span(size_t* count) {
    if (pos_ == len_ && !Fill()) {
      *count = 0;
      return buf_;
    }
    *count = len_ - pos_;
    return buf_ + pos_;
  }
  // Moves past `count` bytes of the last span.
  void Skip(size_t count) { pos_ += count; }
  bool Failed() const { return failed_; }

 private:
  bool Fill();

  FILE* file_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool failed_ = false;
  unsigned char buf_[kStreamBufferSize];
};

class ByteWriter {
 public:
  explicit ByteWriter(FILE* file) : file_(file) {}
  ~ByteWriter() { Flush(); }
  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  void Put(unsigned char b) {
    if (len_ == kStreamBufferSize) Flush();
    buf_[len_++] = b;
  }
  // Writes the `count` low bytes of `bytes`, lowest first (count at most 4).
  void PutSmall(uint32_t bytes, unsigned count) {
    if (kStreamBufferSize - len_ < 4) Flush();
    // Stores all four bytes and keeps `count` of them: one store, no loop.
    for (int i = 0; i < 4; ++i) buf_[len_ + i] = static_cast<unsigned char>(bytes >> (8 * i));
    len_ += count;
  }
  void Write(const void* data, size_t n) {
    if (n <= kStreamBufferSize - len_) {
      std::memcpy(buf_ + len_, data, n);
      len_ += n;
    } else {
      WriteLong(data, n);
    }
  }
  // Writes out what is buffered; false once any write has failed.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  void WriteLong(const void* data, size_t n);

  FILE* file_;
  size_t len_ = 0;
  bool failed_ = false;
  unsigned char buf_[kStreamBufferSize];
};

}  // namespace plotweave
