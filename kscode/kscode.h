// The Korean text conversion in one header: the two character lookups, the plan
// normaliser and the page encoder.
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

// What UnicodeToKs gives for every 16-bit unit, as lead << 8 | trail (0 for
// no mapping), for callers that convert many units in a row.
const uint16_t* KsReverseIndex();

// Encoding codes of ConvertPlanToKs.
enum : int {
  kPlanNotFound = -1,
  kScratchNotCreated = -2,
  kScratchWriteFailed = -3,  // the scratch file could not be written whole
  kPlanReadFailed = -4,      // the plan is no regular file or could not be read
  kEncodingKs = 0,
  kEncodingUtf8 = 1,
  kEncodingUtf16Be = 2,
  kEncodingUtf16Le = 3,
};

// Looks for a byte-order mark in the plan; a Unicode plan is written to the
// scratch file in KS code. Returns one of the codes above.
int ConvertPlanToKs(const char* planPath, const char* scratchPath);

// Turns the KS-coded intermediate page into the UTF-8 visualization page.
// Returns 0 on success, -1 on failure.
int EncodePageUtf8(const char* inputPath, const char* outputPath);

}  // namespace plotweave
