// The copy's file: its default name, the check that it is not the page
// itself, and a temporary file in the same folder that takes the final name
// only once it is complete.
#pragma once

#include <cstdio>

#include "bundle/image_address.h"

namespace plotweave {

// "dir/name.standalone.htm" for "dir/name.htm" (the page's own extension is
// kept; ".standalone.htm" is added to a name without one). False when it
// does not fit.
bool DefaultOutputName(const char* page, char (&output)[kPathCapacity]);

// The folder part of `path` ("" for a bare name).
bool FolderOf(const char* path, char (&folder)[kPathCapacity]);

// Whether both names exist and are the same file (also through links or
// other spellings of the path).
bool SameFile(const char* a, const char* b);

class TempOutput {
 public:
  TempOutput() = default;
  ~TempOutput();
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  // Creates a new file beside `finalName`; false when none can be created.
  bool Create(const char* finalName);
  FILE* get() const { return file_; }
  const char* tempName() const { return temp_; }
  // Flushes and closes the file and gives it the final name; false (and the
  // temporary file removed) when any of that fails.
  bool Commit();

 private:
  void Discard();

  FILE* file_ = nullptr;
  char temp_[kPathCapacity] = {};
  char final_[kPathCapacity] = {};
};

}  // namespace plotweave
