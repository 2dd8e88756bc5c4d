#include "io/work_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "io/interrupt_cleanup.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace plotweave {

namespace {

bool TextMode(const char* mode) { return std::strchr(mode, 't') != nullptr; }

#ifdef _WIN32

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    default:
      return EIO;
  }
}

// Volume and file index of an open handle; false when the system cannot
// tell them.
bool IdentityOf(HANDLE h, unsigned long long* volume, unsigned long long* index) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info) == 0) return false;
  *volume = info.dwVolumeSerialNumber;
  *index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Whether the open handle `h` is the file at `name` itself and not one a
// link there leads to: where links cannot be told by their attributes (Wine
// shows a Unix link as the file it leads to), the final path of the handle
// still tells.
bool HandleIsAtName(HANDLE h, const char* name) {
  char file[MAX_PATH * 4];
  char folder[MAX_PATH * 4];
  const DWORD fileLength = GetFinalPathNameByHandleA(h, file, sizeof file, 0);
  if (fileLength == 0 || fileLength >= sizeof file) return false;
  size_t cut = 0;
  for (size_t i = 0; name[i] != '\0'; ++i) {
    if (name[i] == '/' || name[i] == '\\' || name[i] == ':') cut = i + 1;
  }
  if (cut + 2 > sizeof folder) return false;
  if (cut == 0) {
    std::memcpy(folder, ".", 2);
  } else {
    std::memcpy(folder, name, cut);
    folder[cut] = '\0';
  }
  HANDLE dir = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return false;
  const DWORD folderLength = GetFinalPathNameByHandleA(dir, folder, sizeof folder, 0);
  CloseHandle(dir);
  if (folderLength == 0 || folderLength >= sizeof folder) return false;
  const size_t gap = folder[folderLength - 1] == '\\' ? 0 : 1;
  const size_t leaf = std::strlen(name + cut);
  return fileLength == folderLength + gap + leaf && _strnicmp(file, folder, folderLength) == 0 &&
         (gap == 0 || file[folderLength] == '\\') && _stricmp(file + folderLength + gap, name + cut) == 0;
}

enum class Deletion { kNothingThere, kDeleted, kRefused };

// Deletes `name` if it is a plain file (not a link or reparse point, not a
// folder, not a device), through a handle checked to be that file, so that
// nothing else can take the name in between. kRefused sets errno.
Deletion DeletePlainFile(const char* name) {
  HANDLE h = CreateFileA(name, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Deletion::kNothingThere;
    errno = ErrnoOf(error);
    return Deletion::kRefused;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool plain = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) != 0 &&
                     (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
                     HandleIsAtName(h, name);
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  const bool deleted =
      plain && SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
  const DWORD error = GetLastError();
  CloseHandle(h);
  if (deleted) return Deletion::kDeleted;
  errno = plain ? ErrnoOf(error) : EEXIST;
  return Deletion::kRefused;
}

#endif

}  // namespace

FILE* CreateNewFile(const char* name, const char* mode) {
  const bool text = TextMode(mode);
#ifdef _WIN32
  // The reparse point flag keeps CREATE_NEW from creating a file where a
  // link leads; sharing deletion lets an interrupted run remove the file
  // while it is still open.
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(GetLastError());
    return nullptr;
  }
  // Reserved names (NUL, CON, COM1 ...) open their device whatever follows
  // them; a device is not a file the run may make.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    errno = EEXIST;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | (text ? _O_TEXT : _O_BINARY));
  if (fd < 0) {
    CloseHandle(h);
    DeleteFileA(name);
    return nullptr;
  }
  FILE* file = _fdopen(fd, text ? "r+t" : "r+b");
#else
  (void)text;
  // O_EXCL fails on any name that exists, a link to nothing included, and
  // O_NOFOLLOW says the same where O_EXCL alone would not be enough.
  const int fd = open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "r+");
#endif
  if (file == nullptr) {
    const int error = errno;
#ifdef _WIN32
    _close(fd);
    DeleteFileA(name);
#else
    close(fd);
    unlink(name);
#endif
    errno = error;
  }
  return file;
}

FILE* CreateFreshFile(const char* name, const char* mode) {
#ifdef _WIN32
  if (DeletePlainFile(name) == Deletion::kRefused) return nullptr;
#else
  struct stat st;
  if (lstat(name, &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      errno = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
      return nullptr;
    }
    if (unlink(name) != 0 && errno != ENOENT) return nullptr;
  } else if (errno != ENOENT) {
    return nullptr;
  }
#endif
  // Whatever appears at the name in between is refused by the creation.
  return CreateNewFile(name, mode);
}

void RemoveOwnRegularFile(const char* name) {
  const int error = errno;
#ifdef _WIN32
  DeletePlainFile(name);
#else
  struct stat st;
  if (lstat(name, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid()) unlink(name);
#endif
  errno = error;
}

void FileIdentity::Take(FILE* file) {
#ifdef _WIN32
  known_ = IdentityOf(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), &volume_, &index_);
#else
  struct stat st;
  known_ = fstat(fileno(file), &st) == 0;
  volume_ = static_cast<unsigned long long>(st.st_dev);
  index_ = static_cast<unsigned long long>(st.st_ino);
#endif
}

void FileIdentity::RemoveName(const char* name) const {
  if (!known_) return;
  const int error = errno;
#ifdef _WIN32
  // Deleted through a handle that is checked to be the file: no other file
  // can take the name between the check and the deletion.
  HANDLE h = CreateFileA(name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    unsigned long long volume = 0;
    unsigned long long index = 0;
    if (IdentityOf(h, &volume, &index) && volume == volume_ && index == index_) {
      FILE_DISPOSITION_INFO disposition;
      disposition.DeleteFile = TRUE;
      SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
    }
    CloseHandle(h);
  }
#else
  struct stat st;
  if (lstat(name, &st) == 0 && S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_dev) == volume_ &&
      static_cast<unsigned long long>(st.st_ino) == index_) {
    unlink(name);
  }
#endif
  errno = error;
}

WorkFile::~WorkFile() {
  handle_.Close();
  ForgetOnInterrupt(interruptSlot_);
}

bool WorkFile::Create(const char* name, const char* mode) {
  Remove();
  const size_t length = std::strlen(name);
  if (length >= sizeof name_) {
    errno = ENAMETOOLONG;
    return false;
  }
  const InterruptsHeld held;
  FILE* file = CreateFreshFile(name, mode);
  if (file == nullptr) return false;
  std::memcpy(name_, name, length + 1);
  created_ = true;
  interruptSlot_ = RemoveOnInterrupt(name_);
  identity_.Take(file);
  handle_.Adopt(file, true);
  return true;
}

bool WorkFile::Rewind() {
  FILE* file = handle_.get();
  if (file == nullptr || std::fflush(file) != 0 || std::ferror(file) != 0) return false;
#ifdef _WIN32
  // Read back what was written, carriage returns and all.
  _setmode(_fileno(file), _O_BINARY);
#endif
  return std::fseek(file, 0, SEEK_SET) == 0;
}

void WorkFile::Remove() {
  const int error = errno;
  handle_.Close();
  if (created_) identity_.RemoveName(name_);
  created_ = false;
  ForgetOnInterrupt(interruptSlot_);
  interruptSlot_ = -1;
  errno = error;
}

}  // namespace plotweave
