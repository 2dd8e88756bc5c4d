// Temporary files that go with the process when it is interrupted.
//
// A run that is stopped by SIGINT, SIGTERM or SIGHUP (on Windows Ctrl+C,
// Ctrl+Break and the console's close, logoff and shutdown events) removes the
// files named here before it ends the way it would have ended without them. A
// process that ignores one of these signals keeps ignoring it.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace plotweave {

// Remembers `name` until Forget; -1 when it cannot be remembered (too long,
// or too many at once). Call it right after the file has been created.
int RemoveOnInterrupt(const char* name);

// Holds the interrupts back while it lives, so that no interrupt falls
// between the creation of a file and RemoveOnInterrupt.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
#ifndef _WIN32
  sigset_t before_;  // the signal mask before
#endif
};

// Stops removing the file of `slot` (from RemoveOnInterrupt; -1 is allowed):
// it has been renamed into place or removed. Call it after the rename, so
// that an interrupt never comes at a moment when no one removes the file.
void ForgetOnInterrupt(int slot);

}  // namespace plotweave
