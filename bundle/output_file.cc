#include "bundle/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace plotweave {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Offset of the final name in `path`.
size_t NameStart(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    if (IsSeparator(path[i])) start = i + 1;
  }
  return start;
}

int OpenNew(const char* name) {
#ifdef _WIN32
  return _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
  return open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

#ifdef _WIN32
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, info) != 0;
  CloseHandle(h);
  return ok;
}
#endif

}  // namespace

bool DefaultOutputName(const char* page, char (&output)[kPathCapacity]) {
  static const char kInfix[] = ".standalone";
  const size_t n = std::strlen(page);
  const size_t name = NameStart(page);
  size_t dot = n;
  for (size_t i = n; i > name + 1; --i) {
    if (page[i - 1] == '.') {
      dot = i - 1;
      break;
    }
  }
  const char* extension = dot < n ? page + dot : ".htm";
  const size_t extensionSize = std::strlen(extension);
  if (dot + (sizeof kInfix - 1) + extensionSize + 1 > kPathCapacity) return false;
  std::memcpy(output, page, dot);
  std::memcpy(output + dot, kInfix, sizeof kInfix - 1);
  std::memcpy(output + dot + sizeof kInfix - 1, extension, extensionSize + 1);
  return true;
}

bool FolderOf(const char* path, char (&folder)[kPathCapacity]) {
  const size_t start = NameStart(path);
  if (start >= kPathCapacity) return false;
  std::memcpy(folder, path, start);
  folder[start] = '\0';
  return true;
}

bool SameFile(const char* a, const char* b) {
#ifdef _WIN32
  BY_HANDLE_FILE_INFORMATION x;
  BY_HANDLE_FILE_INFORMATION y;
  if (!FileIdentity(a, &x) || !FileIdentity(b, &y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
#else
  struct stat x;
  struct stat y;
  if (stat(a, &x) != 0 || stat(b, &y) != 0) return false;
  return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
#endif
}

TempOutput::~TempOutput() { Discard(); }

bool TempOutput::Create(const char* finalName) {
  const size_t n = std::strlen(finalName);
  if (n + 1 > kPathCapacity) return false;
  std::memcpy(final_, finalName, n + 1);
#ifdef _WIN32
  const long pid = _getpid();
#else
  const long pid = getpid();
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    // "name.part-PID-N" beside the final name, so that the rename stays
    // within one file system.
    const int written = std::snprintf(temp_, sizeof temp_, "%s.part-%ld-%d", finalName, pid, attempt);
    if (written < 0 || static_cast<size_t>(written) >= sizeof temp_) return false;
    const int fd = OpenNew(temp_);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      temp_[0] = '\0';
      return false;
    }
#ifdef _WIN32
    file_ = _fdopen(fd, "wb");
#else
    file_ = fdopen(fd, "wb");
#endif
    if (file_ == nullptr) {
#ifdef _WIN32
      _close(fd);
#else
      close(fd);
#endif
      Discard();
      return false;
    }
    return true;
  }
  temp_[0] = '\0';
  return false;
}

bool TempOutput::Commit() {
  if (file_ == nullptr) return false;
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
#ifndef _WIN32
  // The data on disk before the name: a crash never leaves a short copy under it.
  ok = ok && fsync(fileno(file_)) == 0;
#endif
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
#ifdef _WIN32
  if (ok && MoveFileExA(temp_, final_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    // The C runtime's errno says nothing about a failed system call.
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    ok = false;
  }
#else
  ok = ok && std::rename(temp_, final_) == 0;
#endif
  if (ok) temp_[0] = '\0';
  Discard();
  return ok;
}

void TempOutput::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (temp_[0] != '\0') {
    std::remove(temp_);
    temp_[0] = '\0';
  }
}

}  // namespace plotweave
