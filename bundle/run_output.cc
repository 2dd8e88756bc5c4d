#include "bundle/run_output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace plotweave {

namespace {

#ifndef _WIN32
// The descriptor N when `name` is "/dev/fd/N", "/proc/self/fd/N" or
// "/proc/PID/fd/N" with this process's PID, or /dev/stdin, /dev/stdout or
// /dev/stderr; -1 otherwise.
int DescriptorNamed(const char* name) {
  static const struct {
    const char* name;
    int fd;
  } kStandard[] = {{"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}};
  for (const auto& standard : kStandard) {
    if (std::strcmp(name, standard.name) == 0) return standard.fd;
  }
  char own[48];
  std::snprintf(own, sizeof own, "/proc/%ld/fd/", static_cast<long>(getpid()));
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/", static_cast<const char*>(own)}) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(name, prefix, n) != 0) continue;
    const char* digits = name + n;
    if (*digits < '0' || *digits > '9' || std::strlen(digits) > 9) return -1;
    char* end = nullptr;
    const long fd = std::strtol(digits, &end, 10);
    return *end == '\0' ? static_cast<int>(fd) : -1;
  }
  return -1;
}

// The descriptor that `name` or the links it leads through name, or -1. The
// names of descriptors are themselves links that lead to what the
// descriptor has open (a file, a pipe), so they are looked for by name
// before anything is resolved.
int DescriptorBehind(const char* name) {
  char current[4096];
  char target[4096];
  if (std::strlen(name) >= sizeof current) return -1;
  std::strcpy(current, name);
  for (int hop = 0; hop < 16; ++hop) {
    const int fd = DescriptorNamed(current);
    if (fd >= 0) return fd;
    const ssize_t n = readlink(current, target, sizeof target - 1);
    if (n <= 0) return -1;
    target[n] = '\0';
    // A relative target counts from the link's own folder.
    const char* slash = std::strrchr(current, '/');
    const size_t folder = target[0] == '/' || slash == nullptr ? 0 : static_cast<size_t>(slash - current) + 1;
    if (folder + static_cast<size_t>(n) >= sizeof current) return -1;
    std::memmove(current + folder, target, static_cast<size_t>(n) + 1);
  }
  return -1;
}
#endif

}  // namespace

bool LimitedSink::Write(const void* data, size_t count) {
  if (count > room_) {
    exceeded_ = true;
    return false;
  }
  room_ -= count;
  return inner_->Write(data, count);
}

CopyDestination::CopyDestination(const char* name, FILE* out) {
  if (std::strcmp(name, "-") == 0) {
#ifdef _WIN32
    // The copy's line ends are the page's own.
    _setmode(_fileno(out), _O_BINARY);
#endif
    Use(out, false);
    return;
  }
#ifndef _WIN32
  // What the descriptor has open is written at its own position, so that
  // "-o /dev/stdout >> log" appends to the log as ">>" says.
  const int named = DescriptorBehind(name);
  if (named >= 0) {
    OpenInPlace(dup(named), true);
    return;
  }
#endif
  struct stat st;
  if (stat(name, &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return;
    }
    // Neither created nor emptied: a device or FIFO takes the bytes as they come.
#ifdef _WIN32
    OpenInPlace(_open(name, _O_WRONLY | _O_BINARY), false);
#else
    OpenInPlace(open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC), false);
#endif
    // A regular file that took the name meanwhile is replaced as any other.
    if (opened() || errno != EEXIST) return;
  }
  // Bundling takes no lock, so two runs for one copy each write a temporary
  // file of their own; the last to finish leaves a whole copy.
  replacing_.emplace(name, "wb", TempName::kUnique);
  if (!*replacing_) return;
  Use(replacing_->get(), true);
}

CopyDestination::~CopyDestination() {
  if (own_ != nullptr) std::fclose(own_);
}

void CopyDestination::OpenInPlace(int fd, bool regularToo) {
  if (fd < 0) return;
  struct stat st;
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (S_ISREG(st.st_mode) && !regularToo) {
    error = EEXIST;
  } else {
#ifdef _WIN32
    own_ = _fdopen(fd, "wb");
#else
    own_ = fdopen(fd, "wb");
#endif
    if (own_ != nullptr) {
      Use(own_, true);
      return;
    }
    error = errno;
  }
#ifdef _WIN32
  _close(fd);
#else
  close(fd);
#endif
  errno = error;
}

void CopyDestination::Use(FILE* stream, bool ownBuffer) {
  stream_ = stream;
  // The copy comes in large blocks: a buffer of the stream's own would only
  // copy each once more. One handed in keeps the buffering it has.
  if (ownBuffer) ReadWriteUnbuffered(stream);
  sink_.emplace(stream);
}

bool CopyDestination::Commit() {
  if (!sink_) return false;
  if (replacing_) return replacing_->Commit();
  bool ok = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
  int error = ok ? 0 : errno;
  if (own_ != nullptr) {
    if (std::fclose(own_) != 0 && ok) {
      ok = false;
      error = errno;
    }
    own_ = nullptr;
  }
  if (!ok) errno = error != 0 ? error : EIO;
  return ok;
}

}  // namespace plotweave
