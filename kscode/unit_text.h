// The KS text of a 16-bit code unit, packed so that one eight-byte store
// writes it, and the run converters that use it.
//
// The plan normaliser spends nearly all its time on two kinds of text: Hangul
// in three-byte UTF-8 forms (or UTF-16 units), and characters without a KS
// code, each of which becomes an eight-byte numeric reference. The converters
// here take the common case many characters at a time and stop at anything
// else; the caller finishes that character by the plain rules and calls them
// again.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace plotweave {

// Bytes 0..6 hold the text, first byte lowest, and byte 7 its length (0, 1 or
// 2); a numeric reference "&#NNNNN;" fills all eight bytes and its last byte,
// the ';', stands for the length 8. No packed text is 0 (the zero unit, which
// writes nothing, keeps a nonzero byte beyond its length), so 0 can mark a
// unit not looked up yet.
using PackedUnitText = uint64_t;

// The most bytes one code unit writes, and so the room a converter keeps free.
inline constexpr size_t kMaxUnitText = 8;

// The packed text of `unit`: nothing for 0, the byte for ASCII, the KS code
// UnicodeToKs gives, else the reference with exactly five digits.
PackedUnitText PackUnitText(uint16_t unit);

inline size_t PackedUnitLength(PackedUnitText text) {
  const unsigned top = static_cast<unsigned>(text >> 56);
  return top == ';' ? 8 : top;
}

// PackUnitText of each unit, remembered for the rest of the process: a plan
// repeats its characters, and a table read costs less than a lookup and five
// divisions. Only the entries of units met are ever touched.
PackedUnitText CachedUnitText(uint16_t unit);

// What one call of a run converter did.
struct RunResult {
  size_t consumed;  // input bytes converted
  size_t produced;  // output bytes written
};

// Converts UTF-8 from in[0, n) into out[0, room): runs of ASCII and three-byte
// forms that lie wholly inside the input, while at least kMaxUnitText bytes of
// room remain. Stops before any other lead byte (0x80..0xDF, 0xF0..0xFF) and
// before a three-byte form cut off by the end of the input. Continuation bytes
// are not checked, as in the plain conversion: any byte serves.
RunResult ConvertUtf8Run(const unsigned char* in, size_t n, unsigned char* out, size_t room);

// Converts whole UTF-16 units from in[0, n) into out[0, room), while at least
// kMaxUnitText bytes of room remain. Every unit stands by itself, surrogates
// included, so an odd last byte is the only thing left unconverted.
RunResult ConvertUtf16Run(const unsigned char* in, size_t n, bool bigEndian, unsigned char* out,
                          size_t room);

}  // namespace plotweave
