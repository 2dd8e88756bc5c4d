#include "io/file.h"

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

void ReadWriteUnbuffered(FILE* file) { std::setvbuf(file, nullptr, _IONBF, 0); }

bool FileHandle::Open(const char* path, const char* mode) {
  Close();
  file_ = OpenFile(path, mode);
  writing_ = std::strpbrk(mode, "wa+") != nullptr;
  return file_ != nullptr;
}

void FileHandle::Adopt(FILE* file, bool writing) {
  Close();
  file_ = file;
  writing_ = writing;
}

bool FileHandle::Close() {
  if (file_ == nullptr) return true;
  // Only a stream that writes has a flush whose failure means lost data.
  const bool flushed = !writing_ || std::fflush(file_) == 0;
  const bool ok = std::ferror(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return flushed && ok && closed;
}

size_t FileSource::Read(void* buffer, size_t capacity) {
  // The end, once met, is the end: another read would only be a system call
  // that returns nothing.
  if (std::feof(file_)) return 0;
  return std::fread(buffer, 1, capacity, file_);
}

bool FileSource::Failed() const { return std::ferror(file_) != 0; }

bool FileSink::Write(const void* data, size_t count) { return std::fwrite(data, 1, count, file_) == count; }

}  // namespace plotweave
