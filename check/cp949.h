// CP949, the "ANSI" code of Korean Windows: KS X 1001 and, beside it, the
// 8,822 Hangul syllables that KS X 1001 lacks, on lead bytes 0x81..0xC6 with
// trail bytes below 0xA1. Those extension codes are not stored: they are the
// missing syllables in Unicode order, so they follow from the KS table.
#pragma once

#include <cstdint>

namespace plotweave {

inline constexpr int kCp949ExtensionCount = 8822;

// Position (0..8821) of an extension code among all of them, in code order;
// -1 for any other pair.
int Cp949ExtensionIndex(uint8_t lead, uint8_t trail);

// Whether the pair is a CP949 extension code: a lead byte of 0x81..0xC6 with
// a trail byte below 0xA1 in one of the trail ranges.
inline bool IsCp949Extension(uint8_t lead, uint8_t trail) { return Cp949ExtensionIndex(lead, trail) >= 0; }

// The Unicode character of a two-byte CP949 code; 0 when it has none.
uint16_t Cp949ToUnicode(uint8_t lead, uint8_t trail);

}  // namespace plotweave
