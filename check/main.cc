// plotweave-check: reports every trap in ontology plans, with its line and
// column; it writes no file but the UTF-8 copy --fix-encoding asks for.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build_config.h"
#include "check/fix_encoding.h"
#include "check/options.h"
#include "check/plan_check.h"
#include "check/report.h"
#include "io/file.h"
#include "io/replacing_file.h"

namespace plotweave {
namespace {

constexpr size_t kPathBufferForCopy = 4096;

constexpr char kUsage[] =
    "Usage: plotweave-check [OPTION]... PLAN...\n"
    "Reports every trap in each ontology plan, with its line and column, before a page\n"
    "is made. Writes no file but the copy --fix-encoding asks for.\n"
    "\n"
    "  --format=text|json  PLAN:LINE:COLUMN: severity: message (text, the default), or\n"
    "                      one JSON object per finding and a summary per plan\n"
    "  --strict            exit with status 1 on warnings as well as on errors\n"
    "  --fix-encoding      for a plan saved as \"ANSI\" (CP949) on Korean Windows,\n"
    "                      write its UTF-8 copy beside it as NAME-utf8.lst\n"
    "  --color=auto|always|never\n"
    "                      colour the text output (auto: only on a terminal)\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 no error, 1 an error (with --strict also a warning), 2 a usage\n"
    "error or a plan that cannot be read.\n";

// Prints each finding as it comes and counts them.
class PrintingSink final : public FindingSink {
 public:
  PrintingSink(const char* plan, const CheckOptions& options, bool colour)
      : plan_(plan), options_(options), colour_(colour) {}

  void Report(const Finding& finding) override {
    counts_.Count(finding.code);
    if (finding.code == FindingCode::kCp949Character) ++cp949_;
    static char line[kReportLineWidth];
    const size_t n = options_.format == OutputFormat::kJson
                         ? FormatJsonFinding(plan_, finding, line, sizeof line)
                         : FormatTextFinding(plan_, finding, colour_, line, sizeof line);
    std::fwrite(line, 1, n, stdout);
  }
  const FindingCounts& counts() const { return counts_; }
  long cp949() const { return cp949_; }

 private:
  const char* plan_;
  const CheckOptions& options_;
  bool colour_;
  FindingCounts counts_;
  long cp949_ = 0;
};

// Writes the UTF-8 copy of the KS plan at `path` beside it, never over
// anything that stands under the copy's name; null when it was written,
// else why not.
const char* WriteUtf8Copy(const char* path, char* name, size_t width) {
  if (!Utf8CopyName(path, name, width)) return "has no name for a copy";
#ifdef _WIN32
  struct _stat st;
  if (_stat(name, &st) == 0) return "already exists, and is not replaced";
#else
  struct stat st;
  if (lstat(name, &st) == 0) return "already exists, and is not replaced";
#endif
  FileHandle plan(path, "rb");
  if (!plan) return "cannot be made: the plan cannot be opened";
  ReplacingFile copy(name, "wb", TempName::kUnique);
  if (!copy) return std::strerror(errno);
  FileSource source(plan.get());
  FileSink sink(copy.get());
  if (CopyAsUtf8(source, sink) != StreamStatus::kDone || !copy.Commit()) return "cannot be written";
  return nullptr;
}

// Checks the plan at `path`; null when it was checked, else why it was not.
const char* CheckPlanFile(const char* path, PrintingSink& sink, PlanSummary* summary) {
  // A FIFO or a device would never end, and a folder is no plan.
  if (IsSpecialFile(path)) return "not a regular file";
  FileHandle file(path, "rb");
  if (!file) return "cannot be opened";
  FileSource source(file.get());
  CheckPlanName(path, sink);
  const PlanCheckStatus checked = CheckPlan(source, sink, summary);
  if (!file.Close() || checked != PlanCheckStatus::kChecked) return "cannot be read";
  return nullptr;
}

int Run(int argc, const char* const* argv) {
  CheckOptions options;
  char error[kOptionErrorWidth];
  if (!ParseCheckOptions(argc, argv, &options, error, sizeof error)) {
    std::fprintf(stderr, "plotweave-check: %s\nTry 'plotweave-check --help' for more information.\n", error);
    return 2;
  }
  if (options.help || options.version) {
    if (options.help) {
      std::fputs(kUsage, stdout);
    } else {
      std::printf("plotweave-check (Plotweave) %s\n", PLOTWEAVE_VERSION);
    }
    // Help that never arrived (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "plotweave-check: the %s could not be written\n", options.help ? "help" : "version");
      return 2;
    }
    return 0;
  }
  const bool colour = options.format == OutputFormat::kText &&
                      (options.colour == ColourChoice::kAlways ||
                       (options.colour == ColourChoice::kAuto && ColourOnTerminal()));
  int status = 0;
  PlanCursor cursor;
  for (int i; (i = NextPlanArgument(argc, argv, &cursor)) >= 0;) {
    const char* plan = argv[i];
    PrintingSink sink(plan, options, colour);
    PlanSummary summary;
    const char* problem = CheckPlanFile(plan, sink, &summary);
    std::fflush(stdout);
    if (problem != nullptr) {
      std::fprintf(stderr, "plotweave-check: %s: %s\n", plan, problem);
      status = 2;
      continue;
    }
    summary.counts = sink.counts();
    if (options.format == OutputFormat::kJson) {
      static char line[kReportLineWidth];
      std::fwrite(line, 1, FormatJsonSummary(plan, summary, line, sizeof line), stdout);
    }
    if (options.fixEncoding && sink.cp949() > 0) {
      char copy[kPathBufferForCopy];
      if (const char* why = WriteUtf8Copy(plan, copy, sizeof copy)) {
        std::fprintf(stderr, "plotweave-check: %s: the UTF-8 copy %s %s\n", plan, copy, why);
        status = 2;
      } else {
        std::fprintf(stderr, "plotweave-check: %s: wrote %s, the plan in UTF-8 with its CP949 syllables\n", plan,
                     copy);
      }
    }
    const bool failed = summary.counts.errors > 0 || (options.strict && summary.counts.warnings > 0);
    if (failed && status == 0) status = 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "plotweave-check: the findings could not be written\n");
    return 2;
  }
  return status;
}

}  // namespace
}  // namespace plotweave

int main(int argc, char** argv) { return plotweave::Run(argc, argv); }
