#include "bundle/inline_copy.h"

#include <cstring>

#include "bundle/page_lines.h"

namespace plotweave {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Input per round: a multiple of 3, so only the last round needs padding,
// and encoded it fills the writer's buffer exactly.
constexpr size_t kChunk = kStreamBufferSize / 4 * 3;

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

// Reads until `capacity` bytes are in or the source ends: a source may hand
// out less than was asked for without being at its end.
size_t ReadFull(ByteSource& in, unsigned char* buffer, size_t capacity) {
  size_t got = 0;
  while (got < capacity) {
    const size_t n = in.Read(buffer + got, capacity - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

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

StreamStatus WriteDataUri(ByteSource& in, const char* name, BufferedWriter& out) {
  static unsigned char raw[kChunk];
  size_t got = ReadFull(in, raw, kChunk);
  if (in.Failed()) return StreamStatus::kReadFailed;
  out.Write("data:", 5);
  out.Write(ImageMediaType(raw, got, name));
  out.Write(";base64,", 8);
  while (got > 0) {
    // Encoded straight into the writer's buffer.
    size_t room = 0;
    unsigned char* encoded = out.Reserve(kChunk / 3 * 4, &room);
    out.Commit(EncodeBase64(raw, got, reinterpret_cast<char*>(encoded)));
    // A large image on a full disk stops at the first failed write.
    if (out.Failed()) return StreamStatus::kWriteFailed;
    // Only a short read may leave a partial group of three: it is the end.
    if (got < kChunk) break;
    got = ReadFull(in, raw, kChunk);
  }
  if (in.Failed()) return StreamStatus::kReadFailed;
  return out.Failed() ? StreamStatus::kWriteFailed : StreamStatus::kDone;
}

StreamStatus CopyInlineScript(ByteSource& in, BufferedWriter& out, bool* endsWithLineEnd) {
  static unsigned char raw[1 << 16];
  // Bytes that may begin a hazard, held back until that is decided.
  char held[sizeof "</script"];
  size_t heldCount = 0;
  int last = -1;
  size_t got = 0;
  while ((got = in.Read(raw, sizeof raw)) > 0) {
    last = raw[got - 1];
    for (size_t i = 0; i < got; ++i) {
      // Every hazard begins with "<": with nothing held, the bytes up to the
      // next one go out as they are, in one write.
      if (heldCount == 0 && raw[i] != '<') {
        const void* next = std::memchr(raw + i, '<', got - i);
        const size_t end = next != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(next) - raw) : got;
        out.Write(raw + i, end - i);
        i = end - 1;
        continue;
      }
      held[heldCount++] = static_cast<char>(raw[i]);
      for (;;) {
        const Hazard match = MatchHazard(held, heldCount);
        if (match == Hazard::kWhole) {
          out.Write("\\x3C", 4);
          out.Write(held + 1, heldCount - 1);
          heldCount = 0;
        }
        if (match != Hazard::kNone || heldCount == 0) break;
        // No hazard starts at the first held byte: it goes out, the rest is looked at again.
        out.Put(static_cast<unsigned char>(held[0]));
        std::memmove(held, held + 1, --heldCount);
        if (heldCount == 0) break;
      }
    }
    if (out.Failed()) return StreamStatus::kWriteFailed;
  }
  if (in.Failed()) return StreamStatus::kReadFailed;
  out.Write(held, heldCount);
  *endsWithLineEnd = last == '\n';
  return out.Failed() ? StreamStatus::kWriteFailed : StreamStatus::kDone;
}

}  // namespace plotweave
