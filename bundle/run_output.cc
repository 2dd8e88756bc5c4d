#include "bundle/run_output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "io/write_target.h"

namespace plotweave {

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
  const OpenFileLink named = OpenFileLinkBehind(name);
  if (named.fd >= 0) {
    OpenInPlace(dup(named.fd), true);
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
