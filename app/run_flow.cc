#include "app/run_flow.h"

#include <cstdio>
#include <cstring>

#include "kscode/kscode.h"
#include "kscode/text_stream.h"
#include "page/page_writer.h"
#include "plan/model.h"
#include "plan/reader.h"
#include "plan/validate.h"

namespace plotweave {

namespace {

constexpr int kLongestFixedSuffix = 4;  // ".lst", ".asc", ".out"

// The model is far too large for a stack; one run fills it once.
OntologyModel gModel;
// Whether gModel holds an earlier run's plan. A process starts with it empty,
// so the first run need not touch the whole of it.
bool gModelUsed = false;

// Reads the plan (or its KS-coded scratch copy) into the model. A scratch
// name that leads to a device rather than to the file just written is refused.
bool ReadPlanFile(const char* path, const char* linkTarget) {
  if (!IsRegularFile(path)) return false;
  FileHandle stream(path, "rb");
  if (!stream) return false;
  const bool read = ReadPlan(stream.get(), gModel, linkTarget);
  return stream.Close() && read;
}

}  // namespace

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

int RunPlotweave(int argc, const char* const* argv, const char* linkTarget,
                 const char* pageNameFormat, int pageSuffixLength) {
  if (argc < 2) {
    std::printf("\nUsage: Plotweave <Ontology Data File> \n");
    return 0;
  }
  std::printf("\nVisualization Script Converter 2.1 (2017/09/19)");
  std::printf("\nJorin Vale, Quillon Laboratory, Vantor\n\n");

  char base[kPathBuffer];
  if (!JoinArguments(argc, argv, base)) {
    std::printf("Plan path is longer than %d bytes; nothing was read or written.\n",
                kPathBuffer - 1);
    return 0;
  }
  if (!CutBaseName(base)) return 0;

  const int suffix = pageSuffixLength > kLongestFixedSuffix ? pageSuffixLength : kLongestFixedSuffix;
  const int baseLimit = kPathBuffer - 1 - suffix;
  if (static_cast<int>(std::strlen(base)) > baseLimit) {
    std::printf("Base name is longer than %d bytes; nothing was read or written.\n", baseLimit);
    return 0;
  }

  char planName[kPathBuffer];
  char scratchName[kPathBuffer];
  char intermediateName[kPathBuffer];
  char pageName[kPathBuffer];
  std::snprintf(planName, sizeof planName, "%s.lst", base);
  std::snprintf(scratchName, sizeof scratchName, "%s.asc", base);

  // Every run starts from the empty model, also when one process runs several.
  if (gModelUsed) std::memset(&gModel, 0, sizeof gModel);
  gModelUsed = true;
  const int encoding = ConvertPlanToKs(planName, scratchName);
  switch (encoding) {
    case kPlanNotFound:
      std::printf("Ontology Plan \"%s\" Not Found!\n", planName);
      return 0;
    case kScratchNotCreated:
      std::printf("Scratch File Creation Error: %d\n", encoding);
      return 0;
    case kScratchWriteFailed:
      std::printf("Scratch File %s Write Error! The plan was not converted.\n", scratchName);
      return 0;
    case kPlanReadFailed:
      std::printf("Ontology Plan \"%s\" Cannot be Read!\n", planName);
      return 0;
    default:
      break;
  }
  std::printf("Text Encoding of LST file: %d [0:ANSI 1:UTF-8 2:UTF-16(BE) 3:UTF-16(LE)]\n", encoding);

  const char* source = encoding > 0 ? scratchName : planName;
  const bool read = ReadPlanFile(source, linkTarget);
  // The scratch copy has served once it is read, whatever happens next.
  if (encoding > 0) std::remove(scratchName);
  if (!read) {
    std::printf("Ontology Plan \"%s\" Cannot be Read!\n", planName);
    return 0;
  }

  if (!ValidateModel(gModel)) return 0;

  std::snprintf(intermediateName, sizeof intermediateName, "%s.out", base);
  switch (WritePage(gModel, intermediateName)) {
    case kPageNotCreated:
      std::printf("Intermediate File %s Creation Error!\n", intermediateName);
      return 0;
    case kPageWriteFailed:
      std::printf("Intermediate File %s Write Error! No page was created.\n", intermediateName);
      return 0;
    default:
      break;
  }

  std::snprintf(pageName, sizeof pageName, pageNameFormat, base);
  if (EncodePageUtf8(intermediateName, pageName) == -1) {
    std::printf("Output File Encoding Conversion Error.\n");
    return 0;
  }
  std::printf("Visualization Script %s has been Created.\n", pageName);
  std::remove(intermediateName);
  return 0;
}

}  // namespace plotweave
