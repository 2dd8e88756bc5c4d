#include "preview/page_build.h"

#include <cstring>
#include <new>

#include "build_config.h"
#include "check/plan_check.h"
#include "kscode/page_encoder.h"
#include "kscode/plan_normaliser.h"
#include "page/page_contract.h"
#include "page/page_writer.h"
#include "plan/model.h"
#include "plan/reader.h"
#include "plan/validate.h"

namespace plotweave {

bool FixedSink::Write(const void* data, size_t count) {
  if (count > capacity_ - size_) {
    overflowed_ = true;
    return false;
  }
  std::memcpy(buf_ + size_, data, count);
  size_ += count;
  return true;
}

namespace {

// The stages' working memory, made once: far too large for a stack, and the
// same every save, so that a preview's memory stays what it was at the start.
OntologyModel gModel;
unsigned char gKsPage[kPreviewPageCapacity];
unsigned char gUtf8Page[kPreviewPageCapacity];
alignas(NormalisedPlanSource) unsigned char gSourceRoom[sizeof(NormalisedPlanSource)];

// The checker reports every trap; the stages' own reports are not needed.
class Unheard final : public DiagnosticSink {
 public:
  void Report(const Diagnostic&) override {}
  bool WantsTraps() const override { return false; }
};

// A KS field as the page shows it, converted by the page's own encoder.
void PageText(const char* ks, char* out, size_t width) {
  static unsigned char converted[kShownNameWidth * 4];
  FixedSink sink(converted, sizeof converted);
  {
    BufferedWriter writer(sink);
    EncodeChunk(ks, writer);
  }
  size_t n = sink.size() < width - 1 ? sink.size() : width - 1;
  // Never half a character at the cut.
  while (n > 0 && n < sink.size() && (converted[n] & 0xC0) == 0x80) --n;
  std::memcpy(out, converted, n);
  out[n] = '\0';
}

// Keeps every finding for the console and the first ones for the panel,
// each with the node or link of its line.
class Collector final : public FindingSink {
 public:
  Collector(FindingSink& console, PreviewFindings* out, bool modelRead)
      : console_(console), out_(out), modelRead_(modelRead) {}

  void Report(const Finding& finding) override {
    console_.Report(finding);
    out_->counts.Count(finding.code);
    if (out_->shown >= kPanelFindings) return;
    PanelFinding& kept = out_->panel[out_->shown++];
    kept.finding = finding;
    kept.target = FindingTarget{};
    kept.target.nodeId[0] = '\0';
    if (modelRead_) Locate(finding.line, &kept.target);
  }

 private:
  static void Locate(long line, FindingTarget* target) {
    for (int i = 0; i < gModel.nodeCount; ++i) {
      if (gModel.nodes[i].line == line) {
        target->node = i;
        PageText(gModel.nodes[i].id, target->nodeId, sizeof target->nodeId);
        return;
      }
    }
    for (int i = 0; i < gModel.linkCount; ++i) {
      if (gModel.links[i].line == line) {
        target->link = i;
        return;
      }
    }
  }

  FindingSink& console_;
  PreviewFindings* out_;
  bool modelRead_;
};

// Reads the plan into gModel as the main programs do; false when it could
// not be read to its end.
bool ReadModel(const unsigned char* plan, size_t size, const char* linkTarget) {
  std::memset(&gModel, 0, sizeof gModel);
  MemorySource bytes(plan, size);
  NormalisedPlanSource* source = new (gSourceRoom) NormalisedPlanSource(bytes);
  Unheard unheard;
  const bool read = ReadPlan(*source, gModel, linkTarget, unheard) == StreamStatus::kDone && !source->Failed();
  source->~NormalisedPlanSource();
  return read;
}

// The page's outside addresses, and what the preview serves in their place:
// the kit from the preview server, and the client that follows the plan
// right after the network script.
#define PREVIEW_CLIENT_PATH "/preview/client.js"
struct Replacement {
  const char* from;
  const char* to;
};
const Replacement kAddresses[] = {
    {PLOTWEAVE_SCRIPT_OPEN PLOTWEAVE_LOADER_HOST PLOTWEAVE_LOADER_PATH PLOTWEAVE_SCRIPT_CLOSE,
     PLOTWEAVE_SCRIPT_OPEN PLOTWEAVE_LOADER_PATH PLOTWEAVE_SCRIPT_CLOSE},
    {PLOTWEAVE_SCRIPT_OPEN PLOTWEAVE_LAB_HOST PLOTWEAVE_NETWORK_PATH PLOTWEAVE_SCRIPT_CLOSE,
     PLOTWEAVE_SCRIPT_OPEN PLOTWEAVE_NETWORK_PATH PLOTWEAVE_SCRIPT_CLOSE PLOTWEAVE_SCRIPT_OPEN PREVIEW_CLIENT_PATH
         PLOTWEAVE_SCRIPT_CLOSE},
    {"'" PLOTWEAVE_LAB_HOST PLOTWEAVE_PLACEHOLDER_PATH "'", "'" PLOTWEAVE_PLACEHOLDER_PATH "'"},
};

// Copies the page into `out` with the addresses replaced; false when it
// does not fit.
bool ServeAddresses(const unsigned char* page, size_t size, PreviewPage* out) {
  FixedSink sink(out->bytes, sizeof out->bytes);
  size_t copied = 0;
  for (size_t at = 0; at < size; ++at) {
    if (page[at] != '<' && page[at] != '\'') continue;
    for (const Replacement& r : kAddresses) {
      const size_t n = std::strlen(r.from);
      if (n > size - at || std::memcmp(page + at, r.from, n) != 0) continue;
      if (!sink.Write(page + copied, at - copied) || !sink.Write(r.to, std::strlen(r.to))) return false;
      at += n - 1;
      copied = at + 1;
      break;
    }
  }
  if (!sink.Write(page + copied, size - copied)) return false;
  out->size = sink.size();
  return true;
}

void ListImages(PreviewPage* page) {
  page->imageCount = 0;
  for (int i = 0; i < gModel.nodeCount; ++i) {
    if (gModel.nodes[i].image[0] == '\0') continue;
    char shown[kImagePathWidth];
    char path[kImagePathWidth];
    PageText(gModel.nodes[i].image, shown, sizeof shown);
    if (!ImageRequestPath(shown, path)) continue;
    bool known = false;
    for (int k = 0; k < page->imageCount && !known; ++k) known = std::strcmp(page->images[k], path) == 0;
    if (!known && page->imageCount < kImageCapacity) std::memcpy(page->images[page->imageCount++], path, sizeof path);
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ImageRequestPath(const char* address, char (&path)[kImagePathWidth]) {
  if (address[0] == '/' || address[0] == '\\' || address[0] == '\0') return false;
  // A scheme: letters, digits, '+', '-' or '.' before the first ':'.
  for (const char* p = address; *p != '\0' && *p != '/' && *p != '?' && *p != '#'; ++p) {
    if (*p == ':') return false;
  }
  size_t n = 0;
  for (const char* p = address; *p != '\0' && *p != '?' && *p != '#'; ++p) {
    char c = *p;
    if (c == '%' && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0) {
      c = static_cast<char>(HexValue(p[1]) * 16 + HexValue(p[2]));
      p += 2;
      if (c == '\0') return false;
    }
    if (c == '\\') c = '/';
    if (n + 1 >= sizeof path) return false;
    path[n++] = c;
  }
  path[n] = '\0';
  if (n == 0 || path[n - 1] == '/') return false;
  // No ".." step anywhere: the server answers only for files below the folder.
  for (size_t start = 0; start <= n;) {
    size_t end = start;
    while (end < n && path[end] != '/') ++end;
    if (end - start == 2 && path[start] == '.' && path[start + 1] == '.') return false;
    start = end + 1;
  }
  return true;
}

PreviewOutcome BuildPreview(const unsigned char* plan, size_t size, const BuildSetting& build, const char* planName,
                            FindingSink& console, PreviewFindings* findings, PreviewPage* page) {
  findings->shown = 0;
  findings->counts = FindingCounts{};
  const bool read = ReadModel(plan, size, build.linkTarget);

  // The checker's findings, each placed at the entry the model read there.
  Collector collector(console, findings, read);
  CheckPlanName(planName, collector);
  MemorySource checked(plan, size);
  PlanSummary summary;
  const bool checkedWhole = CheckPlan(checked, collector, &summary) == PlanCheckStatus::kChecked;
  if (!read || !checkedWhole) return findings->outcome = PreviewOutcome::kUnreadable;

  Unheard unheard;
  if (ValidateModel(gModel, unheard) != ValidateStatus::kValid) return findings->outcome = PreviewOutcome::kRefused;

  FixedSink ks(gKsPage, sizeof gKsPage);
  if (WritePage(gModel, ks) != StreamStatus::kDone) return findings->outcome = PreviewOutcome::kTooLarge;
  MemorySource ksPage(gKsPage, ks.size());
  FixedSink utf8(gUtf8Page, sizeof gUtf8Page);
  if (EncodePage(ksPage, utf8) != StreamStatus::kDone) return findings->outcome = PreviewOutcome::kTooLarge;
  if (!ServeAddresses(gUtf8Page, utf8.size(), page)) return findings->outcome = PreviewOutcome::kTooLarge;
  ListImages(page);
  return findings->outcome = PreviewOutcome::kDrawn;
}

}  // namespace plotweave
