// What kind of address a page gives for an image, and which file beside the
// page a relative one names.
#pragma once

#include <cstddef>

#include "bundle/page_lines.h"

namespace plotweave {

enum class ImageAddress {
  kEmpty,         // nothing to load
  kInline,        // already a data: URI
  kPlaceholder,   // the laboratory server's placeholder image
  kNetwork,       // http:, https: or //host: loaded from the network
  kOtherScheme,   // file:, ftp: and the like
  kAbsolutePath,  // /path, \path or C:...: means something only on the server the page was made for
  kUnusual,       // a quote, backslash, angle bracket or control byte: left alone
  kRelative,      // a file beside the page or below it
};

// `placeholder` is the full address of the placeholder image of this page.
ImageAddress ClassifyImageAddress(Span address, Span placeholder);

inline constexpr size_t kPathCapacity = 4096;

enum class ImagePath {
  kOk,
  kNone,        // no file part: empty, ending in "/", or a decoded zero byte
  kParentStep,  // a ".." step
  kTooLong,
};

// The path, relative to the page's folder, of the file a relative address
// names, as a browser would find it: the query and fragment dropped, %XX
// sequences decoded, "\" taken as "/". `path` holds the path on kOk and on
// kParentStep.
ImagePath RelativeImagePath(Span address, char (&path)[kPathCapacity]);

}  // namespace plotweave
