#include "app/run_flow.h"

#include <cstdio>
#include <cstring>

#include "app/console.h"
#include "io/file.h"
#include "io/replacing_file.h"
#include "io/run_lock.h"
#include "io/work_file.h"
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
// scratch file, created fresh. False (after its message) when the run cannot
// go on.
bool NormalisePlanFile(FileHandle& plan, const char* planName, const char* scratchName, WorkFile& scratch,
                       PlanEncoding* encoding) {
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

  if (!scratch.Create(scratchName, "wb")) {
    console::ScratchNotCreated();
    return false;
  }
  ReadWriteUnbuffered(scratch.handle().get());
  FileSink sink(scratch.handle().get());
  const StreamStatus status = NormalisePlan(in, *encoding, sink);
  if (status == StreamStatus::kDone && scratch.Rewind()) return true;
  // Half a plan must never be read as if it were the whole.
  scratch.Remove();
  if (status == StreamStatus::kReadFailed) {
    console::PlanCannotBeRead(planName);
  } else {
    console::ScratchWriteFailed(scratchName);
  }
  return false;
}

// Reads an open plan (or its KS-coded scratch copy, on the handle that wrote
// it) from its start into the model and closes it.
bool ReadPlanStream(FileHandle& stream, const char* linkTarget, DiagnosticSink& diagnostics) {
  if (std::fseek(stream.get(), 0, SEEK_SET) != 0) return false;
  FileSource source(stream.get());
  const StreamStatus status = ReadPlan(source, gModel, linkTarget, diagnostics);
  return stream.Close() && status == StreamStatus::kDone;
}

// Writes the KS-coded intermediate page into a file created fresh, and turns
// it to be read back; one that could not be written whole is removed again.
bool WriteIntermediateFile(const char* intermediateName, WorkFile& page) {
  if (!page.Create(intermediateName, "wt")) {
    console::IntermediateNotCreated(intermediateName);
    return false;
  }
  ReadWriteUnbuffered(page.handle().get());
  FileSink sink(page.handle().get());
  const StreamStatus status = WritePage(gModel, sink);
  if (status != StreamStatus::kDone || !page.Rewind()) {
    page.Remove();
    console::IntermediateWriteFailed(intermediateName);
    return false;
  }
  return true;
}

// Turns the intermediate page, read on the handle that wrote it, into the
// UTF-8 page. The page is written beside its name and takes the place of the
// earlier page only once it is whole, so a run that fails, however far it
// got, leaves the earlier page as it was.
bool EncodePageFile(WorkFile& input, const char* intermediateName, const char* pageName) {
  ReplacingFile output(pageName, "wt");
  if (!output) {
    console::EncoderFilesNotOpened(intermediateName, pageName);
    return false;
  }
  console::EncodingPage(pageName);
  ReadWriteUnbuffered(output.get());
  FileSource source(input.handle().get());
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

  // Runs of one plan share every file derived from it, so they take turns.
  const PlanLock lock(names.base, PlanLock::Wait::kUntilFree);

  // Every run starts from the empty model, also when one process runs several.
  if (gModelUsed) std::memset(&gModel, 0, sizeof gModel);
  gModelUsed = true;
  FileHandle plan;
  if (!OpenPlanFile(names.plan, plan)) return 0;
  PlanEncoding encoding = PlanEncoding::kKs;
  WorkFile scratch;
  if (!NormalisePlanFile(plan, names.plan, names.scratch, scratch, &encoding)) return 0;
  console::EncodingOfPlan(static_cast<int>(encoding));

  const bool unicode = encoding != PlanEncoding::kKs;
  console::Printer printer;
  bool read;
  if (unicode) {
    plan.Close();
    read = ReadPlanStream(scratch.handle(), build.linkTarget, printer);
    // The scratch copy has served once it is read, whatever happens next.
    scratch.Remove();
  } else {
    read = ReadPlanStream(plan, build.linkTarget, printer);
  }
  if (!read) {
    console::PlanCannotBeRead(names.plan);
    return 0;
  }

  if (ValidateModel(gModel, printer) != ValidateStatus::kValid) return 0;
  WorkFile intermediate;
  if (!WriteIntermediateFile(names.intermediate, intermediate)) return 0;
  if (!EncodePageFile(intermediate, names.intermediate, names.page)) {
    console::EncodingFailed();
    return 0;
  }
  console::PageCreated(names.page);
  intermediate.Remove();
  return 0;
}

}  // namespace plotweave
