// Pieces of the plan normaliser, open for tests and benchmarks.
#pragma once

#include <cstdint>

#include "kscode/text_stream.h"

namespace plotweave {

// Writes the KS text of one 16-bit code unit: nothing for 0, the byte for
// ASCII, the KS code when there is one, else a five-digit numeric reference.
void WriteCodeUnit(uint16_t unit, ByteWriter& out);

// Converts UTF-16 (after its byte-order mark) to KS text.
void ConvertUtf16(ByteReader& in, ByteWriter& out, bool bigEndian);

// Converts UTF-8 (after its byte-order mark) to KS text.
void ConvertUtf8(ByteReader& in, ByteWriter& out);

}  // namespace plotweave
