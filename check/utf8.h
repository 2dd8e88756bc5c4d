// UTF-8, one character at a time.
#pragma once

#include <cstddef>

namespace plotweave {

// Writes the UTF-8 form of `cp` (up to U+10FFFF) to out, which has room for
// four bytes; returns its length.
size_t PutUtf8(unsigned long cp, char* out);

// Decodes the well-formed UTF-8 character at p[0, n): no overlong form, no
// surrogate, nothing beyond U+10FFFF. Its length, or 0 when the bytes there
// are no such character.
size_t DecodeUtf8(const unsigned char* p, size_t n, unsigned long* cp);

}  // namespace plotweave
