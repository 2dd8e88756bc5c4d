// Field scanning for plan lines, with the conversion rules of formatted input
// ("%s", "%hd", "%d") but never writing past a field's end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kscode/scan.h"

namespace plotweave {

// A run of non-blank bytes found in a line; points into the line.
struct FieldSpan {
  const char* start;
  size_t length;
};

// Bytes that end a field: the blanks and the zero byte that ends the line.
struct FieldEnds {
  bool end[256];
  constexpr FieldEnds() : end() {
    for (int c = 0; c < 256; ++c) end[c] = c == 0 || IsBlank(static_cast<unsigned char>(c));
  }
};
inline constexpr FieldEnds kFieldEnds;

// Skips blanks and takes the next field. False when the line has no more.
bool ScanField(const char** cursor, FieldSpan* field);

// The same for a line whose terminating zero byte stands at `end`: long
// fields (addresses, captions) are passed eight bytes at a time, and nothing
// at or after `end` is read. An `end` at or before the cursor reads a byte at
// a time.
bool ScanFieldBefore(const char** cursor, const char* end, FieldSpan* field);

// Numbers are read with ScanLong; the callers narrow the value as a
// formatted read would.

// Copies a field into a buffer of `width` bytes. A field that does not fit is
// cut before the first character that would not fit whole, where a character is
// one byte below 0x80 or a KS lead byte with its trail byte; a cut never splits
// a numeric character reference either. Returns true when the field was cut.
bool CopyField(char* dst, size_t width, const char* src, size_t length);

}  // namespace plotweave
