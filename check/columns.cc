#include "check/columns.h"

namespace plotweave {

namespace {

// The value of a reference "&#NNNNN;" at text[i], as the plan normaliser
// writes it, or -1 when none stands there whole.
long FiveDigitReference(const char* text, size_t i, size_t bytes) {
  if (bytes - i < 8 || text[i] != '&' || text[i + 1] != '#' || text[i + 7] != ';') return -1;
  long value = 0;
  for (size_t k = i + 2; k < i + 7; ++k) {
    if (text[k] < '0' || text[k] > '9') return -1;
    value = value * 10 + (text[k] - '0');
  }
  return value;
}

}  // namespace

long CountCharacters(const char* text, size_t bytes, bool fromUnicode, ColumnCarry* carry) {
  long count = 0;
  size_t i = 0;
  if (carry->trailPending && bytes > 0) {
    carry->trailPending = false;
    i = 1;
  }
  if (!fromUnicode) {
    // KS text alone: a byte of 0x80 or more takes the next one along.
    while (i < bytes) {
      i += 1 + (static_cast<unsigned char>(text[i]) >> 7);
      ++count;
    }
    carry->trailPending = i > bytes;
    return count;
  }
  while (i < bytes) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b >= 0x80) {
      ++count;
      carry->afterHighHalf = false;
      if (i + 1 >= bytes) {
        carry->trailPending = true;
        return count;
      }
      i += 2;
      continue;
    }
    const long reference = FiveDigitReference(text, i, bytes);
    if (reference >= 0) {
      const bool lowHalf = reference >= 0xDC00 && reference <= 0xDFFF;
      if (!(lowHalf && carry->afterHighHalf)) ++count;
      carry->afterHighHalf = !lowHalf && reference >= 0xD800 && reference <= 0xDBFF;
      i += 8;
      continue;
    }
    ++count;
    carry->afterHighHalf = false;
    ++i;
  }
  return count;
}

long CountCharacters(const char* text, size_t bytes, bool fromUnicode) {
  ColumnCarry carry;
  return CountCharacters(text, bytes, fromUnicode, &carry);
}

}  // namespace plotweave
