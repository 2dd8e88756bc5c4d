#include "bundle/output_file.h"

#include <sys/stat.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace plotweave {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Offset of the final name in `path`.
size_t NameStart(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    if (IsSeparator(path[i])) start = i + 1;
  }
  return start;
}

#ifdef _WIN32
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, info) != 0;
  CloseHandle(h);
  return ok;
}
#endif

}  // namespace

bool DefaultOutputName(const char* page, char (&output)[kPathCapacity]) {
  static const char kInfix[] = ".standalone";
  const size_t n = std::strlen(page);
  const size_t name = NameStart(page);
  size_t dot = n;
  for (size_t i = n; i > name + 1; --i) {
    if (page[i - 1] == '.') {
      dot = i - 1;
      break;
    }
  }
  const char* extension = dot < n ? page + dot : ".htm";
  const size_t extensionSize = std::strlen(extension);
  if (dot + (sizeof kInfix - 1) + extensionSize + 1 > kPathCapacity) return false;
  std::memcpy(output, page, dot);
  std::memcpy(output + dot, kInfix, sizeof kInfix - 1);
  std::memcpy(output + dot + sizeof kInfix - 1, extension, extensionSize + 1);
  return true;
}

bool FolderOf(const char* path, char (&folder)[kPathCapacity]) {
  const size_t start = NameStart(path);
  if (start >= kPathCapacity) return false;
  std::memcpy(folder, path, start);
  folder[start] = '\0';
  return true;
}

bool SameFile(const char* a, const char* b) {
#ifdef _WIN32
  BY_HANDLE_FILE_INFORMATION x;
  BY_HANDLE_FILE_INFORMATION y;
  if (!FileIdentity(a, &x) || !FileIdentity(b, &y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
#else
  struct stat x;
  struct stat y;
  if (stat(a, &x) != 0 || stat(b, &y) != 0) return false;
  return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
#endif
}

}  // namespace plotweave
