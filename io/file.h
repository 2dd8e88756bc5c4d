// Files: opening them under the run's rules, closing them with every failure
// seen, and reading and writing them as byte streams.
#pragma once

#include <cstdio>

#include "io/stream.h"

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

// Lets the stream's reads and writes go straight to the system, for callers
// that move data in blocks through a buffer of their own: stdio's buffer
// would only copy each block once more and split it into several system
// calls. Call it before the first read or write of the stream.
void ReadWriteUnbuffered(FILE* file);

// Owns an open stdio file and closes it when it goes out of scope.
class FileHandle {
 public:
  FileHandle() = default;
  FileHandle(const char* path, const char* mode) { Open(path, mode); }
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Opens path, after closing what the handle held; false when it did not open.
  bool Open(const char* path, const char* mode);
  // Takes over a file opened elsewhere, after closing what the handle held;
  // `writing` when it has been written, so that Close checks the flush.
  void Adopt(FILE* file, bool writing);

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  // Closes now; false when the flush, the close or an earlier read or write
  // failed. The flush is checked on its own: some C runtimes report a close
  // as successful even when the flush inside it failed.
  bool Close();

 private:
  FILE* file_ = nullptr;
  bool writing_ = false;
};

// An open stdio file read as a byte source; the file must outlive it.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(FILE* file) : file_(file) {}
  size_t Read(void* buffer, size_t capacity) override;
  bool Failed() const override;

 private:
  FILE* file_;
};

// An open stdio file written as a byte sink; the file must outlive it.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(FILE* file) : file_(file) {}
  bool Write(const void* data, size_t count) override;

 private:
  FILE* file_;
};

}  // namespace plotweave
