// plotweave-bundle's front end, part two: the files it reads, opened under
// its rules. Each is opened without blocking and checked on the open handle
// to be a regular file, so that a FIFO or a device put at a name is refused
// rather than waited on or read forever. Images must lie inside the page's
// folder unless the user allows otherwise, which is checked while opening,
// not on a name looked up earlier.
#pragma once

#include "bundle/image_address.h"
#include "bundle/kit.h"
#include "bundle/standalone.h"
#include "io/stream.h"

namespace plotweave {

// A file opened for reading, read with the system's own calls: the copy
// buffers its reads itself.
class ReadFile final : public ByteSource {
 public:
  ReadFile() = default;
  ~ReadFile() { Close(); }
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;

  size_t Read(void* buffer, size_t capacity) override;
  bool Failed() const override { return failed_; }

  // Takes over an open descriptor, closing what the file held.
  void Adopt(int fd);
  // Closes what the file held and keeps `error` as the reason.
  void Refuse(int error);
  // Back to the first byte, to read the file once more.
  bool Rewind();
  void Close();
  // The errno of the failed open or read.
  int error() const { return error_; }

 private:
  int fd_ = -1;
  bool failed_ = false;
  int error_ = 0;
};

enum class OpenCheck { kOpened, kNotAFile, kFailed };

// Opens the file at `path` when it is a regular file; `file->error()` tells
// why when kFailed.
OpenCheck OpenRegularFile(const char* path, ReadFile* file);

// Makes every image open take the way of a kernel without openat2 (one step
// at a time), so that tests can hold that way to the same rules.
void OpenImagesStepByStep(bool on);

// The kit's files and the page's images, for the copy.
class PageFolderFiles final : public BundleFiles {
 public:
  // `pageFolder` is "" for the current folder. Without `allowOutside`, an
  // image is read only when the path to it has no ".." step and no symbolic
  // link, and the file opened lies inside the folder.
  PageFolderFiles(const char* pageFolder, const KitSearch& kit, bool allowOutside);
  ~PageFolderFiles();
  PageFolderFiles(const PageFolderFiles&) = delete;
  PageFolderFiles& operator=(const PageFolderFiles&) = delete;

  ByteSource* OpenKitFile(const char* name) override;
  ImageOpen OpenImage(Span address, ByteSource** image, ImageNote* why) override;
  void Close() override { file_.Close(); }
  const char* Path() const override { return path_; }
  // The errno of the last open or read that failed.
  int error() const { return file_.error(); }

 private:
  ImageOpen OpenInFolder(const char* relative, ImageNote* why);

  const KitSearch& kit_;
  const bool allowOutside_;
  char folder_[kPathCapacity];
  char path_[kPathCapacity] = {};
#ifdef _WIN32
  // The folder's final path as the system names it, links resolved; empty
  // when it could not be had, and then no image counts as inside.
  wchar_t folderFinal_[kPathCapacity] = {};
  unsigned folderFinalSize_ = 0;
#else
  int folderFd_ = -1;
  int folderError_ = 0;
#endif
  ReadFile file_;
};

}  // namespace plotweave
