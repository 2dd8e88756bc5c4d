// The preview of one saved plan, made in memory: the checker's findings, and
// the page plotweave would write for it, with its outside addresses turned
// into the preview server's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "check/finding.h"
#include "io/stream.h"
#include "plan/plan_name.h"

namespace plotweave {

// What one save came to.
enum class PreviewOutcome : uint8_t {
  kDrawn,       // the page was made
  kRefused,     // validation faults: no page, the last good one stays
  kUnreadable,  // the plan could not be read to its end
  kTooLarge,    // the page does not fit its buffer
};

// A block of memory written as a sink, never past its end.
class FixedSink final : public ByteSink {
 public:
  FixedSink(unsigned char* buffer, size_t capacity) : buf_(buffer), capacity_(capacity) {}
  bool Write(const void* data, size_t count) override;
  size_t size() const { return size_; }
  bool overflowed() const { return overflowed_; }

 private:
  unsigned char* buf_;
  size_t capacity_;
  size_t size_ = 0;
  bool overflowed_ = false;
};

// A full plan's page is about 1.5 MB; the buffer leaves room for hand-made
// plans with long rows.
inline constexpr size_t kPreviewPageCapacity = size_t{6} << 20;
// The panel shows this many findings; the console prints all of them.
inline constexpr int kPanelFindings = 300;
// A node id or an image path, as the page shows it (UTF-8).
inline constexpr size_t kShownNameWidth = 160;
inline constexpr size_t kImagePathWidth = 400;
// The distinct images a page may name: one per node at most.
inline constexpr int kImageCapacity = 512;

// Which entry of the plan a finding is about, for selecting it.
struct FindingTarget {
  int node = -1;  // node entry, or -1
  int link = -1;  // link entry, or -1
  char nodeId[kShownNameWidth];
};

struct PanelFinding {
  Finding finding;
  FindingTarget target;
};

// The page of a drawn plan and the files it names beside itself.
struct PreviewPage {
  size_t size = 0;
  int imageCount = 0;
  // Relative image addresses as the server is asked for them: query and
  // fragment dropped, %XX decoded.
  char images[kImageCapacity][kImagePathWidth];
  unsigned char bytes[kPreviewPageCapacity];
};

struct PreviewFindings {
  PreviewOutcome outcome = PreviewOutcome::kUnreadable;
  int shown = 0;       // entries of `panel` in use
  FindingCounts counts;
  PanelFinding panel[kPanelFindings];
};

// Makes the preview of `plan` (its bytes as saved). Every finding also goes
// to `console` as it is made. `page` is written only when the outcome is
// kDrawn. The working memory is the library's own: one preview at a time.
PreviewOutcome BuildPreview(const unsigned char* plan, size_t size, const BuildSetting& build, const char* planName,
                            FindingSink& console, PreviewFindings* findings, PreviewPage* page);

// Decodes a relative image address the way a browser asks for it: the query
// and fragment dropped, %XX decoded. False for an address that is not a path
// below the page (a scheme, a leading '/' or '\', a ".." step, a decoded zero
// byte) or that does not fit.
bool ImageRequestPath(const char* address, char (&path)[kImagePathWidth]);

}  // namespace plotweave
