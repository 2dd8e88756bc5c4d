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
// Where a file stood under the name, the data reach the disk before the
// rename, so a crash never trades that file for a short one.
//
// The temporary name is fixed by default, so whatever an interrupted writer
// left there is taken over by the next; writers of one name must then
// exclude each other (a run holds its plan's lock). Writers that hold no
// lock ask for a unique temporary name instead (the name followed by
// ".part-PID-N", created only where nothing stands), so that two of them at
// once never write into one file.
#pragma once

#include <cstdio>

namespace plotweave {

enum class TempName { kFixed, kUnique };

class ReplacingFile {
 public:
  // Creates the temporary file for `path` with `mode` ("wb" or "wt"). Nothing
  // is created when `path` leads to a directory, a FIFO or a socket; errno
  // tells why nothing was created.
  ReplacingFile(const char* path, const char* mode, TempName temp = TempName::kFixed);
  // A file that was not committed is closed and removed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

  // Flushes and closes the file and puts it in place. False when any step
  // failed; the temporary file is then removed, the name is as it was, and
  // errno tells what failed.
  bool Commit();

 private:
  void Discard();

  // Room for a link's whole target and the longest suffix.
  static constexpr int kNameBuffer = 4096 + 48;
  char path_[kNameBuffer];
  char temp_[kNameBuffer];
  FILE* file_ = nullptr;
  bool direct_ = false;  // a device, written in place
};

}  // namespace plotweave
