// Copies of outside files into the page: images as data: URIs, scripts as
// the text of an inline script element.
#pragma once

#include <cstddef>

#include "io/stream.h"
#include "io/stream_status.h"

namespace plotweave {

// The media type of an image, from its first bytes and, for SVG, its name.
const char* ImageMediaType(const unsigned char* head, size_t size, const char* name);

// Writes "data:TYPE;base64,..." with the whole of `in`.
StreamStatus WriteDataUri(ByteSource& in, const char* name, BufferedWriter& out);

// Copies a script into an inline script element. The HTML parser ends such an
// element at the first "</script" and treats "<!--" specially, so both are
// written with their "<" as the escape \x3C, which means the same in script
// strings, template literals, regular expressions and comments.
// `endsWithLineEnd` tells whether the script's last byte was a LF.
StreamStatus CopyInlineScript(ByteSource& in, BufferedWriter& out, bool* endsWithLineEnd);

}  // namespace plotweave
