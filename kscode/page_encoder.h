// The page encoder: the KS-coded page becomes the UTF-8 page, its Unicode
// escapes and numeric references turned into the characters they stand for.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/stream.h"
#include "io/stream_status.h"

namespace plotweave {


// Writes a UTF-8 byte-order mark and then the page, converted line chunk by
// line chunk, each where it lies in the read buffer when it can be.
StreamStatus EncodePage(ByteSource& in, ByteSink& out);

// A read of the page takes at most this many bytes and a zero byte.
inline constexpr size_t kPageChunkBuffer = 20000;

// Converts one line chunk (zero-terminated) to UTF-8: plain runs a word at
// a time, KS pairs and references in the normaliser's five-digit form through
// caches of their UTF-8.
void EncodeChunk(const char* chunk, BufferedWriter& out);

// The same conversion byte by byte, by the plain rules and nothing else; the
// fast path must always agree with it.
void EncodeChunkPlain(const char* chunk, BufferedWriter& out);

}  // namespace plotweave
