#include "io/replacing_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "io/interrupt_cleanup.h"
#include "io/part_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace plotweave {

namespace {

constexpr char kTempSuffix[] = ".tmp";
// ".part-" and two numbers: the process and the attempt.
constexpr size_t kLongestSuffix = 40;

// Opens what is written in place, as it is: never truncated, never created.
FILE* OpenInPlace(const char* path, const char* mode, bool append) {
#ifdef _WIN32
  (void)append;
  return std::fopen(path, mode);
#else
  (void)mode;
  const int fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0));
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, append ? "a" : "w");
  if (file == nullptr) close(fd);
  return file;
#endif
}

// The fixed temporary name, created fresh.
FILE* CreateFixed(const char* path, char* temp, const char* mode) {
  const size_t length = std::strlen(path);
  std::memcpy(temp, path, length);
  std::memcpy(temp + length, kTempSuffix, sizeof kTempSuffix);
  return CreateFreshFile(temp, mode);
}

// The data on disk before the name, so that a crash between the two never
// leaves a short file under it.
bool SyncToDisk(FILE* file) {
#ifdef _WIN32
  // The rename writes through instead; flushing every file to the disk is
  // slow there, and what matters is that the rename is not reordered.
  (void)file;
  return true;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool SomethingStandsAt(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool ReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
  // rename refuses a target that exists on Windows.
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return true;
  // The C runtime's errno says nothing about a failed system call.
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return false;
#else
  return std::rename(from, to) == 0;
#endif
}

}  // namespace

ReplacingFile::ReplacingFile(const char* path, const char* mode, TempName temp) {
  path_[0] = temp_[0] = '\0';
  if (path[0] == '\0') {
    errno = ENOENT;
    return;
  }
  const WriteTarget target = ExamineWriteTarget(path, path_, sizeof path_ - kLongestSuffix);
  switch (target) {
    case WriteTarget::kRefused:
      return;
    case WriteTarget::kInPlace:
    case WriteTarget::kInPlaceAppend:
      direct_ = true;
      file_ = OpenInPlace(path, mode, target == WriteTarget::kInPlaceAppend);
      return;
    case WriteTarget::kReplace:
      break;
  }
  const InterruptsHeld held;
  if (temp == TempName::kUnique) {
    RemoveDeadWritersParts(path_);
    file_ = CreatePartFile(path_, temp_, sizeof temp_, mode);
  } else {
    file_ = CreateFixed(path_, temp_, mode);
  }
  if (file_ == nullptr) return;
  identity_.Take(file_);
  interruptSlot_ = RemoveOnInterrupt(temp_);
}

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::RemoveTemp() {
  identity_.RemoveName(temp_);
  ForgetOnInterrupt(interruptSlot_);
  interruptSlot_ = -1;
}

void ReplacingFile::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  // What is written in place was never the run's to remove.
  if (!direct_) RemoveTemp();
}

bool ReplacingFile::Commit() {
  if (file_ == nullptr) return false;
  // The Windows C runtime's fclose reports success even when the data it
  // flushes cannot be written; an explicit flush reports the failure.
  bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  // The sync guards the file the rename gives up: with one there, a crash
  // must find either it or the whole new one. A name with nothing under it
  // loses nothing, and its new file is as safe as any file written, so it is
  // not made to wait for the disk. What is written in place has no earlier
  // file to keep.
  if (!direct_ && SomethingStandsAt(path_)) written = written && SyncToDisk(file_);
  // errno tells the first failure, not a later one it caused.
  int error = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (written && !closed) error = errno;
  written = written && closed;
  if (!written) errno = error;
  if (direct_) return written;
  if (written && ReplaceFile(temp_, path_)) {
    ForgetOnInterrupt(interruptSlot_);
    interruptSlot_ = -1;
    return true;
  }
  RemoveTemp();
  return false;
}

}  // namespace plotweave
