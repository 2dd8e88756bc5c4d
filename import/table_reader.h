// Spreadsheet tables as a spreadsheet program saves them: comma- or
// tab-separated, fields quoted with '"' where they need it, in UTF-8 (with
// or without a byte-order mark) or in CP949. Each record comes out as UTF-8
// cells in fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/stream.h"

namespace plotweave {

enum class TableEncoding : uint8_t { kUtf8, kCp949 };

// Cells kept of one record; more are counted, not kept.
inline constexpr int kTableColumns = 32;
// UTF-8 bytes kept of one cell, zero included: far more than any plan field
// holds, so a cell cut here is cut again, and reported, where it is written.
inline constexpr size_t kCellWidth = 2048;

struct TableCell {
  char text[kCellWidth];
  size_t length;
  // Byte offset in `text` of the first character that was not valid in the
  // table's encoding (written as U+FFFD), or -1.
  long badByteAt;
};

struct TableRow {
  long row;        // record number, the header row being 1
  int count;       // cells kept
  int dropped;     // cells past kTableColumns
  bool openQuote;  // a quoted cell ran to the end of the table
  TableCell cells[kTableColumns];
};

class TableReader {
 public:
  // `delimiter` 0 takes the delimiter from the first line: a tab when it
  // holds more tabs than commas and semicolons, else a semicolon when it
  // holds more of those than commas, else a comma. A table that starts with
  // the UTF-8 byte-order mark is UTF-8 whatever `encoding` says.
  TableReader(ByteSource& source, TableEncoding encoding, char delimiter);
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // Reads the next record; false at the end of the table or when a read
  // failed (Failed() tells).
  bool Next(TableRow* row);
  bool Failed() const { return in_.Failed(); }
  char delimiter() const { return delimiter_; }

 private:
  void Start();
  // The next character as a code point, -1 at the end; *bad is set for bytes
  // that are not a character of the encoding (the result is then U+FFFD).
  long NextCharacter(bool* bad);
  long Peeked(bool* bad);

  BufferedReader in_;
  TableEncoding encoding_;
  char delimiter_;
  bool started_ = false;
  bool havePeek_ = false;
  long peek_ = 0;
  bool peekBad_ = false;
  long rows_ = 0;
};

}  // namespace plotweave
