// Where each stored entry of the model came from in the plan: its physical
// line and the character column of each of its fields.
#pragma once

#include <cstdint>

#include "plan/model.h"

namespace plotweave {

inline constexpr int kMostFields = 6;  // a node line's

struct EntryPlace {
  int32_t line;
  int32_t fieldCount;            // fields the line holds, up to kMostFields
  int32_t column[kMostFields];   // where each of them starts
  int32_t endColumn;             // just after the line's last character
};

struct PlanPlaces {
  EntryPlace projects[kProjectCapacity];
  EntryPlace classes[kClassCapacity];
  EntryPlace relations[kRelationCapacity];
  EntryPlace nodes[kNodeCapacity];
  EntryPlace links[kLinkCapacity];
};

// Column of field `field` (from 0), or the end of the line for a field the
// line did not give (the entry then holds a default).
inline int32_t ColumnOf(const EntryPlace& place, int field) {
  return field < place.fieldCount ? place.column[field] : place.endColumn;
}

// Records the place of the entry read from `text` (one piece of a line,
// zero-terminated), whose first byte stands at `firstColumn`. A project line's
// second field is its text, which starts where the reader takes it from.
void RecordPlace(EntryPlace& place, long line, const char* text, long firstColumn, bool fromUnicode,
                 bool projectLine);

}  // namespace plotweave
