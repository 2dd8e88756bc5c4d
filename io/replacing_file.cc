#include "io/replacing_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "io/file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
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
constexpr int kUniqueAttempts = 100;

enum class Target { kReplace, kDevice, kRefused };

// What stands at `path`, through links: nothing or a regular file is
// replaced, a device written in place; anything else is no place for a file
// (errno says so).
Target TargetOf(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0 || S_ISREG(st.st_mode)) return Target::kReplace;
  if (S_ISCHR(st.st_mode)) return Target::kDevice;
#ifdef S_ISBLK
  if (S_ISBLK(st.st_mode)) return Target::kDevice;
#endif
  errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  return Target::kRefused;
}

// Copies `path` into `out` (`capacity` bytes), or where it leads when it is a
// symbolic link, so that the link stays and the file it names is replaced. A
// link to nothing yet names the file to create, beside its own folder when
// it is relative. False when the name does not fit.
bool ResolvedName(const char* path, char* out, size_t capacity) {
#ifndef _WIN32
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    // realpath writes at most PATH_MAX bytes.
    if (capacity > PATH_MAX && realpath(path, out) != nullptr) return true;
    const char* slash = std::strrchr(path, '/');
    const size_t folder = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
    if (folder >= capacity) return false;
    const ssize_t length = readlink(path, out + folder, capacity - folder - 1);
    if (length < 0 || static_cast<size_t>(length) >= capacity - folder - 1) return false;
    out[folder + static_cast<size_t>(length)] = '\0';
    if (out[folder] == '/') {
      std::memmove(out, out + folder, static_cast<size_t>(length) + 1);
    } else {
      std::memcpy(out, path, folder);
    }
    return true;
  }
#endif
  const size_t length = std::strlen(path);
  if (length + 1 > capacity) return false;
  std::memcpy(out, path, length + 1);
  return true;
}

// Creates `name` only where nothing stands, so that nothing that appears
// there (another writer's file, a link) is ever written into.
FILE* CreateNew(const char* name, const char* mode) {
#ifdef _WIN32
  const int translation = std::strchr(mode, 't') != nullptr ? _O_TEXT : _O_BINARY;
  const int fd = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | translation, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FILE* file = _fdopen(fd, mode);
  if (file == nullptr) _close(fd);
#else
  const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, mode);
  if (file == nullptr) close(fd);
#endif
  return file;
}

// The fixed temporary name, created afresh: what stands there (a file an
// interrupted writer left, or a link someone put there) is removed first.
FILE* CreateFixed(const char* path, char* temp, const char* mode) {
  const size_t length = std::strlen(path);
  std::memcpy(temp, path, length);
  std::memcpy(temp + length, kTempSuffix, sizeof kTempSuffix);
  std::remove(temp);
  return CreateNew(temp, mode);
}

// A temporary name no other writer uses: what stands at a name is left
// alone and the next one tried.
FILE* CreateUnique(const char* path, char* temp, size_t capacity, const char* mode) {
#ifdef _WIN32
  const long pid = _getpid();
#else
  const long pid = getpid();
#endif
  for (int attempt = 0; attempt < kUniqueAttempts; ++attempt) {
    const int written = std::snprintf(temp, capacity, "%s.part-%ld-%d", path, pid, attempt);
    if (written < 0 || static_cast<size_t>(written) >= capacity) break;
    FILE* file = CreateNew(temp, mode);
    if (file != nullptr || errno != EEXIST) return file;
  }
  temp[0] = '\0';
  errno = EEXIST;
  return nullptr;
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

// Removes `name` and keeps errno as the failure that led here left it.
void RemoveKeepingError(const char* name) {
  const int error = errno;
  std::remove(name);
  errno = error;
}

}  // namespace

ReplacingFile::ReplacingFile(const char* path, const char* mode, TempName temp) {
  path_[0] = temp_[0] = '\0';
  if (path[0] == '\0') {
    errno = ENOENT;
    return;
  }
  switch (TargetOf(path)) {
    case Target::kRefused:
      return;
    case Target::kDevice: {
      const size_t length = std::strlen(path);
      if (length + 1 > sizeof path_) return;
      std::memcpy(path_, path, length + 1);
      direct_ = true;
      file_ = OpenFile(path_, mode);
      return;
    }
    case Target::kReplace:
      break;
  }
  if (!ResolvedName(path, path_, sizeof path_ - kLongestSuffix)) {
    errno = ENAMETOOLONG;
    return;
  }
  file_ = temp == TempName::kUnique ? CreateUnique(path_, temp_, sizeof temp_, mode) : CreateFixed(path_, temp_, mode);
}

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  RemoveKeepingError(direct_ ? path_ : temp_);
}

bool ReplacingFile::Commit() {
  if (file_ == nullptr) return false;
  // The Windows C runtime's fclose reports success even when the data it
  // flushes cannot be written; an explicit flush reports the failure.
  bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  // The sync guards the file the rename gives up: with one there, a crash
  // must find either it or the whole new one. A name with nothing under it
  // loses nothing, and its new file is as safe as any file written, so it is
  // not made to wait for the disk. A device has no data of its own to keep.
  if (!direct_ && SomethingStandsAt(path_)) written = written && SyncToDisk(file_);
  // errno tells the first failure, not a later one it caused.
  int error = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (written && !closed) error = errno;
  written = written && closed;
  if (!written) errno = error;
  if (direct_) {
    if (!written) RemoveKeepingError(path_);
    return written;
  }
  if (written && ReplaceFile(temp_, path_)) return true;
  RemoveKeepingError(temp_);
  return false;
}

}  // namespace plotweave
