// The standalone copy of a page: the two outside scripts taken in from the
// kit, and the images the page names turned into data: URIs wherever that
// can be done without the network or a guess.
#pragma once

#include <cstdint>
#include <cstdio>

#include "bundle/image_address.h"
#include "bundle/kit.h"
#include "bundle/page_text.h"

namespace plotweave {

enum class PageCheck { kPage, kNoLoader, kNoNetwork, kReadFailed };

// Where the two script lines stand (counted as the reader returns lines) and
// the laboratory server's address, which gives the placeholder image's.
struct PageShape {
  long loaderLine = -1;
  long networkLine = -1;
  char labHost[kHostCapacity] = {};
};

// Reads the page from where `page` stands to its end. A page is recognised by
// its loader line and a network script line after it.
PageCheck RecognisePage(FILE* page, PageShape* shape);

// Why an image address stays in the copy as it was.
enum class ImageNote {
  kNetwork,       // http(s): the copy needs the network for it
  kAbsolutePath,  // a path from the root of the server the page was made for
  kOtherScheme,
  kUnusual,
  kOutside,       // outside the page's folder
  kMissing,
  kTooLong,
};

// Receives each distinct address that is left as it was, once.
struct NoteSink {
  void (*note)(void* context, ImageNote why, Span address) = nullptr;
  void* context = nullptr;
};

struct BundleSources {
  const KitSearch* kit = nullptr;  // a search that found a kit
  const char* pageFolder = "";     // "" for the current folder
  bool allowOutside = false;
};

enum class BundleResult { kOk, kPageReadFailed, kKitReadFailed, kImageReadFailed, kWriteFailed };

struct BundleReport {
  int inlinedImages = 0;            // data: URIs written, placeholders included
  char failedPath[kPathCapacity] = {};  // the kit file or image that could not be read
};

// Writes the copy of the page (read from where `page` stands; `shape` from
// RecognisePage on the same bytes) to `out`. Every line but the two script
// lines and the image addresses of node rows is copied byte for byte.
BundleResult WriteStandalone(FILE* page, const PageShape& shape, const BundleSources& sources, FILE* out,
                             const NoteSink& notes, BundleReport* report);

}  // namespace plotweave
