// Files a run makes for itself under names of its own: the scratch file, the
// intermediate page, temporary files.
//
// Such a name belongs to the program, so whatever stands there is never
// written into: a regular file is unlinked and a new one created in its
// place (other hard links of the old one keep their content), and anything
// else (a symbolic link, even one to nothing, a device, a FIFO, a folder, a
// reparse point on Windows) makes the creation fail and stays as it was.
#pragma once

#include <cstdio>

#include "io/file.h"

namespace plotweave {

// Creates a regular file at `name` only where nothing stands, open for
// reading and writing; `mode` is "wb" or "wt". Null, with errno set, when
// anything stands there or the file cannot be created.
FILE* CreateNewFile(const char* name, const char* mode);

// Creates a new regular file at `name` as above, after unlinking a regular
// file that stands there. Null, with errno set, when something else stands
// there.
FILE* CreateFreshFile(const char* name, const char* mode);

// Removes `name` only when it is a regular file of the user who runs the
// program; errno is kept.
void RemoveOwnRegularFile(const char* name);

// What a created file is, to tell it from whatever stands at its name later:
// device and inode numbers, or on Windows the volume and the file index.
class FileIdentity {
 public:
  // Notes the identity of the open `file`.
  void Take(FILE* file);
  // Removes `name` only while it still leads to the noted file, so that
  // nothing put at the name since is removed instead; errno is kept.
  void RemoveName(const char* name) const;

 private:
  bool known_ = false;
  unsigned long long volume_ = 0;
  unsigned long long index_ = 0;
};

// A file created fresh, written and then read back on the same handle, never
// under a name looked up again; removed only while its name still leads to
// it. The file is removed if the process is interrupted while it is open.
class WorkFile {
 public:
  WorkFile() = default;
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  // Creates the file (see CreateFreshFile); false, with errno set, when it
  // was not created.
  bool Create(const char* name, const char* mode);

  FileHandle& handle() { return handle_; }

  // Checks that everything written has reached the file and turns the
  // handle to reading the bytes from the start, as written (a text-mode file
  // is read back without translation). False when a write failed.
  bool Rewind();

  // Closes the handle, if open, and removes the file it made, if its name
  // still leads to it; errno is kept.
  void Remove();

 private:
  FileHandle handle_;
  char name_[4096 + 64];
  bool created_ = false;
  int interruptSlot_ = -1;
  FileIdentity identity_;
};

}  // namespace plotweave
