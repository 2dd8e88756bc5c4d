// The KS character lookups, both ways.
#pragma once

#include <cstdint>

namespace plotweave {

// Unicode code point of a two-byte KS code; 0 when the pair has no character.
// Any lead 0x80..0xFF with any trail 0x00..0xFF is a valid call.
uint16_t KsToUnicode(uint8_t lead, uint8_t trail);

// Code index of a hanja or extended hanja code (0..19,877); 0 for anything else.
int KsCodeIndex(uint8_t lead, uint8_t trail);

// KS X 1001 code of a 16-bit code unit of 0x80 or more. Returns false for no mapping.
bool UnicodeToKs(uint16_t unit, uint8_t* lead, uint8_t* trail);

}  // namespace plotweave
