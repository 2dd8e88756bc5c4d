#include "import/table_reader.h"

#include <cstring>

#include "check/cp949.h"
#include "check/utf8.h"

namespace plotweave {

namespace {

constexpr unsigned long kReplacement = 0xFFFD;

}  // namespace

TableReader::TableReader(ByteSource& source, TableEncoding encoding, char delimiter)
    : in_(source), encoding_(encoding), delimiter_(delimiter) {}

void TableReader::Start() {
  started_ = true;
  if (in_.Peek(3) >= 3) {
    size_t n;
    const unsigned char* p = in_.Span(&n);
    if (p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
      in_.Skip(3);
      encoding_ = TableEncoding::kUtf8;
    }
  }
  if (delimiter_ != 0) return;
  // Counted in the first line as far as one buffer holds it; a quoted part
  // is not counted. Neither byte is ever part of a CP949 or UTF-8 character.
  size_t n = in_.Peek(kStreamBufferSize);
  const unsigned char* p = in_.Span(&n);
  long tabs = 0, commas = 0, semicolons = 0;
  bool quoted = false;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = p[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    tabs += c == '\t';
    commas += c == ',';
    semicolons += c == ';';
  }
  delimiter_ = tabs > commas && tabs > semicolons ? '\t' : semicolons > commas ? ';' : ',';
}

long TableReader::NextCharacter(bool* bad) {
  *bad = false;
  size_t n = in_.Peek(4);
  if (n == 0) return -1;
  const unsigned char* p = in_.Span(&n);
  if (p[0] < 0x80) {
    in_.Skip(1);
    return p[0];
  }
  if (encoding_ == TableEncoding::kCp949) {
    const uint16_t cp = n >= 2 ? Cp949ToUnicode(p[0], p[1]) : 0;
    if (cp != 0) {
      in_.Skip(2);
      return cp;
    }
    // A lead byte whose trail byte is ASCII leaves that byte to be read as
    // itself, so a stray byte never swallows a delimiter or a line end.
    in_.Skip(n >= 2 && p[1] >= 0x80 ? 2 : 1);
    *bad = true;
    return kReplacement;
  }
  unsigned long cp;
  const size_t length = DecodeUtf8(p, n, &cp);
  if (length == 0) {
    in_.Skip(1);
    *bad = true;
    return kReplacement;
  }
  in_.Skip(length);
  return static_cast<long>(cp);
}

long TableReader::Peeked(bool* bad) {
  if (!havePeek_) {
    peek_ = NextCharacter(&peekBad_);
    havePeek_ = true;
  }
  *bad = peekBad_;
  return peek_;
}

bool TableReader::Next(TableRow* row) {
  if (!started_) Start();
  row->count = 0;
  row->dropped = 0;
  row->openQuote = false;
  bool bad;
  if (Peeked(&bad) < 0) return false;
  row->row = ++rows_;
  TableCell* cell = nullptr;
  char scratch[4];
  // Starts the next cell; cells past the kept ones are read into nothing.
  auto open = [&]() {
    if (row->count < kTableColumns) {
      cell = &row->cells[row->count++];
      cell->length = 0;
      cell->badByteAt = -1;
      cell->text[0] = '\0';
    } else {
      cell = nullptr;
      ++row->dropped;
    }
  };
  auto put = [&](long cp, bool wasBad) {
    if (cell == nullptr) return;
    if (wasBad && cell->badByteAt < 0) cell->badByteAt = static_cast<long>(cell->length);
    const size_t n = PutUtf8(static_cast<unsigned long>(cp), scratch);
    if (cell->length + n >= kCellWidth) return;  // kept to its width; the rest is dropped
    std::memcpy(cell->text + cell->length, scratch, n);
    cell->length += n;
    cell->text[cell->length] = '\0';
  };
  open();
  bool quoted = false;    // inside a quoted part
  bool cellStart = true;  // nothing of the cell read yet
  for (;;) {
    const long c = Peeked(&bad);
    havePeek_ = false;
    if (c < 0) {
      row->openQuote = quoted;
      break;
    }
    if (quoted) {
      if (c == '"') {
        if (Peeked(&bad) == '"') {
          havePeek_ = false;
          put('"', false);
        } else {
          quoted = false;
        }
      } else {
        put(c, bad);
      }
      continue;
    }
    if (c == '"' && cellStart) {
      quoted = true;
      cellStart = false;
      continue;
    }
    if (c == delimiter_) {
      open();
      cellStart = true;
      continue;
    }
    if (c == '\n') break;
    if (c == '\r') {
      if (Peeked(&bad) == '\n') havePeek_ = false;
      break;
    }
    cellStart = false;
    put(c, bad);
  }
  return true;
}

}  // namespace plotweave
