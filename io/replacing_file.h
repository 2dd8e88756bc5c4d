// A file that takes the place of another only once it is whole.
//
// It is written under a temporary name in the same folder (the name followed
// by ".tmp") and renamed over the name it is for when it has been flushed and
// closed, both checked. Until then, and for good when any step fails, the
// name keeps what it held before: an earlier file byte for byte, or nothing.
// A name that is a symbolic link is replaced where the link leads, so the
// link stays. A name that leads to a device cannot be replaced: the device is
// written directly, and the name is removed when that fails.
//
// The temporary name is fixed, so whatever an interrupted writer left there
// is taken over by the next; writers of one name must therefore exclude each
// other (a run holds its plan's lock).
#pragma once

#include <cstdio>

namespace plotweave {

class ReplacingFile {
 public:
  // Creates the temporary file for `path` with `mode` ("wb" or "wt"). Nothing
  // is created when `path` leads to a directory, a FIFO or a socket.
  ReplacingFile(const char* path, const char* mode);
  // A file that was not committed is closed and removed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

  // Flushes and closes the file and puts it in place. False when any step
  // failed; the temporary file is then removed and the name is as it was.
  bool Commit();

 private:
  void Discard();

  // Room for a link's whole target and the suffix.
  static constexpr int kNameBuffer = 4096 + 8;
  char path_[kNameBuffer];
  char temp_[kNameBuffer];
  FILE* file_ = nullptr;
  bool direct_ = false;  // a device, written in place
};

}  // namespace plotweave
