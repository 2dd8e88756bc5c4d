// Character columns in the KS text the reader sees.
#pragma once

#include <cstddef>

namespace plotweave {

// Counting state carried from one piece of a physical line to the next: a
// line longer than a read is delivered in pieces, and a KS character may
// straddle two of them.
struct ColumnCarry {
  bool trailPending = false;     // the next byte is the trail of a KS pair
  bool afterHighHalf = false;    // the last character was a high surrogate reference
};

// Number of characters in text[0, bytes) as the plan's own encoding shows
// them: an ASCII byte or a KS pair is one character. In a plan that was
// converted from Unicode, a five-digit reference "&#NNNNN;" written for a
// character without a KS code is one character, and the references of a
// surrogate pair together are one. Updates `carry` for the bytes counted.
long CountCharacters(const char* text, size_t bytes, bool fromUnicode, ColumnCarry* carry);

// The same without carry, for text that starts a line or a field.
long CountCharacters(const char* text, size_t bytes, bool fromUnicode);

}  // namespace plotweave
