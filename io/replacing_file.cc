#include "io/replacing_file.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "io/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace plotweave {

namespace {

constexpr char kTempSuffix[] = ".tmp";

enum class Target { kReplace, kDevice, kRefused };

// What stands at `path`, through links: nothing or a regular file is
// replaced, a device written in place; anything else is no place for a file.
Target TargetOf(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0 || S_ISREG(st.st_mode)) return Target::kReplace;
  if (S_ISCHR(st.st_mode)) return Target::kDevice;
#ifdef S_ISBLK
  if (S_ISBLK(st.st_mode)) return Target::kDevice;
#endif
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

// Creates the temporary file afresh. What stands at its name (a file an
// interrupted writer left, or a link someone put there) is removed first and
// never written through.
FILE* CreateFresh(const char* temp, const char* mode) {
  std::remove(temp);
#ifdef _WIN32
  return std::fopen(temp, mode);
#else
  // Should something appear at the name in between, the create fails rather
  // than write into it.
  const int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, mode);
  if (file == nullptr) close(fd);
  return file;
#endif
}

bool ReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
  // rename refuses a target that exists on Windows.
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from, to) == 0;
#endif
}

}  // namespace

ReplacingFile::ReplacingFile(const char* path, const char* mode) {
  path_[0] = temp_[0] = '\0';
  if (path[0] == '\0') return;
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
  if (!ResolvedName(path, path_, sizeof path_ - (sizeof kTempSuffix - 1))) return;
  const size_t length = std::strlen(path_);
  std::memcpy(temp_, path_, length);
  std::memcpy(temp_ + length, kTempSuffix, sizeof kTempSuffix);
  file_ = CreateFresh(temp_, mode);
}

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(direct_ ? path_ : temp_);
}

bool ReplacingFile::Commit() {
  if (file_ == nullptr) return false;
  // The Windows C runtime's fclose reports success even when the data it
  // flushes cannot be written; an explicit flush reports the failure.
  bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  if (direct_) {
    if (!written) std::remove(path_);
    return written;
  }
  if (written && ReplaceFile(temp_, path_)) return true;
  std::remove(temp_);
  return false;
}

}  // namespace plotweave
