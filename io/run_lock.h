// Keeps the runs of one plan from overlapping.
//
// Runs that share a base name share the scratch file, the intermediate page
// and the page, so the lock is keyed to the base name, folder included, not
// to the plan file: an editor that saves the plan by renaming a new file
// over it must not let a second run in. The lock is an exclusive advisory
// lock on the lock file "BASE.lock", held on an open handle: it is gone when
// the handle is closed or the process ends, however it ends, and runs of
// other plans never wait for it.
//
// The lock file is removed by the run that holds the lock when it ends (or is
// interrupted, see io/interrupt_cleanup.h), so nothing stays on disk. After a run that was killed an empty BASE.lock
// stays until the next run of the plan, which takes it over and removes it.
// A lock file that holds anything (a file of the user's own under that name)
// is locked but never removed. Where no lock file can be used (something
// other than a regular file stands at its name, or the folder may not be
// written) the lock is taken on the folder itself, which keeps every run in
// the folder apart instead.
#pragma once

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace plotweave {

class PlanLock {
 public:
  enum class Wait { kUntilFree, kNo };

  // Takes the lock of the plan with base name `base` (its path without
  // ".lst"), waiting for a run that holds it unless told not to.
  PlanLock(const char* base, Wait wait);
  ~PlanLock();
  PlanLock(const PlanLock&) = delete;
  PlanLock& operator=(const PlanLock&) = delete;

  bool held() const { return held_; }

 private:
#ifdef _WIN32
  void* handle_;
#else
  bool LockFolder(const char* base, Wait wait);
  // Takes the lock file on `fd`, locked, as the run's lock if it is still
  // under its name.
  bool Claim(int fd, const struct stat& locked);

  int fd_ = -1;
  bool removes_ = false;  // the lock file is ours to remove
  int interruptSlot_ = -1;
#endif
  bool held_ = false;
  char name_[4096 + 8];
};

}  // namespace plotweave
