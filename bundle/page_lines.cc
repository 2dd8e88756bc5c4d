#include "bundle/page_lines.h"

#include <cstring>

#include "page/page_contract.h"

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

constexpr size_t kSeparatorSize = sizeof kRowSeparator - 1;

// Offset of the last row separator that ends at or before `end`, or `none`.
constexpr size_t kNone = static_cast<size_t>(-1);
size_t LastSeparator(Span s, size_t end) {
  for (size_t i = end; i >= kSeparatorSize; --i) {
    if (std::memcmp(s.data + i - kSeparatorSize, kRowSeparator, kSeparatorSize) == 0) return i - kSeparatorSize;
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
  const Span tag = Trim(body, indent);
  if (!StartsWith(tag, 0, kScriptOpen) || !EndsWith(tag, kScriptClose)) return ScriptLine::kNone;
  const size_t start = sizeof kScriptOpen - 1;
  if (tag.size < start + sizeof kScriptClose - 1) return ScriptLine::kNone;
  const Span src{tag.data + start, tag.size - start - (sizeof kScriptClose - 1)};
  if (std::memchr(src.data, '"', src.size) != nullptr) return ScriptLine::kNone;

  ScriptLine kind = ScriptLine::kNone;
  size_t pathSize = 0;
  if (EndsWith(src, kNetworkPath)) {
    kind = ScriptLine::kNetwork;
    pathSize = sizeof kNetworkPath - 1;
  } else if (EndsWith(src, kLoaderPath)) {
    kind = ScriptLine::kLoader;
    pathSize = sizeof kLoaderPath - 1;
  }
  if (kind == ScriptLine::kNone || src.size - pathSize >= kHostCapacity) return ScriptLine::kNone;
  *host = Span{src.data, src.size - pathSize};
  return kind;
}

bool FindNodeRowValues(Span body, NodeRowValues* values) {
  const Span row = Trim(body, nullptr);
  if (!StartsWith(row, 0, kNodeRowOpen) || !EndsWith(row, kRowClose)) return false;
  const size_t first = sizeof kNodeRowOpen - 1;
  const size_t last = row.size - (sizeof kRowClose - 1);
  if (last < first) return false;
  // The values after the text are found from the right, the last first.
  size_t begin[kNodeColumnCount] = {};
  size_t end[kNodeColumnCount] = {};
  size_t stop = last;
  for (size_t column = kNodeColumnCount - 1; column > kNodeText; --column) {
    const size_t cut = LastSeparator(row, stop);
    if (cut == kNone || cut < first) return false;
    begin[column] = cut + kSeparatorSize;
    end[column] = stop;
    stop = cut;
  }
  values->image = Span{row.data + begin[kNodeImage], end[kNodeImage] - begin[kNodeImage]};
  values->title = Span{row.data + begin[kNodeTitle], end[kNodeTitle] - begin[kNodeTitle]};
  return true;
}

bool NextTitleImage(Span text, size_t from, Span* address) {
  const size_t n = sizeof kTitleImageOpen - 1;
  for (size_t i = from; i + n <= text.size; ++i) {
    if (std::memcmp(text.data + i, kTitleImageOpen, n) != 0) continue;
    const char* start = text.data + i + n;
    const void* quote = std::memchr(start, '"', text.size - i - n);
    if (quote == nullptr) return false;
    *address = Span{start, static_cast<size_t>(static_cast<const char*>(quote) - start)};
    return true;
  }
  return false;
}

}  // namespace plotweave
