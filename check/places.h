// Where each stored entry of the model came from in the plan: its physical
// line, kept whole so that the columns of its fields can be found when a
// finding needs one.
#pragma once

#include <cstdint>

#include "check/columns.h"
#include "plan/model.h"

namespace plotweave {

// A piece of a line as the reader reads it: at most 999 bytes and a zero.
inline constexpr int kPieceCopyWidth = 1000;

struct EntryPlace {
  int32_t line;         // 0 for an entry no line has given
  int32_t firstColumn;  // column of the piece's first byte
  ColumnCarry carry;    // counting state at that byte
  bool projectLine;     // a caption line, whose second field is its text
  char text[kPieceCopyWidth];
};

struct PlanPlaces {
  EntryPlace projects[kProjectCapacity];
  EntryPlace classes[kClassCapacity];
  EntryPlace relations[kRelationCapacity];
  EntryPlace nodes[kNodeCapacity];
  EntryPlace links[kLinkCapacity];
};

// Keeps the piece an entry was read from, which starts at `firstColumn`.
void RecordPlace(EntryPlace& place, long line, const char* piece, long firstColumn, const ColumnCarry& carry,
                 bool projectLine);

// Column where field `field` (from 0) of the entry's line starts, or the
// column after the line's end for a field the line does not give (the entry
// then holds a default).
long FieldColumn(const EntryPlace& place, int field, bool fromUnicode);

}  // namespace plotweave
