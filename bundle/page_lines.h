// The lines of a page as the standalone copy sees them: read one by one, and
// searched for the parts the copy replaces (the two outside-script lines and
// the image addresses of a node row).
#pragma once

#include <cstddef>

#include "io/stream.h"

namespace plotweave {

// A run of bytes inside a buffer owned by someone else.
struct Span {
  const char* data = nullptr;
  size_t size = 0;
};

// Longest line handled as a whole. Every line the page writer produces is far
// shorter; a longer one (hand-edited) is passed on in pieces, untouched.
inline constexpr size_t kPageLineCapacity = 16384;

// Lines are handed out as they stand in the reader's buffer, line ends as
// they are (a CR LF stays a CR LF): the copy must keep every byte.
class PageLineReader {
 public:
  explicit PageLineReader(ByteSource& page) : reader_(page) {}
  PageLineReader(const PageLineReader&) = delete;
  PageLineReader& operator=(const PageLineReader&) = delete;

  // The next line with its line end, or the next piece of a line longer than
  // kPageLineCapacity (`whole` false: it is not a line from its start to its
  // end). The bytes stay valid until the next call. False at the end of the
  // page or on a read error.
  bool Next(Span* line, bool* whole);
  bool Failed() const { return reader_.Failed(); }

 private:
  BufferedReader reader_;
  size_t pending_ = 0;  // bytes of the last line, skipped at the next call
  bool atLineStart_ = true;
};
static_assert(kPageLineCapacity <= kStreamBufferSize, "a whole line must fit in the reader's buffer");

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `line` without its LF or CR LF.
Span LineBody(Span line);

enum class ScriptLine { kNone, kLoader, kNetwork };

// Longest scheme and host accepted in front of a script's fixed path.
inline constexpr size_t kHostCapacity = 1024;

// Whether `body` is the page's loader line or network script line (see
// page/page_contract.h), with any blanks around it. `host` receives HOST (whatever address the build
// was configured with); `indent` the leading blanks.
ScriptLine MatchScriptLine(Span body, Span* host, Span* indent);

// The title and image values of a node row (see page/page_contract.h). The
// values are found from the right: those after the text never hold the row
// separator (they have no blanks but inside the anchor markup), while the
// text may, once underscores have become blanks.
struct NodeRowValues {
  Span title;
  Span image;
};
bool FindNodeRowValues(Span body, NodeRowValues* values);

// The address of the first title picture (<img src="...">) in `text` at or after `from`
// (an offset into text); false when there is none.
bool NextTitleImage(Span text, size_t from, Span* address);

}  // namespace plotweave
