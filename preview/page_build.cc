#include "preview/page_build.h"

#include <cstring>
#include <new>

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
unsigned char gKsPage[kPlotweavePageCapacity];
unsigned char gUtf8Page[kPlotweavePageCapacity];
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

// The standalone copy's notes on images it left as they were: only counted,
// as the page shows those images as it would anywhere.
class LeftImages final : public ImageNoteSink {
 public:
  void Note(ImageNote, Span) override { ++count; }
  int count = 0;
};

// Adds the preview's client to the page in `buffer` (`*size` bytes used of
// `capacity`), last in its head, so that the kit and the page's own script
// are there when it runs: before the first line that is "</head>", which the
// page writer writes and no minified script or plan row starts a line with.
// False when it does not fit.
bool AddClient(unsigned char* buffer, size_t capacity, size_t* size) {
  static const char kHeadEnd[] = "\n</head>";
  static const char kClientLine[] = PLOTWEAVE_SCRIPT_OPEN "/preview/client.js" PLOTWEAVE_SCRIPT_CLOSE "\n";
  const size_t n = sizeof kClientLine - 1;
  if (capacity - *size < n) return false;
  size_t at = *size;
  for (size_t i = 0; i + sizeof kHeadEnd - 1 <= *size; ++i) {
    if (std::memcmp(buffer + i, kHeadEnd, sizeof kHeadEnd - 1) == 0) {
      at = i + 1;
      break;
    }
  }
  std::memmove(buffer + at + n, buffer + at, *size - at);
  std::memcpy(buffer + at, kClientLine, n);
  *size += n;
  return true;
}

}  // namespace

PreviewOutcome BuildPreview(const unsigned char* plan, size_t size, const BuildSetting& build, const char* planName,
                            FindingSink& console, BundleFiles& files, PreviewFindings* findings, PreviewPage* page) {
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

  // Made standalone as the bundler makes it.
  MemorySource shapeSource(gUtf8Page, utf8.size());
  PageShape shape;
  if (RecognisePage(shapeSource, &shape) != PageCheck::kPage) return findings->outcome = PreviewOutcome::kUnreadable;
  MemorySource pageSource(gUtf8Page, utf8.size());
  FixedSink standalone(page->bytes, sizeof page->bytes);
  LeftImages left;
  BundleReport report;
  switch (WriteStandalone(pageSource, shape, files, standalone, left, &report)) {
    case StreamStatus::kDone:
      break;
    case StreamStatus::kWriteFailed:
      return findings->outcome = PreviewOutcome::kTooLarge;
    case StreamStatus::kReadFailed:
      return findings->outcome = PreviewOutcome::kKitUnreadable;
  }
  page->size = standalone.size();
  if (!AddClient(page->bytes, sizeof page->bytes, &page->size)) return findings->outcome = PreviewOutcome::kTooLarge;
  page->leftImages = left.count;
  return findings->outcome = PreviewOutcome::kDrawn;
}

}  // namespace plotweave
