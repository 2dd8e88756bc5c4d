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

// Path buffers hold at most 127 bytes and a zero byte.

// The model is far too large for a stack; one run fills it once.
OntologyModel gModel;
// Whether gModel holds an earlier run's plan. A process starts with it empty,
// so the first run need not touch the whole of it.
bool gModelUsed = false;

// Joins the arguments with single spaces into `joined` (kPathBuffer bytes).
// False when the result would not fit.
bool JoinArguments(int argc, const char* const* argv, char* joined) {
  size_t used = 0;
  joined[0] = '\0';
  for (int i = 1; i < argc; ++i) {
    const size_t gap = i > 1 ? 1 : 0;
    const size_t len = std::strlen(argv[i]);
    if (used + gap + len > static_cast<size_t>(kPathBuffer - 1)) return false;
    if (gap) joined[used++] = ' ';
    std::memcpy(joined + used, argv[i], len);
    used += len;
    joined[used] = '\0';
  }
  return true;
}

// Cuts the joined path at its first '.'; false when no '.' stands at
// position 1 or later, so that there is no plan name to derive.
bool CutBaseName(char* joined) {
  const size_t length = std::strlen(joined);
  size_t lastDot = 0;
  bool found = false;
  for (size_t i = 0; i < length; ++i) {
    if (joined[i] == '.') {
      lastDot = i;
      found = true;
      joined[i] = '\0';
    }
  }
  return found && lastDot >= 1;
}

// Forms the name of one of the run's files from the base name; false when it
// would not fit, so that a name is never silently cut short. The length check
// of the base name rules that out for the formats of the run.
bool DeriveName(char (&name)[kPathBuffer], const char* format, const char* base) {
  const int length = std::snprintf(name, sizeof name, format, base);
  return length >= 0 && length < kPathBuffer;
}

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
  if (DetectPlanEncoding(in, encoding) != NormaliseStatus::kDone) {
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
  const NormaliseStatus status = NormalisePlan(in, *encoding, sink);
  if (status == NormaliseStatus::kDone && scratch.Rewind()) return true;
  // Half a plan must never be read as if it were the whole.
  scratch.Remove();
  if (status == NormaliseStatus::kReadFailed) {
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
  const ReadStatus status = ReadPlan(source, gModel, linkTarget, diagnostics);
  return stream.Close() && status == ReadStatus::kRead;
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
  const PageStatus status = WritePage(gModel, sink);
  if (status != PageStatus::kWritten || !page.Rewind()) {
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
  const bool encoded = EncodePage(source, sink) == EncodeStatus::kDone;
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

  char base[kPathBuffer];
  if (!JoinArguments(argc, argv, base)) {
    console::PathTooLong(kPathBuffer - 1);
    return 0;
  }
  if (!CutBaseName(base)) return 0;

  const int baseLimit = build.LongestBaseName();
  if (static_cast<int>(std::strlen(base)) > baseLimit) {
    console::BaseNameTooLong(baseLimit);
    return 0;
  }

  char planName[kPathBuffer];
  char scratchName[kPathBuffer];
  char intermediateName[kPathBuffer];
  char pageName[kPathBuffer];
  if (!DeriveName(planName, "%s.lst", base) || !DeriveName(scratchName, "%s.asc", base) ||
      !DeriveName(intermediateName, "%s.out", base) || !DeriveName(pageName, build.pageNameFormat, base)) {
    console::BaseNameTooLong(baseLimit);
    return 0;
  }

  // Runs of one plan share every file derived from it, so they take turns.
  const PlanLock lock(base, PlanLock::Wait::kUntilFree);

  // Every run starts from the empty model, also when one process runs several.
  if (gModelUsed) std::memset(&gModel, 0, sizeof gModel);
  gModelUsed = true;
  FileHandle plan;
  if (!OpenPlanFile(planName, plan)) return 0;
  PlanEncoding encoding = PlanEncoding::kKs;
  WorkFile scratch;
  if (!NormalisePlanFile(plan, planName, scratchName, scratch, &encoding)) return 0;
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
    console::PlanCannotBeRead(planName);
    return 0;
  }

  if (ValidateModel(gModel, printer) != ValidateStatus::kValid) return 0;
  WorkFile intermediate;
  if (!WriteIntermediateFile(intermediateName, intermediate)) return 0;
  if (!EncodePageFile(intermediate, intermediateName, pageName)) {
    console::EncodingFailed();
    return 0;
  }
  console::PageCreated(pageName);
  intermediate.Remove();
  return 0;
}

}  // namespace plotweave
