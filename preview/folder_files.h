// The files the preview serves besides its page: the images the page names
// inside the plan's folder, and the kit's files. Each is opened without
// blocking and checked on the open handle: a regular file, and for an image
// one that lies inside the folder, reached through no link.
#pragma once

#include <cstddef>

namespace plotweave {

enum class ServedFile { kOpened, kMissing, kOutside, kNotAFile, kFailed };

// A file opened for serving; closed with the object.
class OpenedFile {
 public:
  OpenedFile() = default;
  ~OpenedFile();
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  // Reads up to `capacity` bytes; 0 at the end, -1 on failure.
  long Read(void* buffer, size_t capacity);
  // Its size when opened.
  unsigned long long size() const { return size_; }
  int fd = -1;

 private:
  friend ServedFile OpenRegular(int, OpenedFile*);
  unsigned long long size_ = 0;
};

// The plan's folder, held open from the start so that a request is resolved
// against the folder the preview was started in.
class PlanFolder {
 public:
  // `folder` is "" for the current folder.
  explicit PlanFolder(const char* folder);
  ~PlanFolder();
  PlanFolder(const PlanFolder&) = delete;
  PlanFolder& operator=(const PlanFolder&) = delete;

  bool ok() const;
  // Opens `relative` (no ".." step, no leading '/', checked by the caller)
  // inside the folder.
  ServedFile Open(const char* relative, OpenedFile* file) const;

 private:
#ifdef _WIN32
  char final_[4096] = {};  // the folder's final path, links resolved
  size_t finalSize_ = 0;
  char folder_[4096] = {};
#else
  int fd_ = -1;
#endif
};

// Opens a file the user named (a kit file) when it is a regular file.
ServedFile OpenServedFile(const char* path, OpenedFile* file);

// Makes Open take the way of a kernel without openat2, one step at a time,
// so that tests hold that way to the same rules.
void OpenStepByStep(bool on);

}  // namespace plotweave
