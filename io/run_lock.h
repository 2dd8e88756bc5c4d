// Keeps the runs of one plan from overlapping.
//
// Runs that share a base name share the scratch file, the intermediate page
// and the page. The lock is an exclusive advisory lock on the plan file
// itself, held on an open handle: it is gone when the handle is closed or the
// process ends, however it ends, no lock file is ever created or left behind,
// and runs of other plans never wait for it.
#pragma once

namespace plotweave {

class PlanLock {
 public:
  enum class Wait { kUntilFree, kNo };

  // Takes the lock of the plan at `path`, waiting for a run that holds it
  // unless told not to. Where no regular file can be opened there is no plan
  // for a run to work on, and no lock is taken.
  PlanLock(const char* path, Wait wait);
  ~PlanLock();
  PlanLock(const PlanLock&) = delete;
  PlanLock& operator=(const PlanLock&) = delete;

  bool held() const { return held_; }

 private:
#ifdef _WIN32
  void* handle_;
#else
  int fd_;
#endif
  bool held_ = false;
};

}  // namespace plotweave
