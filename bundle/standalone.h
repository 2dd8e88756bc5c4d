// The standalone copy of a page: the two outside scripts taken in from the
// kit, and the images the page names turned into data: URIs wherever that
// can be done without the network or a guess.
//
// Each image goes into the copy once for each address that names it. One
// that a single address of the page uses once stands where it was used. The
// others go into a table of the copy (a JSON script element after the
// network script, before the page's own script) that maps each address to
// its data: URI, and the rows keep their addresses, which the kit looks up in
// the table before it draws. The placeholder image is carried once by the
// network script element; the table names its address. Node rows above the
// network script line (the page writer puts none there) are counted out and
// keep their images where they are used.
#pragma once

#include <cstdint>

#include "bundle/image_address.h"
#include "bundle/page_lines.h"
#include "bundle/seen_addresses.h"
#include "io/stream.h"
#include "io/stream_status.h"
#include "page/page_contract.h"

namespace plotweave {

enum class PageCheck { kPage, kNoLoader, kNoNetwork, kReadFailed };

// Where the two script lines stand (counted as the reader returns lines), the
// laboratory server's address, which gives the placeholder image's, and the
// images of the node rows after the network script line: each relative
// address with its text and how often it is used, and how often the
// placeholder is.
struct PageShape {
  long loaderLine = -1;
  long networkLine = -1;
  char labHost[kHostCapacity] = {};
  SeenAddresses images;
  long placeholderUses = 0;
};

// The script element of a copy that holds its table of images, marked by
// this attribute (web/src/page-contract.js knows it as IMAGE_TABLE_ATTRIBUTE).
inline constexpr char kImageTableAttribute[] = "data-plotweave-images";

// Reads the page to its end. A page is recognised by its loader line and a
// network script line after it.
PageCheck RecognisePage(ByteSource& page, PageShape* shape);

// The files of the kit: it lays them out as the laboratory server serves
// them, so each is the page's path without its leading "/".
inline constexpr const char* kKitLoader = kLoaderPath + 1;
inline constexpr const char* kKitNetwork = kNetworkPath + 1;
inline constexpr const char* kKitPlaceholder = kPlaceholderPath + 1;

// Why an image address stays in the copy as it was.
enum class ImageNote {
  kNetwork,       // http(s): the copy needs the network for it
  kAbsolutePath,  // a path from the root of the server the page was made for
  kOtherScheme,
  kUnusual,
  kOutside,       // outside the page's folder
  kLink,          // reached through a symbolic link
  kNotAFile,      // a directory, FIFO or device
  kMissing,
  kTooLong,
};

enum class ImageOpen {
  kOpened,
  kLeftAsItWas,  // not to be taken in; the reason comes with it
  kUnreadable,   // there and to be taken in, but the open failed (no permission)
};

// The files the copy takes in besides the page. Only the program's front end
// names and opens files: the copy asks for them by what the page says, and
// the front end decides where they are and which may be read. One file is
// open at a time; each open closes the one before.
class BundleFiles {
 public:
  // Opens the kit's file `name` (one of the kKit names); null when it cannot
  // be opened.
  virtual ByteSource* OpenKitFile(const char* name) = 0;
  // Opens the file that a relative image address names (see
  // RelativeImagePath); `image` is set on kOpened, `why` on kLeftAsItWas.
  virtual ImageOpen OpenImage(Span address, ByteSource** image, ImageNote* why) = 0;
  virtual void Close() = 0;
  // The file last asked for, as a path: the name whose ending tells an SVG
  // image, and the one a read failure is reported with.
  virtual const char* Path() const = 0;

 protected:
  ~BundleFiles() = default;
};

// Receives each distinct address that is left as it was, once.
class ImageNoteSink {
 public:
  virtual void Note(ImageNote why, Span address) = 0;

 protected:
  ~ImageNoteSink() = default;
};

// Which input a read failure was in.
enum class BundleInput : uint8_t { kPage, kKitFile, kImage };

struct BundleReport {
  int inlinedImages = 0;  // data: URIs written, placeholders included
  BundleInput failedInput = BundleInput::kPage;  // with kReadFailed; files.Path() names a kit file or image
};

// Writes the copy of the page (`shape` from RecognisePage on the same bytes)
// to `out`. Every line but the two script lines and the image addresses of
// node rows is copied byte for byte.
StreamStatus WriteStandalone(ByteSource& page, const PageShape& shape, BundleFiles& files, ByteSink& out,
                             ImageNoteSink& notes, BundleReport* report);

}  // namespace plotweave
