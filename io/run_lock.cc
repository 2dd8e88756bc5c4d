#include "io/run_lock.h"

#include <cstdio>

#include "io/interrupt_cleanup.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif

namespace plotweave {

namespace {

constexpr char kLockSuffix[] = ".lock";
// A run that finds the lock file gone once it holds it (its holder removed
// it on the way out) opens the new one; after this many the name is taken
// to be contested and the folder locked instead.
constexpr int kAttempts = 1000;

bool LockName(const char* base, char* name, size_t capacity) {
  const int length = std::snprintf(name, capacity, "%s%s", base, kLockSuffix);
  return length >= 0 && static_cast<size_t>(length) < capacity;
}

}  // namespace

#ifdef _WIN32

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the lock file: a new one is deleted once the last run that opened it
// closes it, however that run ends; one that was there before (nothing a run
// leaves behind) is only opened. INVALID_HANDLE_VALUE for a moment while the
// file is being deleted, and `lasting` when no lock file can be opened at all.
HANDLE OpenLockFile(const char* name, bool* lasting) {
  *lasting = false;
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h != INVALID_HANDLE_VALUE) return h;
  if (GetLastError() == ERROR_FILE_EXISTS) {
    h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) return h;
  }
  // A file whose deletion is pending refuses every open until it is gone;
  // without a file there, the refusal is the folder's and lasts.
  const DWORD error = GetLastError();
  const bool pending = (error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND) &&
                       GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
  *lasting = !pending && error != ERROR_FILE_NOT_FOUND;
  return INVALID_HANDLE_VALUE;
}

bool LockHandle(HANDLE h, PlanLock::Wait wait) {
  OVERLAPPED where{};
  DWORD flags = LOCKFILE_EXCLUSIVE_LOCK;
  if (wait == PlanLock::Wait::kNo) flags |= LOCKFILE_FAIL_IMMEDIATELY;
  return LockFileEx(h, flags, 0, 1, 0, &where) != 0;
}

}  // namespace

PlanLock::PlanLock(const char* base, Wait wait) : handle_(INVALID_HANDLE_VALUE) {
  if (!LockName(base, name_, sizeof name_)) return;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    bool lasting = false;
    HANDLE h = OpenLockFile(name_, &lasting);
    if (h == INVALID_HANDLE_VALUE) {
      if (lasting) return;
      Sleep(1);
      continue;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || GetFileInformationByHandle(h, &info) == 0 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      CloseHandle(h);
      return;
    }
    handle_ = h;
    held_ = LockHandle(h, wait);
    return;
  }
}

PlanLock::~PlanLock() {
  // Closing the handle releases the lock (and deletes a new lock file once
  // no run has it open).
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(static_cast<HANDLE>(handle_));
}

#else

namespace {

// Takes the lock on `fd`; false when it is held elsewhere and the caller
// does not wait.
bool Flock(int fd, PlanLock::Wait wait) {
  const int operation = LOCK_EX | (wait == PlanLock::Wait::kNo ? LOCK_NB : 0);
  int r;
  do {
    r = flock(fd, operation);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Opens the lock file, creating it if need be: neither a device nor a FIFO
// is ever opened, and no link followed. -1 when something else stands there.
int OpenLockFile(const char* name, struct stat* st) {
  if (lstat(name, st) == 0 && !S_ISREG(st->st_mode)) return -1;
  const int fd = open(name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

PlanLock::PlanLock(const char* base, Wait wait) {
  if (!LockName(base, name_, sizeof name_)) {
    held_ = LockFolder(base, wait);
    return;
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // Interrupts wait while the run may have made a lock file it does not
    // know it holds yet, so that none outlives one; not while the run waits.
    struct stat st;
    int fd;
    bool free;
    {
      const InterruptsHeld held;
      fd = OpenLockFile(name_, &st);
      if (fd < 0) break;
      free = Flock(fd, Wait::kNo);
      if (free && Claim(fd, st)) return;
    }
    if (!free) {
      if (wait == Wait::kNo || !Flock(fd, Wait::kUntilFree)) {
        close(fd);
        return;
      }
      const InterruptsHeld held;
      if (Claim(fd, st)) return;
    }
    close(fd);
  }
  held_ = LockFolder(base, wait);
}

bool PlanLock::Claim(int fd, const struct stat& locked) {
  // The lock counts only while the name still leads to the file locked: the
  // run that held it before removes the name before it lets go.
  struct stat now;
  if (lstat(name_, &now) != 0 || !SameFile(now, locked)) return false;
  fd_ = fd;
  held_ = true;
  // Only an empty file, as runs leave it, is the program's own.
  removes_ = locked.st_size == 0;
  if (removes_) interruptSlot_ = RemoveOnInterrupt(name_);
  return true;
}

bool PlanLock::LockFolder(const char* base, Wait wait) {
  // The folder of the base name: everything up to its last '/'.
  char folder[sizeof name_];
  const char* slash = std::strrchr(base, '/');
  const size_t length = slash != nullptr ? static_cast<size_t>(slash - base) + 1 : 0;
  if (length > 0 && length < sizeof folder) {
    std::memcpy(folder, base, length);
    folder[length] = '\0';
  } else {
    std::memcpy(folder, ".", 2);
  }
  fd_ = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0 && Flock(fd_, wait);
}

PlanLock::~PlanLock() {
  if (fd_ < 0) return;
  // Removed while still held, so that no run locks a file that is no longer
  // under the name.
  struct stat st;
  struct stat now;
  if (removes_ && fstat(fd_, &st) == 0 && st.st_size == 0 && lstat(name_, &now) == 0 && SameFile(now, st)) {
    unlink(name_);
  }
  ForgetOnInterrupt(interruptSlot_);
  close(fd_);
}

#endif

}  // namespace plotweave
