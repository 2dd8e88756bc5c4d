// What kind of address a page gives for an image, and where on disk a
// relative one is.
#pragma once

#include <cstddef>
#include <cstdio>

#include "bundle/page_text.h"

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

enum class ImageFile {
  kOpened,
  kMissing,   // nothing readable at that path
  kOutside,   // ".." or a link out of the page's folder
  kTooLong,
};

// Opens the file a relative address names, as a browser would find it from a
// page in `folder`: the query and fragment dropped, %XX sequences decoded.
// Unless `allowOutside`, a path with a ".." step, or one that leads through
// a link to outside `folder`, is refused. `path` receives the file's path.
ImageFile OpenRelativeImage(const char* folder, Span address, bool allowOutside, char (&path)[kPathCapacity],
                            FILE** file);

}  // namespace plotweave
