#include "app/run_flow.h"

#include <cstdio>
#include <cstring>

#include "app/console.h"
#include "io/file.h"
#include "io/replacing_file.h"
#include "io/run_lock.h"
#include "kscode/page_encoder.h"
#include "kscode/plan_normaliser.h"
#include "page/page_writer.h"
#include "plan/model.h"
#include "plan/reader.h"
#include "plan/validate.h"

namespace plotweave {

namespace {

// The model is far too large for a stack; one run fills it once.
OntologyModel gModel;
// Whether gModel holds an earlier run's plan. A process starts with it empty,
// so the first run need not touch the whole of it.
bool gModelUsed = false;

// The longest byte-order mark, UTF-8's; detection looks at no more.
constexpr size_t kLongestByteOrderMark = 3;

// Opens the plan once for the whole run: a FIFO, a device or a directory is
// no plan even when it opens, since the plan must come to an end. False
// (after its message) when there is no plan to read.
bool OpenPlanFile(const char* planName, FileHandle& plan) {
  if (IsSpecialFile(planName)) {
    console::PlanCannotBeRead(planName);
    return false;
  }
  if (!plan.Open(planName, "rb")) {
    console::PlanNotFound(planName);
    return false;
  }
  ReadWriteUnbuffered(plan.get());
  return true;
}

// Finds the plan's encoding and, for a Unicode plan, writes its KS text to the
// scratch file. False (after its message) when the run cannot go on.
bool NormalisePlanFile(FileHandle& plan, const char* planName, const char* scratchName, PlanEncoding* encoding) {
  FileSource file(plan.get());
  // Only the mark is read here; a KS plan is read from its start by the reader.
  FirstReadCapped source(file, kLongestByteOrderMark);
  BufferedReader in(source);
  if (DetectPlanEncoding(in, encoding) != StreamStatus::kDone) {
    console::PlanCannotBeRead(planName);
    return false;
  }
  if (*encoding == PlanEncoding::kKs) {
    console::PlanIsKsText(planName);
    return true;
  }

  FileHandle scratch(scratchName, "wb");
  if (!scratch) {
    console::ScratchNotCreated();
    return false;
  }
  ReadWriteUnbuffered(scratch.get());
  FileSink sink(scratch.get());
  const StreamStatus status = NormalisePlan(in, *encoding, sink);
  const bool closed = scratch.Close();
  if (status == StreamStatus::kDone && closed) return true;
  // Half a plan must never be read as if it were the whole.
  std::remove(scratchName);
  if (status == StreamStatus::kReadFailed) {
    console::PlanCannotBeRead(planName);
  } else {
    console::ScratchWriteFailed(scratchName);
  }
  return false;
}

// Reads an open plan (or its KS-coded scratch copy) from its start into the
// model and closes it.
bool ReadPlanStream(FileHandle& stream, const char* linkTarget, DiagnosticSink& diagnostics) {
  if (std::fseek(stream.get(), 0, SEEK_SET) != 0) return false;
  FileSource source(stream.get());
  const StreamStatus status = ReadPlan(source, gModel, linkTarget, diagnostics);
  return stream.Close() && status == StreamStatus::kDone;
}

// Reads the scratch copy of a Unicode plan into the model. A scratch name
// that leads to a device rather than to the file just written is refused.
bool ReadScratchFile(const char* path, const char* linkTarget, DiagnosticSink& diagnostics) {
  if (!IsRegularFile(path)) return false;
  FileHandle stream(path, "rb");
  if (!stream) return false;
  ReadWriteUnbuffered(stream.get());
  return ReadPlanStream(stream, linkTarget, diagnostics);
}

// Writes the KS-coded intermediate page; one that could not be written whole
// is removed again.
bool WriteIntermediateFile(const char* intermediateName) {
  FileHandle page(intermediateName, "wt");
  if (!page) {
    console::IntermediateNotCreated(intermediateName);
    return false;
  }
  ReadWriteUnbuffered(page.get());
  FileSink sink(page.get());
  const StreamStatus status = WritePage(gModel, sink);
  if (!page.Close() || status != StreamStatus::kDone) {
    std::remove(intermediateName);
    console::IntermediateWriteFailed(intermediateName);
    return false;
  }
  return true;
}

// Turns the intermediate page into the UTF-8 page. The page is written beside
// its name and takes the place of the earlier page only once it is whole, so
// a run that fails, however far it got, leaves the earlier page as it was.
bool EncodePageFile(const char* intermediateName, const char* pageName) {
  FileHandle input(intermediateName, "rb");
  ReplacingFile output(pageName, "wt");
  if (!input || !output || !IsRegularFile(intermediateName)) {
    console::EncoderFilesNotOpened(intermediateName, pageName);
    return false;
  }
  console::EncodingPage(pageName);
  ReadWriteUnbuffered(input.get());
  ReadWriteUnbuffered(output.get());
  FileSource source(input.get());
  FileSink sink(output.get());
  const bool encoded = EncodePage(source, sink) == StreamStatus::kDone;
  // A page that was not read or written whole is dropped, never put in place.
  return encoded && output.Commit();
}

}  // namespace

int RunPlotweave(int argc, const char* const* argv, const BuildSetting& build) {
  if (argc < 2) {
    console::Usage();
    return 0;
  }
  console::Banner();

  char joined[kPathBuffer];
  if (!JoinArguments(argc, argv, joined)) {
    console::PathTooLong(kPathBuffer - 1);
    return 0;
  }
  PlanFileNames names;
  switch (NamePlanFiles(joined, build, &names)) {
    case PlanNameStatus::kNamed:
      break;
    case PlanNameStatus::kPathTooLong:
      console::PathTooLong(kPathBuffer - 1);
      return 0;
    case PlanNameStatus::kNoBaseName:
      return 0;
    case PlanNameStatus::kBaseNameTooLong:
      console::BaseNameTooLong(build.LongestBaseName());
      return 0;
  }
  const char* planName = names.plan;
  const char* scratchName = names.scratch;
  const char* intermediateName = names.intermediate;
  const char* pageName = names.page;

  // Runs of one plan share every file derived from it, so they take turns.
  const PlanLock lock(planName, PlanLock::Wait::kUntilFree);

  // Every run starts from the empty model, also when one process runs several.
  if (gModelUsed) std::memset(&gModel, 0, sizeof gModel);
  gModelUsed = true;
  FileHandle plan;
  if (!OpenPlanFile(planName, plan)) return 0;
  PlanEncoding encoding = PlanEncoding::kKs;
  if (!NormalisePlanFile(plan, planName, scratchName, &encoding)) return 0;
  console::EncodingOfPlan(static_cast<int>(encoding));

  const bool unicode = encoding != PlanEncoding::kKs;
  console::Printer printer;
  bool read;
  if (unicode) {
    plan.Close();
    read = ReadScratchFile(scratchName, build.linkTarget, printer);
    // The scratch copy has served once it is read, whatever happens next.
    std::remove(scratchName);
  } else {
    read = ReadPlanStream(plan, build.linkTarget, printer);
  }
  if (!read) {
    console::PlanCannotBeRead(planName);
    return 0;
  }

  if (ValidateModel(gModel, printer) != ValidateStatus::kValid) return 0;
  if (!WriteIntermediateFile(intermediateName)) return 0;
  if (!EncodePageFile(intermediateName, pageName)) {
    console::EncodingFailed();
    return 0;
  }
  console::PageCreated(pageName);
  std::remove(intermediateName);
  return 0;
}

}  // namespace plotweave
