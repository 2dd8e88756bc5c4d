// The UTF-8 copy of a plan that Korean Windows saved as "ANSI": what
// --fix-encoding writes beside it, so that its CP949 syllables survive.
#pragma once

#include <cstddef>

#include "io/stream.h"
#include "io/stream_status.h"

namespace plotweave {

// Copies the KS plan (without a byte-order mark) as UTF-8 with one: a CP949
// code becomes its character, any other two-byte code the character the page
// shows for it (U+25A3 for one without), and a lead byte without a trail byte
// of its line U+25A3, so that the copy keeps every line of the plan.
StreamStatus CopyAsUtf8(ByteSource& plan, ByteSink& copy);

// The copy's name beside `plan`: the last part of its file name from its
// first '.' on becomes "-utf8.lst" ("dir/sites.lst" gives
// "dir/sites-utf8.lst"). False when it does not fit `width` bytes or the
// file name has no base name.
bool Utf8CopyName(const char* plan, char* out, size_t width);

}  // namespace plotweave
