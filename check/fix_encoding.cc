#include "check/fix_encoding.h"

#include <cstring>

#include "check/cp949.h"
#include "check/utf8.h"
#include "kscode/kscode.h"

namespace plotweave {

namespace {

constexpr unsigned long kNoCharacter = 0x25A3;  // what the page shows instead

// The character a two-byte code of the plan stands for.
unsigned long CharacterOf(uint8_t lead, uint8_t trail) {
  if (const uint16_t cp = Cp949ToUnicode(lead, trail)) return cp;
  const uint16_t shown = KsToUnicode(lead, trail);
  return shown >= 0x80 ? shown : kNoCharacter;
}

}  // namespace

StreamStatus CopyAsUtf8(ByteSource& plan, ByteSink& copy) {
  BufferedReader in(plan);
  bool written;
  {
    BufferedWriter out(copy);
    out.Write("\xEF\xBB\xBF");
    int b;
    while ((b = in.Next()) >= 0) {
      if (b < 0x80) {
        out.Put(static_cast<unsigned char>(b));
        continue;
      }
      size_t n = in.Peek(1);
      size_t avail;
      const unsigned char* next = in.Span(&avail);
      char bytes[4];
      // A line end is never taken as a trail byte: the reader ends the line
      // there.
      if (n == 0 || next[0] == '\n' || next[0] == '\r') {
        out.Write(bytes, PutUtf8(kNoCharacter, bytes));
        continue;
      }
      in.Skip(1);
      out.Write(bytes, PutUtf8(CharacterOf(static_cast<uint8_t>(b), next[0]), bytes));
    }
    written = out.Flush();
  }
  if (in.Failed() || plan.Failed()) return StreamStatus::kReadFailed;
  return written ? StreamStatus::kDone : StreamStatus::kWriteFailed;
}

bool Utf8CopyName(const char* plan, char* out, size_t width) {
  const char* name = plan;
  for (const char* p = plan; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  const char* dot = std::strchr(name, '.');
  const size_t base = static_cast<size_t>((dot != nullptr ? dot : name + std::strlen(name)) - plan);
  constexpr char kSuffix[] = "-utf8.lst";
  if (base == static_cast<size_t>(name - plan) || base + sizeof kSuffix > width) return false;
  std::memcpy(out, plan, base);
  std::memcpy(out + base, kSuffix, sizeof kSuffix);
  return true;
}

}  // namespace plotweave
