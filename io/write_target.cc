#include "io/write_target.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#ifdef _WIN32
#include <aclapi.h>
#include <windows.h>
#else
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif
#endif

namespace plotweave {

namespace {

bool CopyName(const char* path, char* out, size_t capacity) {
  const size_t length = std::strlen(path);
  if (length + 1 > capacity) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(out, path, length + 1);
  return true;
}

// The length of the folder part of `path`, its last '/' included (on
// Windows '\\' too); 0 for a bare name.
size_t FolderLength(const char* path) {
  size_t folder = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '/') folder = i + 1;
#ifdef _WIN32
    if (path[i] == '\\' || path[i] == ':') folder = i + 1;
#endif
  }
  return folder;
}

// The folder `path` stands in, into `out` ("." for a bare name).
bool FolderOf(const char* path, char* out, size_t capacity) {
  const size_t folder = FolderLength(path);
  if (folder == 0) return CopyName(".", out, capacity);
  if (folder + 1 > capacity) return false;
  std::memcpy(out, path, folder);
  out[folder] = '\0';
  return true;
}

#ifndef _WIN32

// Where a link to nothing leads, relative to its own folder: the file to
// create.
bool DanglingTarget(const char* path, char* out, size_t capacity) {
  const size_t folder = FolderLength(path);
  if (folder >= capacity) return false;
  const ssize_t length = readlink(path, out + folder, capacity - folder - 1);
  if (length < 0 || static_cast<size_t>(length) >= capacity - folder - 1) return false;
  out[folder + static_cast<size_t>(length)] = '\0';
  if (out[folder] == '/') {
    std::memmove(out, out + folder, static_cast<size_t>(length) + 1);
  } else {
    std::memcpy(out, path, folder);
  }
  return true;
}

bool IsDevice(mode_t mode) { return S_ISCHR(mode) || S_ISBLK(mode); }

WriteTarget ThroughLink(const char* path, const struct stat& link, char* out, size_t capacity) {
  if (!MayFollowLink(path, link.st_uid)) {
    errno = EACCES;
    return WriteTarget::kRefused;
  }
  const bool openFile = OpenFileLinkBehind(path).found;
  struct stat st;
  if (stat(path, &st) != 0) {
    if (openFile || errno != ENOENT) return WriteTarget::kRefused;
    if (!DanglingTarget(path, out, capacity)) {
      errno = ENAMETOOLONG;
      return WriteTarget::kRefused;
    }
    return WriteTarget::kReplace;
  }
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return WriteTarget::kRefused;
  }
  if (S_ISREG(st.st_mode)) {
    if (openFile) return WriteTarget::kInPlaceAppend;
    // realpath writes at most PATH_MAX bytes.
    if (capacity > PATH_MAX && realpath(path, out) != nullptr) return WriteTarget::kReplace;
    errno = ENAMETOOLONG;
    return WriteTarget::kRefused;
  }
  if (openFile || IsDevice(st.st_mode)) return WriteTarget::kInPlace;
  errno = EINVAL;
  return WriteTarget::kRefused;
}

#endif

}  // namespace

#ifdef _WIN32

OpenFileLink OpenFileLinkBehind(const char*) { return {}; }

#else

namespace {

// The descriptor N when `name` is "/dev/fd/N", "/proc/self/fd/N" or
// "/proc/PID/fd/N" with this process's PID, or /dev/stdin, /dev/stdout or
// /dev/stderr; -1 otherwise.
int DescriptorNamed(const char* name) {
  static const struct {
    const char* name;
    int fd;
  } kStandard[] = {{"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}};
  for (const auto& standard : kStandard) {
    if (std::strcmp(name, standard.name) == 0) return standard.fd;
  }
  char own[48];
  std::snprintf(own, sizeof own, "/proc/%ld/fd/", static_cast<long>(getpid()));
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/", static_cast<const char*>(own)}) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(name, prefix, n) != 0) continue;
    const char* digits = name + n;
    if (*digits < '0' || *digits > '9' || std::strlen(digits) > 9) return -1;
    char* end = nullptr;
    const long fd = std::strtol(digits, &end, 10);
    return *end == '\0' ? static_cast<int>(fd) : -1;
  }
  return -1;
}

// Whether the link at `path` lies in procfs, where every link stands for
// something a process has open (another process's descriptor, say), whatever
// the spelling of the way there.
bool InProcFs(const char* path) {
#ifdef __linux__
  constexpr long kProcFs = 0x9fa0;
  char folder[PATH_MAX];
  struct statfs fs;
  return FolderOf(path, folder, sizeof folder) && statfs(folder, &fs) == 0 && static_cast<long>(fs.f_type) == kProcFs;
#else
  (void)path;
  return false;
#endif
}

}  // namespace

OpenFileLink OpenFileLinkBehind(const char* path) {
  char current[PATH_MAX];
  char target[PATH_MAX];
  if (!CopyName(path, current, sizeof current)) return {};
  // The kernel follows at most 40 links in a row.
  for (int hop = 0; hop < 40; ++hop) {
    const int fd = DescriptorNamed(current);
    if (fd >= 0) return {true, fd};
    struct stat st;
    if (lstat(current, &st) != 0 || !S_ISLNK(st.st_mode)) return {};
    if (InProcFs(current)) return {true, -1};
    const ssize_t length = readlink(current, target, sizeof target - 1);
    if (length < 0) return {};
    target[length] = '\0';
    // A relative target counts from the link's own folder.
    const size_t keep = target[0] == '/' ? 0 : FolderLength(current);
    if (keep + static_cast<size_t>(length) + 1 > sizeof current) return {};
    std::memmove(current + keep, target, static_cast<size_t>(length) + 1);
  }
  return {};
}

#endif

#ifdef _WIN32

namespace {

// The owner of what `path` names itself (a link, not what it leads to), into
// `owner`; its descriptor is freed with LocalFree.
bool OwnerOf(const char* path, PSID* owner, PSECURITY_DESCRIPTOR* descriptor) {
  HANDLE h = CreateFileA(path, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD r =
      GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr, nullptr, descriptor);
  CloseHandle(h);
  return r == ERROR_SUCCESS;
}

bool IsProcessUser(PSID sid) {
  HANDLE token;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) return false;
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  const bool same = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) != 0 &&
                    EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, sid) != 0;
  CloseHandle(token);
  return same;
}

}  // namespace

bool MayFollowLink(const char* link, unsigned long) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!OwnerOf(link, &owner, &descriptor)) return false;
  bool may = IsProcessUser(owner);
  char folder[MAX_PATH + 1];
  PSID folderOwner = nullptr;
  PSECURITY_DESCRIPTOR folderDescriptor = nullptr;
  if (!may && FolderOf(link, folder, sizeof folder) && OwnerOf(folder, &folderOwner, &folderDescriptor)) {
    may = EqualSid(owner, folderOwner) != 0;
    LocalFree(folderDescriptor);
  }
  LocalFree(descriptor);
  return may;
}

WriteTarget ExamineWriteTarget(const char* path, char* out, size_t capacity) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return CopyName(path, out, capacity) ? WriteTarget::kReplace : WriteTarget::kRefused;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (!MayFollowLink(path, 0)) {
      errno = EACCES;
      return WriteTarget::kRefused;
    }
    // The final name of what the link leads to; a link to nothing is refused.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      errno = ENOENT;
      return WriteTarget::kRefused;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    const bool folder = disk && GetFileInformationByHandle(h, &info) != 0 &&
                        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const DWORD length = disk ? GetFinalPathNameByHandleA(h, out, static_cast<DWORD>(capacity), 0) : 0;
    CloseHandle(h);
    if (!disk) return WriteTarget::kInPlace;
    if (folder) {
      errno = EISDIR;
      return WriteTarget::kRefused;
    }
    if (length == 0 || length >= capacity) {
      errno = ENAMETOOLONG;
      return WriteTarget::kRefused;
    }
    return WriteTarget::kReplace;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return WriteTarget::kRefused;
  }
  // Reserved names (NUL, CON ...) are devices.
  struct _stat st;
  if (_stat(path, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFCHR) return WriteTarget::kInPlace;
  return CopyName(path, out, capacity) ? WriteTarget::kReplace : WriteTarget::kRefused;
}

#else

bool MayFollowLink(const char* link, unsigned long owner) {
  if (owner == static_cast<unsigned long>(geteuid())) return true;
  char folder[PATH_MAX];
  struct stat st;
  return FolderOf(link, folder, sizeof folder) && stat(folder, &st) == 0 &&
         static_cast<unsigned long>(st.st_uid) == owner;
}

WriteTarget ExamineWriteTarget(const char* path, char* out, size_t capacity) {
  struct stat st;
  if (lstat(path, &st) != 0 || S_ISREG(st.st_mode)) {
    // Nothing there yet (or nothing that can be seen): the creation of the
    // temporary file tells what is wrong, if anything.
    return CopyName(path, out, capacity) ? WriteTarget::kReplace : WriteTarget::kRefused;
  }
  if (S_ISLNK(st.st_mode)) return ThroughLink(path, st, out, capacity);
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return WriteTarget::kRefused;
  }
  if (IsDevice(st.st_mode)) return WriteTarget::kInPlace;
  errno = EINVAL;
  return WriteTarget::kRefused;
}

#endif

}  // namespace plotweave
