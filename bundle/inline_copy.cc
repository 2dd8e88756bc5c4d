#include "bundle/inline_copy.h"

#include <cstring>

#include "bundle/page_text.h"

namespace plotweave {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Input per round: a multiple of 3, so only the last round needs padding.
constexpr size_t kChunk = 3 * 4096;

bool Starts(const unsigned char* head, size_t size, const char* magic, size_t n) {
  return size >= n && std::memcmp(head, magic, n) == 0;
}

bool EndsWithNoCase(const char* name, const char* suffix) {
  const size_t n = std::strlen(name);
  const size_t m = std::strlen(suffix);
  if (n < m) return false;
  for (size_t i = 0; i < m; ++i) {
    if (AsciiLower(name[n - m + i]) != suffix[i]) return false;
  }
  return true;
}

size_t EncodeBase64(const unsigned char* in, size_t n, char* out) {
  size_t o = 0;
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    out[o++] = kBase64[v >> 18];
    out[o++] = kBase64[(v >> 12) & 63];
    out[o++] = kBase64[(v >> 6) & 63];
    out[o++] = kBase64[v & 63];
  }
  if (i < n) {
    const unsigned v = (in[i] << 16) | (i + 1 < n ? in[i + 1] << 8 : 0);
    out[o++] = kBase64[v >> 18];
    out[o++] = kBase64[(v >> 12) & 63];
    out[o++] = i + 1 < n ? kBase64[(v >> 6) & 63] : '=';
    out[o++] = '=';
  }
  return o;
}

enum class Hazard { kNone, kPrefix, kWhole };

// Whether the held bytes begin, or are, "</script" or "<!--" (any case).
Hazard MatchHazard(const char* held, size_t count) {
  static const char* const kHazards[] = {"</script", "<!--"};
  for (const char* hazard : kHazards) {
    const size_t n = std::strlen(hazard);
    if (count > n) continue;
    size_t k = 0;
    while (k < count && AsciiLower(held[k]) == hazard[k]) ++k;
    if (k == count) return count == n ? Hazard::kWhole : Hazard::kPrefix;
  }
  return Hazard::kNone;
}

bool Put(FILE* out, const void* data, size_t n) { return std::fwrite(data, 1, n, out) == n; }

}  // namespace

const char* ImageMediaType(const unsigned char* head, size_t size, const char* name) {
  if (Starts(head, size, "\x89PNG\r\n\x1a\n", 8)) return "image/png";
  if (Starts(head, size, "\xff\xd8\xff", 3)) return "image/jpeg";
  if (Starts(head, size, "GIF87a", 6) || Starts(head, size, "GIF89a", 6)) return "image/gif";
  if (Starts(head, size, "RIFF", 4) && size >= 12 && std::memcmp(head + 8, "WEBP", 4) == 0) return "image/webp";
  if (Starts(head, size, "BM", 2)) return "image/bmp";
  if (Starts(head, size, "\0\0\1\0", 4)) return "image/x-icon";
  if (size >= 12 && std::memcmp(head + 4, "ftypavif", 8) == 0) return "image/avif";
  // SVG is text and may open with anything from a BOM to a comment.
  if (EndsWithNoCase(name, ".svg")) return "image/svg+xml";
  return "application/octet-stream";
}

CopyResult WriteDataUri(FILE* in, const char* name, FILE* out) {
  static unsigned char raw[kChunk];
  static char encoded[kChunk / 3 * 4];
  size_t got = std::fread(raw, 1, kChunk, in);
  if (std::ferror(in)) return CopyResult::kReadFailed;
  if (!Put(out, "data:", 5)) return CopyResult::kWriteFailed;
  const char* type = ImageMediaType(raw, got, name);
  if (!Put(out, type, std::strlen(type)) || !Put(out, ";base64,", 8)) return CopyResult::kWriteFailed;
  while (got > 0) {
    if (!Put(out, encoded, EncodeBase64(raw, got, encoded))) return CopyResult::kWriteFailed;
    // A short read is the end of the file (or a failure): a partial group of
    // three may only come last.
    if (got < kChunk) break;
    got = std::fread(raw, 1, kChunk, in);
  }
  return std::ferror(in) ? CopyResult::kReadFailed : CopyResult::kOk;
}

CopyResult CopyInlineScript(FILE* in, FILE* out, bool* endsWithLineEnd) {
  static unsigned char raw[1 << 16];
  // Bytes that may begin a hazard, held back until that is decided.
  char held[sizeof "</script"];
  size_t heldCount = 0;
  int last = -1;
  size_t got = 0;
  while ((got = std::fread(raw, 1, sizeof raw, in)) > 0) {
    last = raw[got - 1];
    for (size_t i = 0; i < got; ++i) {
      // Every hazard begins with "<": with nothing held, the bytes up to the
      // next one go out as they are, in one write.
      if (heldCount == 0 && raw[i] != '<') {
        const void* next = std::memchr(raw + i, '<', got - i);
        const size_t end = next != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(next) - raw) : got;
        if (!Put(out, raw + i, end - i)) return CopyResult::kWriteFailed;
        i = end - 1;
        continue;
      }
      held[heldCount++] = static_cast<char>(raw[i]);
      for (;;) {
        const Hazard match = MatchHazard(held, heldCount);
        if (match == Hazard::kWhole) {
          if (!Put(out, "\\x3C", 4) || !Put(out, held + 1, heldCount - 1)) return CopyResult::kWriteFailed;
          heldCount = 0;
        }
        if (match != Hazard::kNone || heldCount == 0) break;
        // No hazard starts at the first held byte: it goes out, the rest is looked at again.
        if (!Put(out, held, 1)) return CopyResult::kWriteFailed;
        std::memmove(held, held + 1, --heldCount);
        if (heldCount == 0) break;
      }
    }
  }
  if (std::ferror(in)) return CopyResult::kReadFailed;
  if (heldCount > 0 && !Put(out, held, heldCount)) return CopyResult::kWriteFailed;
  *endsWithLineEnd = last == '\n';
  return CopyResult::kOk;
}

}  // namespace plotweave
