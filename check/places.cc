#include "check/places.h"

#include <cstring>

#include "check/columns.h"
#include "plan/fields.h"

namespace plotweave {

void RecordPlace(EntryPlace& place, long line, const char* text, long firstColumn, bool fromUnicode,
                 bool projectLine) {
  place.line = static_cast<int32_t>(line);
  place.fieldCount = 0;
  const char* cursor = text;
  FieldSpan field;
  while (place.fieldCount < kMostFields && ScanField(&cursor, &field)) {
    place.column[place.fieldCount++] =
        static_cast<int32_t>(firstColumn + CountCharacters(text, static_cast<size_t>(field.start - text), fromUnicode));
    if (projectLine) {
      // The caption text starts as many bytes into the line as the tag is
      // long, after blanks and control bytes.
      const char* p = text + field.length;
      while (static_cast<unsigned char>(*p) >= 1 && static_cast<unsigned char>(*p) <= 32) ++p;
      if (*p != '\0') {
        place.column[place.fieldCount++] =
            static_cast<int32_t>(firstColumn + CountCharacters(text, static_cast<size_t>(p - text), fromUnicode));
      }
      break;
    }
  }
  size_t length = std::strlen(text);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
  place.endColumn = static_cast<int32_t>(firstColumn + CountCharacters(text, length, fromUnicode));
}

}  // namespace plotweave
