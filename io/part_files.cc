#include "io/part_files.h"

#include <cerrno>
#include <cstring>

#include "io/work_file.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace plotweave {

namespace {

constexpr char kPart[] = ".part-";
constexpr int kAttempts = 100;

long ThisProcess() {
#ifdef _WIN32
  return _getpid();
#else
  return getpid();
#endif
}

// The process number of a part file's name `entry` for the copy named
// `copy` (both without folder), or -1 when the name is not of that form.
long PartOwner(const char* entry, const char* copy) {
  const size_t length = std::strlen(copy);
  if (std::strncmp(entry, copy, length) != 0 || std::strncmp(entry + length, kPart, sizeof kPart - 1) != 0) {
    return -1;
  }
  const char* p = entry + length + sizeof kPart - 1;
  long pid = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9' && digits < 10; ++p, ++digits) pid = pid * 10 + (*p - '0');
  if (digits == 0 || *p++ != '-') return -1;
  digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p) ++digits;
  return digits > 0 && *p == '\0' ? pid : -1;
}

bool ProcessIsGone(long pid) {
  if (pid <= 0 || pid == ThisProcess()) return false;
#ifdef _WIN32
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (h == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return ended;
#else
  // EPERM: alive, only not ours to signal.
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

}  // namespace

FILE* CreatePartFile(const char* path, char* temp, size_t capacity, const char* mode) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int written = std::snprintf(temp, capacity, "%s%s%ld-%d", path, kPart, ThisProcess(), attempt);
    if (written < 0 || static_cast<size_t>(written) >= capacity) break;
    FILE* file = CreateNewFile(temp, mode);
    if (file != nullptr || errno != EEXIST) return file;
  }
  temp[0] = '\0';
  errno = EEXIST;
  return nullptr;
}

void RemoveDeadWritersParts(const char* path) {
  const int error = errno;
  char folder[4096];
  size_t folderLength = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '/' || path[i] == '\\') folderLength = i + 1;
  }
  if (folderLength + 2 > sizeof folder) return;
  std::memcpy(folder, path, folderLength);
  folder[folderLength] = '\0';
  const char* copy = path + folderLength;
#ifdef _WIN32
  char name[4096 + 64];
  if (folderLength + std::strlen(copy) + sizeof kPart + 1 > sizeof name) return;
  std::snprintf(name, sizeof name, "%s%s%s*", folder, copy, kPart);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(name, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (ProcessIsGone(PartOwner(found.cFileName, copy)) &&
        std::snprintf(name, sizeof name, "%s%s", folder, found.cFileName) < static_cast<int>(sizeof name)) {
      RemoveOwnRegularFile(name);
    }
  } while (FindNextFileA(search, &found) != 0);
  FindClose(search);
#else
  DIR* dir = opendir(folderLength > 0 ? folder : ".");
  if (dir == nullptr) return;
  while (const struct dirent* entry = readdir(dir)) {
    struct stat st;
    // Checked on the entry itself, never through a link.
    if (ProcessIsGone(PartOwner(entry->d_name, copy)) &&
        fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == geteuid()) {
      unlinkat(dirfd(dir), entry->d_name, 0);
    }
  }
  closedir(dir);
#endif
  errno = error;
}

}  // namespace plotweave
