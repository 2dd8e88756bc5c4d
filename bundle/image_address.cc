#include "bundle/image_address.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "io/file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace plotweave {

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithNoCase(Span s, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (s.size < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (AsciiLower(s.data[i]) != prefix[i]) return false;
  }
  return true;
}

// Length of a URI scheme at the start of `s` (letters, digits, "+-." after a
// letter, then ":"), or 0. One letter is a Windows drive, not a scheme.
size_t SchemeLength(Span s) {
  if (s.size == 0 || !IsAlpha(s.data[0])) return 0;
  for (size_t i = 1; i < s.size; ++i) {
    const char c = s.data[i];
    if (c == ':') return i >= 2 ? i : 0;
    if (!IsAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

enum class FilePart { kOk, kTooLong, kNone };

// Appends the file part of `address` to `path` (which holds `used` bytes):
// up to "?" or "#", with %XX decoded. kNone when that part is empty, ends in a
// "/" or decodes to a zero byte.
FilePart AppendFilePart(Span address, char (&path)[kPathCapacity], size_t used, bool* parentStep) {
  const size_t start = used;
  size_t segment = used;  // where the current path step begins
  *parentStep = false;
  for (size_t i = 0; i < address.size; ++i) {
    char c = address.data[i];
    if (c == '?' || c == '#') break;
    if (c == '%' && i + 2 < address.size && HexValue(address.data[i + 1]) >= 0 &&
        HexValue(address.data[i + 2]) >= 0) {
      c = static_cast<char>(HexValue(address.data[i + 1]) * 16 + HexValue(address.data[i + 2]));
      if (c == '\0') return FilePart::kNone;
      i += 2;
    }
    if (used + 1 >= kPathCapacity) return FilePart::kTooLong;
    // A decoded "/" or "\" separates steps on disk as well.
    if (c == '/' || c == '\\') {
      if (used - segment == 2 && path[segment] == '.' && path[segment + 1] == '.') *parentStep = true;
      path[used++] = '/';
      segment = used;
      continue;
    }
    path[used++] = c;
  }
  if (used - segment == 2 && path[segment] == '.' && path[segment + 1] == '.') *parentStep = true;
  path[used] = '\0';
  return used > start && used > segment ? FilePart::kOk : FilePart::kNone;
}

// Whether the file at `path` really lies inside `folder`, links resolved.
bool InsideFolder(const char* folder, const char* path) {
#ifdef _WIN32
  // Symbolic links and junctions are reparse points; one anywhere on the way
  // below the folder could lead out of it, so none is followed.
  char step[kPathCapacity];
  const size_t base = std::strlen(folder);
  const size_t n = std::strlen(path);
  if (n >= kPathCapacity) return false;
  std::memcpy(step, path, n + 1);
  for (size_t i = n; i > base; --i) {
    if (i != n && step[i] != '/') continue;
    step[i] = '\0';
    const DWORD attributes = GetFileAttributesA(step);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (i != n) step[i] = '/';
  }
  return true;
#else
  char realFolder[PATH_MAX];
  char realFile[PATH_MAX];
  if (realpath(folder, realFolder) == nullptr || realpath(path, realFile) == nullptr) return false;
  const size_t n = std::strlen(realFolder);
  if (n == 1) return true;  // the root folder holds everything
  return std::strncmp(realFile, realFolder, n) == 0 && realFile[n] == '/';
#endif
}

}  // namespace

ImageAddress ClassifyImageAddress(Span address, Span placeholder) {
  if (address.size == 0) return ImageAddress::kEmpty;
  for (size_t i = 0; i < address.size; ++i) {
    const unsigned char c = static_cast<unsigned char>(address.data[i]);
    if (c < 0x20 || c == 0x7f || c == '\'' || c == '"' || c == '\\' || c == '<' || c == '>') {
      return ImageAddress::kUnusual;
    }
  }
  if (address.size == placeholder.size && std::memcmp(address.data, placeholder.data, address.size) == 0) {
    return ImageAddress::kPlaceholder;
  }
  if (StartsWithNoCase(address, "data:")) return ImageAddress::kInline;
  if (StartsWithNoCase(address, "http:") || StartsWithNoCase(address, "https:") ||
      StartsWithNoCase(address, "//")) {
    return ImageAddress::kNetwork;
  }
  if (SchemeLength(address) > 0) return ImageAddress::kOtherScheme;
  if (address.data[0] == '/' || (address.size >= 2 && IsAlpha(address.data[0]) && address.data[1] == ':')) {
    return ImageAddress::kAbsolutePath;
  }
  return ImageAddress::kRelative;
}

ImageFile OpenRelativeImage(const char* folder, Span address, bool allowOutside, char (&path)[kPathCapacity],
                            FILE** file) {
  *file = nullptr;
  const size_t base = std::strlen(folder);
  if (base + 2 >= kPathCapacity) return ImageFile::kTooLong;
  std::memcpy(path, folder, base);
  size_t used = base;
  if (used > 0 && path[used - 1] != '/' && path[used - 1] != '\\') path[used++] = '/';
  bool parentStep = false;
  const FilePart part = AppendFilePart(address, path, used, &parentStep);
  if (part != FilePart::kOk) {
    path[used] = '\0';
    return part == FilePart::kTooLong ? ImageFile::kTooLong : ImageFile::kMissing;
  }
  if (!allowOutside && parentStep) return ImageFile::kOutside;
  if (!IsRegularFile(path)) return ImageFile::kMissing;
  if (!allowOutside && !InsideFolder(base > 0 ? folder : ".", path)) return ImageFile::kOutside;
  *file = OpenFile(path, "rb");
  return *file != nullptr ? ImageFile::kOpened : ImageFile::kMissing;
}

}  // namespace plotweave
