// The preview of one saved plan, made in memory: the checker's findings, and
// the page plotweave would write for it, made standalone as plotweave-bundle
// makes it (the kit's scripts and the images inside the plan's folder taken
// in), with the preview's client added.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bundle/standalone.h"
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
  kKitUnreadable,  // a file of the kit could not be read
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

// A full plan's page is about 1.5 MB, before the kit and its pictures are
// taken in.
inline constexpr size_t kPlotweavePageCapacity = size_t{6} << 20;
// The standalone page: the kit's script (some 1.5 MB) and every picture as a
// data: URI. Only what a page uses is ever touched.
inline constexpr size_t kPreviewPageCapacity = size_t{64} << 20;
// The panel shows this many findings; the console prints all of them.
inline constexpr int kPanelFindings = 300;
// A node id as the page shows it (UTF-8).
inline constexpr size_t kShownNameWidth = 160;
// Where the page loads the preview's client from.
inline constexpr char kPreviewClientPath[] = "/preview/client.js";

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

// The page of a drawn plan.
struct PreviewPage {
  size_t size = 0;
  int leftImages = 0;  // image addresses not taken in (see ImageNote)
  unsigned char bytes[kPreviewPageCapacity];
};

struct PreviewFindings {
  PreviewOutcome outcome = PreviewOutcome::kUnreadable;
  int shown = 0;       // entries of `panel` in use
  FindingCounts counts;
  PanelFinding panel[kPanelFindings];
};

// Makes the preview of `plan` (its bytes as saved). Every finding also goes
// to `console` as it is made; the kit and the images come from `files`, under
// the rules of the front end that made them. `page` is written only when the
// outcome is kDrawn. The working memory is the library's own: one preview at
// a time.
PreviewOutcome BuildPreview(const unsigned char* plan, size_t size, const BuildSetting& build, const char* planName,
                            FindingSink& console, BundleFiles& files, PreviewFindings* findings, PreviewPage* page);

}  // namespace plotweave
