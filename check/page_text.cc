#include "check/page_text.h"

#include <cstring>

#include "io/stream.h"
#include "kscode/page_encoder.h"

namespace plotweave {

namespace {

// Keeps what the encoder writes, up to its capacity.
class MemorySink final : public ByteSink {
 public:
  MemorySink(char* buffer, size_t capacity) : buf_(buffer), capacity_(capacity) {}
  bool Write(const void* data, size_t count) override {
    size_t n = capacity_ - used_ < count ? capacity_ - used_ : count;
    std::memcpy(buf_ + used_, data, n);
    used_ += n;
    return n == count;
  }
  size_t used() const { return used_; }

 private:
  char* buf_;
  size_t capacity_;
  size_t used_ = 0;
};

// What follows a text in the page: its closing quote and more of the row.
constexpr char kAfterText[] = "', '";
constexpr size_t kAfterLength = sizeof kAfterText - 1;

// The page encoder's output for the first `length` bytes of `ks` followed by
// `after`; returns its length.
size_t Encode(const char* ks, size_t length, const char* after, char* out, size_t width) {
  static char chunk[kPageTextWidth];
  if (length > sizeof chunk - kAfterLength - 1) length = sizeof chunk - kAfterLength - 1;
  std::memcpy(chunk, ks, length);
  const size_t tail = std::strlen(after);
  std::memcpy(chunk + length, after, tail + 1);
  MemorySink sink(out, width);
  {
    BufferedWriter writer(sink);
    EncodeChunk(chunk, writer);
  }
  return sink.used();
}

}  // namespace

void ViewInPage(const char* ks, PageText* view) {
  const size_t n = Encode(ks, std::strlen(ks), kAfterText, view->bytes, sizeof view->bytes);
  view->closingQuoteKept = n >= kAfterLength && std::memcmp(view->bytes + n - kAfterLength, kAfterText, kAfterLength) == 0;
  view->length = view->closingQuoteKept ? n - kAfterLength : n;
}

size_t SourceOffsetOf(const char* ks, size_t offset) {
  // The shortest prefix whose page form reaches past `offset` ends with the
  // character in question. An escape cut short shows as its text, so page
  // forms do not always grow with their prefixes: every one is tried.
  static char out[kPageTextWidth];
  const size_t length = std::strlen(ks);
  for (size_t k = 0; k < length; ++k) {
    if (Encode(ks, k + 1, "", out, sizeof out) > offset) return k;
  }
  return length;
}

bool StartsWithFolded(const char* t, size_t n, const char* lower) {
  const size_t len = std::strlen(lower);
  if (n < len) return false;
  for (size_t i = 0; i < len; ++i) {
    const char c = (t[i] >= 'A' && t[i] <= 'Z') ? static_cast<char>(t[i] - 'A' + 'a') : t[i];
    if (c != lower[i]) return false;
  }
  return true;
}

void ShowText(const char* ks, char* out, size_t width) {
  static char page[kPageTextWidth];
  size_t n = Encode(ks, std::strlen(ks), "", page, sizeof page);
  // A message is one line: a caption's line end is left out, other control
  // bytes show as '?'.
  while (n > 0 && (page[n - 1] == '\n' || page[n - 1] == '\r')) --n;
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(page[i]) < 0x20) page[i] = '?';
  }
  if (n > width - 1) {
    n = width - 1;
    while (n > 0 && (static_cast<unsigned char>(page[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(out, page, n);
  out[n] = '\0';
}

}  // namespace plotweave
