// A fuzz target, kept beside the run it drives (fuzz/ builds it): the whole
// run, in both build settings, on arbitrary plan bytes in a
// temporary directory, checking what a run leaves behind:
//  - no scratch file;
//  - the intermediate page only after a failed conversion (the run's last line
//    is then the conversion error);
//  - the visualization page exactly when the success line was printed, and
//    then as the byte-order mark and well-formed UTF-8;
//  - the plan unchanged and no other file.
//
// An input that starts with a byte from 0xF0 to 0xF7 (no plan's byte-order
// mark starts so) puts an obstacle in the way of one derived file first: the
// low three bits pick it (see kObstacles), the rest of the input is the plan.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/run_flow.h"
#include "fuzz/fuzz_support.h"

namespace {

struct Build {
  const plotweave::BuildSetting& setting;
  const char* page;
};

// The same-window and the new-window program.
const Build kBuilds[] = {
    {plotweave::kSameWindowBuild, "plan_self.htm"},
    {plotweave::kNewWindowBuild, "plan.htm"},
};

const char kPlan[] = "plan.lst";
const char kScratch[] = "plan.asc";
const char kIntermediate[] = "plan.out";

enum Obstacle {
  kNone,
  kScratchOnFullDisk,       // plan.asc -> /dev/full
  kIntermediateOnFullDisk,  // plan.out -> /dev/full
  kPageOnFullDisk,          // page -> /dev/full
  kPageIsDirectory,
  kIntermediateIsDirectory,
  kScratchIsDirectory,
  kPageInMissingDirectory,  // page -> missing/page, a link into nowhere
};

std::string gDir;
int gCapture = -1;
int gNull = -1;

bool IsRegular(const char* name) {
  struct stat st;
  return lstat(name, &st) == 0 && S_ISREG(st.st_mode);
}

void RemoveAny(const char* name) {
  struct stat st;
  if (lstat(name, &st) != 0) return;
  FUZZ_CHECK((S_ISDIR(st.st_mode) ? rmdir(name) : unlink(name)) == 0);
}

const char* ObstacleName(int obstacle, const Build& build) {
  switch (obstacle) {
    case kScratchOnFullDisk:
    case kScratchIsDirectory: return kScratch;
    case kIntermediateOnFullDisk:
    case kIntermediateIsDirectory: return kIntermediate;
    case kNone: return nullptr;
    default: return build.page;
  }
}

void PlaceObstacle(int obstacle, const Build& build) {
  const char* name = ObstacleName(obstacle, build);
  switch (obstacle) {
    case kScratchOnFullDisk:
    case kIntermediateOnFullDisk:
    case kPageOnFullDisk: FUZZ_CHECK(symlink("/dev/full", name) == 0); break;
    case kPageIsDirectory:
    case kIntermediateIsDirectory:
    case kScratchIsDirectory: FUZZ_CHECK(mkdir(name, 0755) == 0); break;
    case kPageInMissingDirectory: FUZZ_CHECK(symlink("missing/page", name) == 0); break;
    default: break;
  }
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// What the run printed.
std::string Run(const Build& build) {
  FUZZ_CHECK(ftruncate(gCapture, 0) == 0);
  FUZZ_CHECK(lseek(gCapture, 0, SEEK_SET) == 0);
  std::fflush(stdout);
  FUZZ_CHECK(dup2(gCapture, STDOUT_FILENO) >= 0);
  const char* argv[] = {"plotweave", kPlan, nullptr};
  FUZZ_CHECK(plotweave::RunPlotweave(2, argv, build.setting) == 0);
  std::fflush(stdout);
  FUZZ_CHECK(dup2(gNull, STDOUT_FILENO) >= 0);
  std::string out;
  char buf[4096];
  ssize_t n;
  off_t at = 0;
  while ((n = pread(gCapture, buf, sizeof buf, at)) > 0) {
    out.append(buf, static_cast<size_t>(n));
    at += n;
  }
  return out;
}

void CheckOnlyKnownEntries(int obstacle, const Build& build) {
  DIR* d = opendir(".");
  FUZZ_CHECK(d != nullptr);
  const char* obstacleName = ObstacleName(obstacle, build);
  while (dirent* e = readdir(d)) {
    const char* n = e->d_name;
    if (!std::strcmp(n, ".") || !std::strcmp(n, "..") || !std::strcmp(n, kPlan) ||
        !std::strcmp(n, kIntermediate) || !std::strcmp(n, build.page) ||
        (obstacleName != nullptr && !std::strcmp(n, obstacleName))) {
      continue;
    }
    std::fprintf(stderr, "stray file: %s\n", n);
    FUZZ_CHECK(false);
  }
  closedir(d);
}

void RunOnce(const Build& build, int obstacle, const std::string& plan) {
  plotweave::fuzz::WriteAll(kPlan, plan);
  PlaceObstacle(obstacle, build);

  const std::string out = Run(build);
  const bool success =
      EndsWith(out, std::string("Visualization Script ") + build.page + " has been Created.\n");
  const bool conversionFailed = EndsWith(out, "Output File Encoding Conversion Error.\n");

  FUZZ_CHECK(!IsRegular(kScratch));
  FUZZ_CHECK(IsRegular(kIntermediate) == conversionFailed);
  FUZZ_CHECK(IsRegular(build.page) == success);
  if (success) {
    struct stat st;
    FUZZ_CHECK(lstat(kIntermediate, &st) != 0);
    const std::string page = plotweave::fuzz::ReadAll(build.page);
    FUZZ_CHECK(page.compare(0, 3, "\xEF\xBB\xBF") == 0);
    FUZZ_CHECK(plotweave::fuzz::DecodeStrictUtf8(page.substr(3), nullptr));
  }
  if (obstacle == kNone) FUZZ_CHECK(success || out.find("Invalid!\n") != std::string::npos);
  FUZZ_CHECK(plotweave::fuzz::ReadAll(kPlan) == plan);
  CheckOnlyKnownEntries(obstacle, build);

  for (const char* name : {kPlan, kScratch, kIntermediate, build.page}) RemoveAny(name);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plotweave::fuzz::SilenceStdout();
  gDir = plotweave::fuzz::MakeScratchDir("plotweave-run-fuzz");
  FUZZ_CHECK(chdir(gDir.c_str()) == 0);
  FILE* capture = std::tmpfile();
  FUZZ_CHECK(capture != nullptr);
  gCapture = fileno(capture);
  gNull = open("/dev/null", O_WRONLY);
  FUZZ_CHECK(gNull >= 0);
  std::atexit([] {
    if (chdir("/") == 0) rmdir(gDir.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int obstacle = kNone;
  if (size > 0 && data[0] >= 0xF0 && data[0] <= 0xF7) {
    obstacle = data[0] & 7;
    ++data;
    --size;
  }
  const std::string plan(reinterpret_cast<const char*>(data), size);
  for (const Build& build : kBuilds) RunOnce(build, obstacle, plan);
  return 0;
}
