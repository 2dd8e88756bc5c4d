// A file that takes the place of another only once it is whole.
//
// It is written under a temporary name in the same folder (the name followed
// by ".tmp") and renamed over the name it is for when it has been flushed and
// closed, both checked. Until then, and for good when any step fails, the
// name keeps what it held before: an earlier file byte for byte, or nothing.
// The temporary file is created fresh, never through a link or into a device
// (see io/work_file.h), and only it is ever removed.
//
// A name that is a symbolic link is replaced where the link leads, so the
// link stays, but only a link of the user who runs the program or of the
// owner of the folder it stands in (the rule the kernel applies to links in
// shared sticky folders): another's link is refused with EACCES and what it
// leads to is not touched. A name that leads to a device, or through a link
// that stands for an open file (/dev/stdout, /dev/fd/N, /proc/self/fd/N), is
// written in place, never renamed over and never removed; a FIFO or a socket
// at the name is refused.
//
// Where a file stood under the name, the data reach the disk before the
// rename, so a crash never trades that file for a short one.
//
// The temporary name is fixed by default, so whatever an interrupted writer
// left there is taken over by the next; writers of one name must then
// exclude each other (a run holds its plan's lock). Writers that hold no
// lock ask for a unique temporary name instead (the name followed by
// ".part-PID-N", created only where nothing stands), so that two of them at
// once never write into one file; such a writer first removes the part files
// of writers that are no longer alive. Either temporary file is removed when
// the process is interrupted (io/interrupt_cleanup.h).
#pragma once

#include <cstdio>

#include "io/work_file.h"
#include "io/write_target.h"

namespace plotweave {

enum class TempName { kFixed, kUnique };

class ReplacingFile {
 public:
  // Creates the temporary file for `path` with `mode` ("wb" or "wt"), or
  // opens what is written in place. Nothing is created when `path` leads to
  // a directory, or to what is neither replaced nor written in place; errno
  // tells why nothing was created.
  ReplacingFile(const char* path, const char* mode, TempName temp = TempName::kFixed);
  // A file that was not committed is closed and its temporary file removed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

  // Flushes and closes the file and puts it in place. False when any step
  // failed; the temporary file is then removed, the name is as it was (what
  // is written in place keeps what was written), and errno tells what failed.
  bool Commit();

 private:
  void Discard();
  void RemoveTemp();

  // Room for a link's whole target and the longest suffix.
  static constexpr int kNameBuffer = 4096 + 48;
  char path_[kNameBuffer];
  char temp_[kNameBuffer];
  FILE* file_ = nullptr;
  bool direct_ = false;  // written in place
  FileIdentity identity_;
  int interruptSlot_ = -1;
};

}  // namespace plotweave
