#include "bundle/page_lines.h"

#include <cstring>

namespace plotweave {

namespace {

bool StartsWith(Span s, size_t at, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return at <= s.size && s.size - at >= n && std::memcmp(s.data + at, prefix, n) == 0;
}

bool EndsWith(Span s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size >= n && std::memcmp(s.data + s.size - n, suffix, n) == 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `s` without blanks at either end; `indent` receives the leading ones.
Span Trim(Span s, Span* indent) {
  size_t begin = 0;
  size_t end = s.size;
  while (begin < end && IsBlank(s.data[begin])) ++begin;
  while (end > begin && IsBlank(s.data[end - 1])) --end;
  if (indent != nullptr) *indent = Span{s.data, begin};
  return Span{s.data + begin, end - begin};
}

// Offset of the last "', '" that ends at or before `end`, or `none`.
constexpr size_t kNone = static_cast<size_t>(-1);
size_t LastSeparator(Span s, size_t end) {
  for (size_t i = end; i >= 4; --i) {
    if (std::memcmp(s.data + i - 4, "', '", 4) == 0) return i - 4;
  }
  return kNone;
}

}  // namespace

bool PageLineReader::Next(Span* line, bool* whole) {
  reader_.Skip(pending_);
  pending_ = 0;
  // Fewer bytes ahead than a line may hold means the page ends there.
  const size_t ahead = reader_.Peek(kPageLineCapacity);
  if (ahead == 0 || reader_.Failed()) return false;
  size_t count = 0;
  const unsigned char* bytes = reader_.Span(&count);
  const size_t limit = ahead < kPageLineCapacity ? ahead : kPageLineCapacity;
  const void* lf = std::memchr(bytes, '\n', limit);
  const size_t n = lf != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(lf) - bytes) + 1 : limit;
  const bool ended = lf != nullptr || ahead < kPageLineCapacity;
  *line = Span{reinterpret_cast<const char*>(bytes), n};
  *whole = atLineStart_ && ended;
  atLineStart_ = ended;
  pending_ = n;
  return true;
}

Span LineBody(Span line) {
  size_t n = line.size;
  if (n > 0 && line.data[n - 1] == '\n') --n;
  if (n > 0 && line.data[n - 1] == '\r') --n;
  return Span{line.data, n};
}

ScriptLine MatchScriptLine(Span body, Span* host, Span* indent) {
  static const char kOpen[] = "<script type=\"text/javascript\" src=\"";
  static const char kClose[] = "\"></script>";
  const Span tag = Trim(body, indent);
  if (!StartsWith(tag, 0, kOpen) || !EndsWith(tag, kClose)) return ScriptLine::kNone;
  const size_t start = sizeof kOpen - 1;
  if (tag.size < start + sizeof kClose - 1) return ScriptLine::kNone;
  const Span src{tag.data + start, tag.size - start - (sizeof kClose - 1)};
  if (std::memchr(src.data, '"', src.size) != nullptr) return ScriptLine::kNone;

  ScriptLine kind = ScriptLine::kNone;
  size_t pathSize = 0;
  if (EndsWith(src, "/Graph/network/network.js")) {
    kind = ScriptLine::kNetwork;
    pathSize = std::strlen("/Graph/network/network.js");
  } else if (EndsWith(src, "/jsapi")) {
    kind = ScriptLine::kLoader;
    pathSize = std::strlen("/jsapi");
  }
  if (kind == ScriptLine::kNone || src.size - pathSize >= kHostCapacity) return ScriptLine::kNone;
  *host = Span{src.data, src.size - pathSize};
  return kind;
}

bool FindNodeRowValues(Span body, NodeRowValues* values) {
  static const char kOpen[] = "nodesTable.addRow(['";
  static const char kClose[] = "']);";
  const Span row = Trim(body, nullptr);
  if (!StartsWith(row, 0, kOpen) || !EndsWith(row, kClose)) return false;
  const size_t first = sizeof kOpen - 1;
  const size_t last = row.size - (sizeof kClose - 1);
  if (last < first) return false;
  // From the right: before url, before image, before style, before title.
  size_t cut[4];
  size_t end = last;
  for (size_t& c : cut) {
    c = LastSeparator(row, end);
    if (c == kNone || c < first) return false;
    end = c;
  }
  values->image = Span{row.data + cut[1] + 4, cut[0] - cut[1] - 4};
  values->title = Span{row.data + cut[3] + 4, cut[2] - cut[3] - 4};
  return true;
}

bool NextTitleImage(Span text, size_t from, Span* address) {
  static const char kImg[] = "<img src=\"";
  const size_t n = sizeof kImg - 1;
  for (size_t i = from; i + n <= text.size; ++i) {
    if (std::memcmp(text.data + i, kImg, n) != 0) continue;
    const char* start = text.data + i + n;
    const void* quote = std::memchr(start, '"', text.size - i - n);
    if (quote == nullptr) return false;
    *address = Span{start, static_cast<size_t>(static_cast<const char*>(quote) - start)};
    return true;
  }
  return false;
}

}  // namespace plotweave
