#include "export/folder.h"

#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace plotweave {

namespace {

// kExisting for a folder, kFailed with errno for anything else, kCreated
// when nothing stands there.
FolderState WhatStands(const char* path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FolderState::kCreated;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    errno = ELOOP;
    return FolderState::kFailed;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    errno = ENOTDIR;
    return FolderState::kFailed;
  }
  return FolderState::kExisting;
#else
  struct stat st;
  if (lstat(path, &st) != 0) return errno == ENOENT ? FolderState::kCreated : FolderState::kFailed;
  if (S_ISLNK(st.st_mode)) {
    errno = ELOOP;
    return FolderState::kFailed;
  }
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return FolderState::kFailed;
  }
  return FolderState::kExisting;
#endif
}

}  // namespace

FolderState PrepareFolder(const char* path) {
  const FolderState state = WhatStands(path);
  if (state != FolderState::kCreated) return state;
#ifdef _WIN32
  if (_mkdir(path) == 0) return FolderState::kCreated;
#else
  if (mkdir(path, 0777) == 0) return FolderState::kCreated;
#endif
  // Another run may have made it in the meantime; then it is taken as found.
  if (errno != EEXIST) return FolderState::kFailed;
  const FolderState again = WhatStands(path);
  return again == FolderState::kCreated ? FolderState::kFailed : again;
}

void RemoveFolder(const char* path) {
#ifdef _WIN32
  _rmdir(path);
#else
  rmdir(path);
#endif
}

}  // namespace plotweave
