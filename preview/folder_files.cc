#include "preview/folder_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif
#endif

namespace plotweave {

namespace {
bool gStepByStep = false;
}  // namespace

void OpenStepByStep(bool on) { gStepByStep = on; }

// A ".." step or a leading separator would leave the folder, whatever the
// caller checked before.
bool LeavesFolder(const char* relative) {
  if (relative[0] == '/' || relative[0] == '\\' || relative[0] == '\0') return true;
  for (const char* p = relative; *p != '\0';) {
    const char* end = p;
    while (*end != '\0' && *end != '/' && *end != '\\') ++end;
    if (end - p == 2 && p[0] == '.' && p[1] == '.') return true;
    if (*end == '\0') break;
    p = end + 1;
  }
  return false;
}

#ifdef _WIN32

OpenedFile::~OpenedFile() {
  if (fd >= 0) _close(fd);
}

long OpenedFile::Read(void* buffer, size_t capacity) {
  const unsigned n = capacity > (1u << 20) ? (1u << 20) : static_cast<unsigned>(capacity);
  return _read(fd, buffer, n);
}

ServedFile OpenRegular(int fd, OpenedFile* file) {
  struct _stat64 st;
  if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG ||
      GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
    _close(fd);
    return ServedFile::kNotAFile;
  }
  file->fd = fd;
  file->size_ = static_cast<unsigned long long>(st.st_size);
  return ServedFile::kOpened;
}

ServedFile OpenServedFile(const char* path, OpenedFile* file) {
  const int fd = _open(path, _O_RDONLY | _O_BINARY);
  if (fd < 0) return errno == ENOENT ? ServedFile::kMissing : ServedFile::kFailed;
  return OpenRegular(fd, file);
}

namespace {
size_t FinalPath(HANDLE h, char* out, size_t width) {
  const DWORD n = GetFinalPathNameByHandleA(h, out, static_cast<DWORD>(width), FILE_NAME_NORMALIZED);
  return n > 0 && n < width ? n : 0;
}
}  // namespace

PlanFolder::PlanFolder(const char* folder) {
  const char* name = folder[0] != '\0' ? folder : ".";
  if (std::strlen(name) + 1 > sizeof folder_) return;
  std::memcpy(folder_, name, std::strlen(name) + 1);
  HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  finalSize_ = FinalPath(h, final_, sizeof final_);
  CloseHandle(h);
}

PlanFolder::~PlanFolder() = default;

bool PlanFolder::ok() const { return finalSize_ > 0; }

ServedFile PlanFolder::Open(const char* relative, OpenedFile* file) const {
  if (!ok()) return ServedFile::kFailed;
  if (LeavesFolder(relative)) return ServedFile::kOutside;
  char path[4096 * 2];
  const size_t a = std::strlen(folder_);
  const size_t b = std::strlen(relative);
  if (a + 1 + b + 1 > sizeof path) return ServedFile::kMissing;
  std::memcpy(path, folder_, a);
  path[a] = '\\';
  std::memcpy(path + a + 1, relative, b + 1);
  const int fd = _open(path, _O_RDONLY | _O_BINARY);
  if (fd < 0) return errno == ENOENT ? ServedFile::kMissing : ServedFile::kFailed;
  // The file actually opened must lie below the folder, whatever links or
  // junctions the path went through.
  char final[4096];
  const size_t n = FinalPath(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), final, sizeof final);
  if (n <= finalSize_ + 1 || _strnicmp(final, final_, finalSize_) != 0 || final[finalSize_] != '\\') {
    _close(fd);
    return ServedFile::kOutside;
  }
  return OpenRegular(fd, file);
}

#else

OpenedFile::~OpenedFile() {
  if (fd >= 0) close(fd);
}

long OpenedFile::Read(void* buffer, size_t capacity) {
  for (;;) {
    const ssize_t n = read(fd, buffer, capacity);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

ServedFile OpenRegular(int fd, OpenedFile* file) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return ServedFile::kNotAFile;
  }
  file->fd = fd;
  file->size_ = static_cast<unsigned long long>(st.st_size);
  return ServedFile::kOpened;
}

namespace {

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

ServedFile WhyNot(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ServedFile::kMissing;
    case ELOOP:
    case EXDEV:
      return ServedFile::kOutside;
    default:
      return ServedFile::kFailed;
  }
}

// One name after another, never following a link: O_NOFOLLOW refuses a link
// as the last name, and each folder on the way is opened the same way.
int OpenStepwise(int folder, const char* relative) {
  char name[4096];
  int at = folder;
  const char* p = relative;
  for (;;) {
    const char* slash = std::strchr(p, '/');
    const size_t n = slash != nullptr ? static_cast<size_t>(slash - p) : std::strlen(p);
    if (n >= sizeof name) {
      errno = ENAMETOOLONG;
      break;
    }
    std::memcpy(name, p, n);
    name[n] = '\0';
    const bool last = slash == nullptr;
    const int next = n == 0 || (n == 1 && name[0] == '.')
                         ? dup(at)
                         : openat(at, name, (last ? kReadFlags : O_RDONLY | O_DIRECTORY | O_CLOEXEC) | O_NOFOLLOW);
    int error = errno;
    // A link to a folder fails as "not a folder"; it is a way out all the same.
    struct stat st;
    if (next < 0 && error == ENOTDIR && fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
      error = ELOOP;
    }
    if (at != folder) close(at);
    if (next < 0) {
      errno = error;
      return -1;
    }
    if (last) return next;
    at = next;
    p = slash + 1;
  }
  if (at != folder) close(at);
  return -1;
}

int OpenBeneath(int folder, const char* relative) {
#if defined(__linux__) && defined(SYS_openat2) && defined(RESOLVE_BENEATH)
  if (!gStepByStep) {
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = kReadFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const int fd = static_cast<int>(syscall(SYS_openat2, folder, relative, &how, sizeof how));
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
  }
#endif
  return OpenStepwise(folder, relative);
}

}  // namespace

ServedFile OpenServedFile(const char* path, OpenedFile* file) {
  const int fd = open(path, kReadFlags);
  if (fd < 0) return WhyNot(errno);
  return OpenRegular(fd, file);
}

PlanFolder::PlanFolder(const char* folder) {
  fd_ = open(folder[0] != '\0' ? folder : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

PlanFolder::~PlanFolder() {
  if (fd_ >= 0) close(fd_);
}

bool PlanFolder::ok() const { return fd_ >= 0; }

ServedFile PlanFolder::Open(const char* relative, OpenedFile* file) const {
  if (fd_ < 0) return ServedFile::kFailed;
  if (LeavesFolder(relative)) return ServedFile::kOutside;
  const int fd = OpenBeneath(fd_, relative);
  if (fd < 0) return WhyNot(errno);
  return OpenRegular(fd, file);
}

#endif

}  // namespace plotweave
