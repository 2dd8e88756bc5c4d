#include "check/places.h"

#include <cstring>

#include "plan/fields.h"

namespace plotweave {

void RecordPlace(EntryPlace& place, long line, const char* piece, long firstColumn, const ColumnCarry& carry,
                 bool projectLine) {
  place.line = static_cast<int32_t>(line);
  place.firstColumn = static_cast<int32_t>(firstColumn);
  place.carry = carry;
  place.projectLine = projectLine;
  const size_t length = std::strlen(piece);
  const size_t kept = length < sizeof place.text ? length : sizeof place.text - 1;
  std::memcpy(place.text, piece, kept);
  place.text[kept] = '\0';
}

long FieldColumn(const EntryPlace& place, int field, bool fromUnicode) {
  const char* text = place.text;
  const char* cursor = text;
  const char* at = nullptr;
  FieldSpan span;
  if (!place.projectLine) {
    for (int i = 0; ScanField(&cursor, &span); ++i) {
      if (i == field) {
        at = span.start;
        break;
      }
    }
  } else if (ScanField(&cursor, &span)) {
    // A caption line holds a tag and a text, nothing more.
    if (field == 0) {
      at = span.start;
    } else if (field == 1) {
      // The caption text starts as many bytes into the line as the tag is
      // long, after blanks and control bytes.
      const char* p = text + span.length;
      while (static_cast<unsigned char>(*p) >= 1 && static_cast<unsigned char>(*p) <= 32) ++p;
      if (*p != '\0') at = p;
    }
  }
  if (at == nullptr) {
    // Past the line's last character.
    at = text + std::strlen(text);
    while (at > text && (at[-1] == '\n' || at[-1] == '\r')) --at;
  }
  ColumnCarry carry = place.carry;
  return place.firstColumn + CountCharacters(text, static_cast<size_t>(at - text), fromUnicode, &carry);
}

}  // namespace plotweave
