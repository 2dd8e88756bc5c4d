// Buffered byte input and output for the text files of a run.
//
// Files are opened as byte streams and the one text-stream rule that matters
// here, a CR directly before a LF reads as the LF alone, is applied by
// TextReader itself, so every platform reads a plan and a page the same way.
#pragma once

#include <cstddef>
#include <cstdio>

namespace plotweave {

// Owns an open stdio file and closes it when it goes out of scope.
class FileHandle {
 public:
  FileHandle(const char* path, const char* mode) : file_(std::fopen(path, mode)) {}
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
  void Write(const void* data, size_t n);
  // Writes out what is buffered; false once any write has failed.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  FILE* file_;
  size_t len_ = 0;
  bool failed_ = false;
  unsigned char buf_[kStreamBufferSize];
};

}  // namespace plotweave
