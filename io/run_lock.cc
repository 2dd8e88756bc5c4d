#include "io/run_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace plotweave {

#ifdef _WIN32

// Windows byte-range locks are binding for reads, so the lock covers one byte
// far beyond the end of any plan: readers of the plan never meet it.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

PlanLock::PlanLock(const char* path, Wait wait) : handle_(INVALID_HANDLE_VALUE) {
  // Sharing everything: the lock must not stop anyone from opening, changing
  // or replacing the plan.
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  handle_ = h;
  if (GetFileType(h) != FILE_TYPE_DISK) return;
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  DWORD flags = LOCKFILE_EXCLUSIVE_LOCK;
  if (wait == Wait::kNo) flags |= LOCKFILE_FAIL_IMMEDIATELY;
  held_ = LockFileEx(h, flags, 0, 1, 0, &where) != 0;
}

PlanLock::~PlanLock() {
  // Closing the handle releases the lock.
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(static_cast<HANDLE>(handle_));
}

#else

PlanLock::PlanLock(const char* path, Wait wait) : fd_(-1) {
  // Non-blocking, so that a FIFO put where the plan should be does not hold
  // the open; it is not locked, and the run refuses it later.
  fd_ = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) return;
  struct stat st;
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return;
  // flock rather than fcntl locks: a fcntl lock ends when the process closes
  // any handle of the file, and the run opens and closes the plan to read it.
  const int operation = LOCK_EX | (wait == Wait::kNo ? LOCK_NB : 0);
  int r;
  do {
    r = flock(fd_, operation);
  } while (r != 0 && errno == EINTR);
  held_ = r == 0;
}

PlanLock::~PlanLock() {
  if (fd_ >= 0) close(fd_);
}

#endif

}  // namespace plotweave
