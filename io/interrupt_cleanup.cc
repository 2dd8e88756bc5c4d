#include "io/interrupt_cleanup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace plotweave {

namespace {

// A run has at most its temporary page, scratch file and intermediate page
// at once.
constexpr int kSlots = 8;
constexpr int kLongestName = 4096 + 64;

// Read by the handler: each name is whole before its flag is set, and the
// flag is cleared before the slot is reused.
char gNames[kSlots][kLongestName];
volatile std::sig_atomic_t gUsed[kSlots];
volatile std::sig_atomic_t gInstalled = 0;

void RemoveRemembered() {
  for (int i = 0; i < kSlots; ++i) {
    if (gUsed[i] == 0) continue;
#ifdef _WIN32
    // The file was opened to be shared with deletion: it goes when the
    // process closes it on its way out.
    DeleteFileA(gNames[i]);
#else
    unlink(gNames[i]);
#endif
  }
}

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD) {
  RemoveRemembered();
  // Not handled: the next handler, in the end the system's, ends the process.
  return FALSE;
}

void Install() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

#else

void OnSignal(int signal) {
  const int error = errno;
  RemoveRemembered();
  errno = error;
  // The handler was reset to the default on entry (SA_RESETHAND); the signal
  // raised here is delivered once the handler returns and ends the process
  // as it would have ended.
  raise(signal);
}

void Install() {
  static const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  for (const int signal : kSignals) {
    struct sigaction now;
    if (sigaction(signal, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

#endif

}  // namespace

int RemoveOnInterrupt(const char* name) {
  const size_t length = std::strlen(name);
  if (length >= static_cast<size_t>(kLongestName)) return -1;
  if (gInstalled == 0) {
    Install();
    gInstalled = 1;
  }
  for (int i = 0; i < kSlots; ++i) {
    if (gUsed[i] != 0) continue;
    std::memcpy(gNames[i], name, length + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gUsed[i] = 1;
    return i;
  }
  return -1;
}

#ifdef _WIN32

// The console's events come on a thread of their own and cannot be held
// back; the moment between a creation and its RemoveOnInterrupt is short.
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;

#else

InterruptsHeld::InterruptsHeld() {
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  sigaddset(&held, SIGHUP);
  sigprocmask(SIG_BLOCK, &held, &before_);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }

#endif

void ForgetOnInterrupt(int slot) {
  if (slot >= 0 && slot < kSlots) gUsed[slot] = 0;
}

}  // namespace plotweave
