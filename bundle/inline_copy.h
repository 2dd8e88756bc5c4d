// Copies of outside files into the page: images as data: URIs, scripts as
// the text of an inline script element.
#pragma once

#include <cstddef>
#include <cstdio>

namespace plotweave {

enum class CopyResult { kOk, kReadFailed, kWriteFailed };

// The media type of an image, from its first bytes and, for SVG, its name.
const char* ImageMediaType(const unsigned char* head, size_t size, const char* name);

// Writes "data:TYPE;base64,..." with the whole of `in`.
CopyResult WriteDataUri(FILE* in, const char* name, FILE* out);

// Copies a script into an inline script element. The HTML parser ends such an
// element at the first "</script" and treats "<!--" specially, so both are
// written with their "<" as the escape \x3C, which means the same in script
// strings, template literals, regular expressions and comments.
// `endsWithLineEnd` tells whether the script's last byte was a LF.
CopyResult CopyInlineScript(FILE* in, FILE* out, bool* endsWithLineEnd);

}  // namespace plotweave
