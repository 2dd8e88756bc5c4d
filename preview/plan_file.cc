#include "preview/plan_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace plotweave {

#ifdef _WIN32

namespace {
uint64_t Ticks(const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }
}  // namespace

PlanStamp StampPlan(const char* path) {
  PlanStamp stamp;
  // Opened for nothing but its attributes, shared every way, so that the
  // editor's save is never held up.
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return stamp;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info)) {
    stamp.present = true;
    stamp.regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileType(h) == FILE_TYPE_DISK;
    stamp.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.modified = Ticks(info.ftLastWriteTime);
    stamp.file = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  }
  CloseHandle(h);
  return stamp;
}

PlanRead ReadPlanFile(const char* path, unsigned char* buffer, size_t capacity, size_t* size) {
  const int fd = _open(path, _O_RDONLY | _O_BINARY);
  if (fd < 0) return errno == ENOENT ? PlanRead::kMissing : PlanRead::kFailed;
  struct _stat64 st;
  if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG ||
      GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
    _close(fd);
    return PlanRead::kNotAFile;
  }
  size_t used = 0;
  for (;;) {
    const unsigned room = capacity - used > (1u << 20) ? (1u << 20) : static_cast<unsigned>(capacity - used);
    if (room == 0) {
      unsigned char probe;
      const int more = _read(fd, &probe, 1);
      _close(fd);
      return more == 0 ? (*size = used, PlanRead::kRead) : PlanRead::kTooLarge;
    }
    const int n = _read(fd, buffer + used, room);
    if (n < 0) {
      _close(fd);
      return PlanRead::kFailed;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  _close(fd);
  *size = used;
  return PlanRead::kRead;
}

#else

namespace {
uint64_t Nanoseconds(const struct timespec& t) {
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}
}  // namespace

PlanStamp StampPlan(const char* path) {
  PlanStamp stamp;
  struct stat st;
  if (stat(path, &st) != 0) return stamp;
  stamp.present = true;
  stamp.regular = S_ISREG(st.st_mode);
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.modified = Nanoseconds(st.st_mtim);
  stamp.changed = Nanoseconds(st.st_ctim);
  stamp.file = static_cast<uint64_t>(st.st_ino) ^ (static_cast<uint64_t>(st.st_dev) << 40);
  return stamp;
}

PlanRead ReadPlanFile(const char* path, unsigned char* buffer, size_t capacity, size_t* size) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? PlanRead::kMissing : PlanRead::kFailed;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return PlanRead::kNotAFile;
  }
  size_t used = 0;
  for (;;) {
    if (used == capacity) {
      unsigned char probe;
      const ssize_t more = read(fd, &probe, 1);
      close(fd);
      if (more != 0) return PlanRead::kTooLarge;
      *size = used;
      return PlanRead::kRead;
    }
    const ssize_t n = read(fd, buffer + used, capacity - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return PlanRead::kFailed;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  close(fd);
  *size = used;
  return PlanRead::kRead;
}

#endif

}  // namespace plotweave
