#include "bundle/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif
#endif
#endif

namespace plotweave {

namespace {

#ifdef _WIN32
constexpr int kReadFlags = _O_RDONLY | _O_BINARY;
#else
// O_NONBLOCK: the open of a FIFO returns at once instead of waiting for a
// writer, and the check on the handle then refuses it. It changes nothing
// for the regular files that are read.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
#ifdef O_PATH
// A folder on the way is only looked through, which needs no read permission.
constexpr int kStepFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kStepFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif
#endif

// kOpened when `fd` is a regular file; it is closed otherwise.
OpenCheck CheckOpened(int fd, ReadFile* file) {
  if (fd < 0) {
    file->Refuse(errno);
    return OpenCheck::kFailed;
  }
#ifdef _WIN32
  struct _stat64 st;
  const bool regular = _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
#endif
  file->Adopt(fd);
  if (regular) return OpenCheck::kOpened;
  file->Refuse(0);
  return OpenCheck::kNotAFile;
}

// Whether the descriptor `fd` was opened as a regular file (kept in `file`),
// or as something else (closed; the image is left as it was).
ImageOpen TakeOpened(int fd, ReadFile* file, ImageNote* why) {
  switch (CheckOpened(fd, file)) {
    case OpenCheck::kOpened:
      return ImageOpen::kOpened;
    case OpenCheck::kNotAFile:
      *why = ImageNote::kNotAFile;
      return ImageOpen::kLeftAsItWas;
    case OpenCheck::kFailed:
      break;
  }
  return ImageOpen::kUnreadable;
}

bool Join(const char* folder, const char* name, char (&path)[kPathCapacity]) {
  return JoinPath(folder, std::strlen(folder), name, path);
}

// The failed open of an image, by its errno: an image left as it was, with
// the reason, or one that is there but cannot be read.
ImageOpen RefusedImage(int error, ImageNote* why) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      *why = ImageNote::kMissing;
      break;
    case ELOOP:
#ifdef EMLINK
    case EMLINK:  // what some systems say for O_NOFOLLOW on a link
#endif
      *why = ImageNote::kLink;
      break;
    case EXDEV:  // a step that leaves the folder
      *why = ImageNote::kOutside;
      break;
    case ENAMETOOLONG:
      *why = ImageNote::kTooLong;
      break;
    case ENXIO:  // a socket
      *why = ImageNote::kNotAFile;
      break;
    default:
      return ImageOpen::kUnreadable;
  }
  return ImageOpen::kLeftAsItWas;
}

#ifndef _WIN32
bool gStepByStep = false;

#if defined(__linux__) && defined(SYS_openat2) && defined(RESOLVE_BENEATH)
// The kernel resolves the whole path below the folder, refusing links and
// ".." on the way: nothing can be swapped between a check and the open.
// -1 with errno ENOSYS where the kernel lacks the call.
int OpenBeneath(int folder, const char* relative) {
  static bool missing = false;
  if (missing || gStepByStep) {
    errno = ENOSYS;
    return -1;
  }
  struct open_how how;
  std::memset(&how, 0, sizeof how);
  how.flags = static_cast<uint64_t>(kReadFlags);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  int fd = -1;
  do {
    fd = static_cast<int>(syscall(SYS_openat2, folder, relative, &how, sizeof how));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno == ENOSYS) missing = true;
  return fd;
}
#else
int OpenBeneath(int, const char*) {
  errno = ENOSYS;
  return -1;
}
#endif

// The same where the kernel cannot: one step at a time from the folder, each
// opened relative to the one before and none of them followed if it is a link.
int OpenStepByStep(int folder, const char* relative) {
  char step[kPathCapacity];
  int at = folder;
  const char* p = relative;
  for (;;) {
    while (*p == '/') ++p;
    const char* end = std::strchr(p, '/');
    const bool last = end == nullptr || end[std::strspn(end, "/")] == '\0';
    const size_t n = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
    std::memcpy(step, p, n);
    step[n] = '\0';
    const int fd = openat(at, step, last ? kReadFlags | O_NOFOLLOW : kStepFlags);
    int error = errno;
    // A folder step that is a link fails as "not a folder" (O_PATH with
    // O_NOFOLLOW would take the link itself); it is told as a link. The look
    // only chooses the message: nothing is opened through it.
    struct stat st;
    if (fd < 0 && error == ENOTDIR && fstatat(at, step, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
      error = ELOOP;
    }
    if (at != folder) close(at);
    errno = error;
    if (fd < 0 || last) return fd;
    at = fd;
    p = end;
  }
}
#endif

}  // namespace

void OpenImagesStepByStep(bool on) {
#ifndef _WIN32
  gStepByStep = on;
#else
  (void)on;
#endif
}

size_t ReadFile::Read(void* buffer, size_t capacity) {
  if (fd_ < 0 || failed_) return 0;
  for (;;) {
#ifdef _WIN32
    const int chunk = capacity > (1u << 30) ? (1 << 30) : static_cast<int>(capacity);
    const int got = _read(fd_, buffer, static_cast<unsigned>(chunk));
#else
    const ssize_t got = read(fd_, buffer, capacity);
    if (got < 0 && errno == EINTR) continue;
#endif
    if (got >= 0) return static_cast<size_t>(got);
    failed_ = true;
    error_ = errno;
    return 0;
  }
}

void ReadFile::Adopt(int fd) {
  Close();
  fd_ = fd;
  failed_ = false;
  error_ = 0;
}

void ReadFile::Refuse(int error) {
  Close();
  error_ = error;
}

bool ReadFile::Rewind() {
#ifdef _WIN32
  const bool ok = fd_ >= 0 && _lseeki64(fd_, 0, SEEK_SET) == 0;
#else
  const bool ok = fd_ >= 0 && lseek(fd_, 0, SEEK_SET) == 0;
#endif
  if (!ok) error_ = errno;
  failed_ = !ok;
  return ok;
}

void ReadFile::Close() {
  if (fd_ < 0) return;
#ifdef _WIN32
  _close(fd_);
#else
  close(fd_);
#endif
  fd_ = -1;
}

OpenCheck OpenRegularFile(const char* path, ReadFile* file) {
#ifdef _WIN32
  const int fd = _open(path, kReadFlags);
  // A folder cannot be opened as a file and says so as a permission error.
  struct _stat64 st;
  if (fd < 0 && errno == EACCES && _stat64(path, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR) {
    file->Refuse(EACCES);
    return OpenCheck::kNotAFile;
  }
  return CheckOpened(fd, file);
#else
  int fd = -1;
  do {
    fd = open(path, kReadFlags);
  } while (fd < 0 && errno == EINTR);
  return CheckOpened(fd, file);
#endif
}

PageFolderFiles::PageFolderFiles(const char* pageFolder, const KitSearch& kit, bool allowOutside)
    : kit_(kit), allowOutside_(allowOutside) {
  const char* folder = pageFolder[0] != '\0' ? pageFolder : ".";
  const size_t n = std::strlen(folder);
  const size_t kept = n < kPathCapacity ? n : kPathCapacity - 1;
  std::memcpy(folder_, pageFolder, pageFolder[0] != '\0' ? kept : 0);
  folder_[pageFolder[0] != '\0' ? kept : 0] = '\0';
#ifdef _WIN32
  HANDLE h = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    const DWORD size = GetFinalPathNameByHandleW(h, folderFinal_, kPathCapacity, FILE_NAME_NORMALIZED);
    if (size > 0 && size < kPathCapacity) folderFinalSize_ = size;
    CloseHandle(h);
  }
#else
#ifdef O_PATH
  folderFd_ = open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  folderFd_ = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
  if (folderFd_ < 0) folderError_ = errno;
#endif
}

PageFolderFiles::~PageFolderFiles() {
  file_.Close();
#ifndef _WIN32
  if (folderFd_ >= 0) close(folderFd_);
#endif
}

ByteSource* PageFolderFiles::OpenKitFile(const char* name) {
  file_.Close();
  if (!KitFile(kit_, name, path_)) {
    Join("", name, path_);
    file_.Refuse(ENAMETOOLONG);
    return nullptr;
  }
  switch (OpenRegularFile(path_, &file_)) {
    case OpenCheck::kOpened:
      return &file_;
    case OpenCheck::kNotAFile:
      file_.Refuse(EINVAL);
      return nullptr;
    case OpenCheck::kFailed:
      break;
  }
  return nullptr;
}

ImageOpen PageFolderFiles::OpenImage(Span address, ByteSource** image, ImageNote* why) {
  file_.Close();
  char relative[kPathCapacity];
  const ImagePath path = RelativeImagePath(address, relative);
  *why = path == ImagePath::kNone ? ImageNote::kMissing : ImageNote::kTooLong;
  if (path == ImagePath::kTooLong || path == ImagePath::kNone || !Join(folder_, relative, path_)) {
    return ImageOpen::kLeftAsItWas;
  }
  if (path == ImagePath::kParentStep && !allowOutside_) {
    *why = ImageNote::kOutside;
    return ImageOpen::kLeftAsItWas;
  }
  const ImageOpen opened = OpenInFolder(relative, why);
  if (opened == ImageOpen::kOpened) *image = &file_;
  return opened;
}

#ifdef _WIN32
ImageOpen PageFolderFiles::OpenInFolder(const char* relative, ImageNote* why) {
  // Opened by its whole path; where it really is shows on the open handle.
  char full[kPathCapacity];
  if (!Join(folder_[0] != '\0' ? folder_ : ".", relative, full)) {
    *why = ImageNote::kTooLong;
    return ImageOpen::kLeftAsItWas;
  }
  HANDLE h = CreateFileA(full, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // A folder cannot be opened as a file and says so as a permission error.
    const DWORD attributes = GetFileAttributesA(full);
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      *why = ImageNote::kNotAFile;
      return ImageOpen::kLeftAsItWas;
    }
    const int code = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
                         ? ENOENT
                     : error == ERROR_FILENAME_EXCED_RANGE ? ENAMETOOLONG
                     : error == ERROR_ACCESS_DENIED        ? EACCES
                                                           : EIO;
    file_.Refuse(code);
    return RefusedImage(code, why);
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    *why = ImageNote::kNotAFile;
    return ImageOpen::kLeftAsItWas;
  }
  if (!allowOutside_) {
    // Inside means below the folder's own final path, whatever links,
    // junctions or other spellings led there.
    wchar_t final[kPathCapacity];
    const DWORD size = GetFinalPathNameByHandleW(h, final, kPathCapacity, FILE_NAME_NORMALIZED);
    const bool inside = folderFinalSize_ > 0 && size > folderFinalSize_ && size < kPathCapacity &&
                        CompareStringOrdinal(final, static_cast<int>(folderFinalSize_), folderFinal_,
                                             static_cast<int>(folderFinalSize_), TRUE) == CSTR_EQUAL &&
                        (final[folderFinalSize_] == L'\\' || folderFinal_[folderFinalSize_ - 1] == L'\\');
    if (!inside) {
      CloseHandle(h);
      *why = ImageNote::kOutside;
      return ImageOpen::kLeftAsItWas;
    }
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), kReadFlags);
  if (fd < 0) CloseHandle(h);
  return TakeOpened(fd, &file_, why);
}
#else
ImageOpen PageFolderFiles::OpenInFolder(const char* relative, ImageNote* why) {
  int fd = -1;
  if (folderFd_ < 0) {
    errno = folderError_;
  } else if (allowOutside_) {
    do {
      fd = openat(folderFd_, relative, kReadFlags);
    } while (fd < 0 && errno == EINTR);
  } else {
    fd = OpenBeneath(folderFd_, relative);
    // A kernel without the call, or a sandbox that forbids it.
    if (fd < 0 && (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG)) {
      fd = OpenStepByStep(folderFd_, relative);
    }
  }
  if (fd >= 0) return TakeOpened(fd, &file_, why);
  const int error = errno;
  file_.Refuse(error);
  return RefusedImage(error, why);
}
#endif

}  // namespace plotweave
