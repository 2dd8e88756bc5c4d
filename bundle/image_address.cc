#include "bundle/image_address.h"

#include <cstring>

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

ImagePath RelativeImagePath(Span address, char (&path)[kPathCapacity]) {
  size_t used = 0;
  size_t segment = 0;  // where the current path step begins
  bool parentStep = false;
  for (size_t i = 0; i < address.size; ++i) {
    char c = address.data[i];
    if (c == '?' || c == '#') break;
    if (c == '%' && i + 2 < address.size && HexValue(address.data[i + 1]) >= 0 &&
        HexValue(address.data[i + 2]) >= 0) {
      c = static_cast<char>(HexValue(address.data[i + 1]) * 16 + HexValue(address.data[i + 2]));
      if (c == '\0') return ImagePath::kNone;
      i += 2;
    }
    if (used + 1 >= kPathCapacity) return ImagePath::kTooLong;
    // A decoded "/" or "\" separates steps on disk as well. Steps are
    // always taken from the page's folder, never from the root.
    if (c == '/' || c == '\\') {
      if (used == 0) continue;
      if (used - segment == 2 && path[segment] == '.' && path[segment + 1] == '.') parentStep = true;
      path[used++] = '/';
      segment = used;
      continue;
    }
    path[used++] = c;
  }
  if (used - segment == 2 && path[segment] == '.' && path[segment + 1] == '.') parentStep = true;
  path[used] = '\0';
  if (used == 0 || used == segment) return ImagePath::kNone;
  return parentStep ? ImagePath::kParentStep : ImagePath::kOk;
}

}  // namespace plotweave
