// plotweave-preview: serves the page plotweave would write for a plan, made
// in memory, and redraws it in the browser each time the plan is saved, with
// the checker's findings beside it. Writes no file.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "build_config.h"
#include "bundle/kit.h"
#include "check/report.h"
#include "io/file.h"
#include "bundle/run_files.h"
#include "preview/options.h"
#include "preview/page_build.h"
#include "preview/plan_file.h"
#include "preview/server.h"
#include "preview/state_json.h"

namespace plotweave {
namespace {

constexpr char kUsage[] =
    "Usage: plotweave-preview [OPTION]... PLAN.lst\n"
    "Serves the page plotweave would write for PLAN on 127.0.0.1 and redraws it in\n"
    "the browser each time the plan is saved, with the plan's findings beside the\n"
    "drawing. Writes no file.\n"
    "\n"
    "  --port N     listen on port N (default 8400; 0 picks a free port)\n"
    "  --open       open the page in the default browser\n"
    "  --self       the page of plotweave_self (links open in the same window)\n"
    "  --kit DIR    the laboratory-server kit to serve (default: PLOTWEAVE_KIT,\n"
    "               then the installed kit)\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "Ctrl+C ends it. Exit status: 0 ended by the user, 2 a usage error, 4 the port\n"
    "cannot be listened on, 5 no kit.\n";

// How often the plan's stamp is looked at. A save is taken once its stamp
// has held for one look, so that a save written in several steps is read
// once, whole: a redraw follows a save within two looks and the build.
constexpr auto kLook = std::chrono::milliseconds(20);
// The plan is read whole into memory; a plan is far smaller.
constexpr size_t kPlanCapacity = size_t{16} << 20;
unsigned char gPlan[kPlanCapacity];

std::atomic<bool> gStop{false};

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD event) {
  gStop = true;
  // Closing the console ends the process once this returns: give the loop
  // time to stop the server first.
  if (event == CTRL_CLOSE_EVENT) Sleep(500);
  return TRUE;
}
void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
#else
extern "C" void OnSignal(int) { gStop = true; }
void CatchInterrupts() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A browser that closes its connection mid-answer is no reason to end.
  std::signal(SIGPIPE, SIG_IGN);
}
#endif

// Asks the desktop to open `url`; the preview does not wait for it.
bool OpenBrowser(const char* url) {
#ifdef _WIN32
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
#else
  const char* const args[] = {"xdg-open", url, nullptr};
  pid_t child;
  return posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char* const*>(args), environ) == 0;
#endif
}

// The findings on the console, as the checker prints them.
class ConsoleFindings final : public FindingSink {
 public:
  explicit ConsoleFindings(const char* plan) : plan_(plan) {}
  void Report(const Finding& finding) override {
    static char line[kReportLineWidth];
    std::fwrite(line, 1, FormatTextFinding(plan_, finding, false, line, sizeof line), stdout);
  }

 private:
  const char* plan_;
};

// The file part of a path.
const char* FileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  return name;
}

// Reads and previews the plan as it stands, publishes what came of it and
// says so on the console.
void TakeSave(const char* plan, const BuildSetting& build, BundleFiles& files, PreviewServer& server) {
  size_t size = 0;
  PreviewFindings* findings = server.NextFindings();
  findings->shown = 0;
  findings->counts = FindingCounts{};
  const PlanRead read = ReadPlanFile(plan, gPlan, sizeof gPlan, &size);
  PlanState state = PlanState::kUnreadable;
  if (read == PlanRead::kRead) {
    ConsoleFindings console(plan);
    switch (BuildPreview(gPlan, size, build, plan, console, files, findings, server.NextPage())) {
      case PreviewOutcome::kDrawn:
        state = PlanState::kDrawn;
        break;
      case PreviewOutcome::kRefused:
        state = PlanState::kRefused;
        break;
      case PreviewOutcome::kTooLarge:
        state = PlanState::kTooLarge;
        break;
      case PreviewOutcome::kKitUnreadable:
        state = PlanState::kKitUnreadable;
        break;
      case PreviewOutcome::kUnreadable:
        break;
    }
  } else if (read == PlanRead::kMissing) {
    state = PlanState::kMissing;
  } else if (read == PlanRead::kNotAFile) {
    state = PlanState::kNotAFile;
  } else if (read == PlanRead::kTooLarge) {
    state = PlanState::kTooLarge;
  }
  server.Publish(state, state == PlanState::kDrawn);

  const FindingCounts& c = findings->counts;
  switch (state) {
    case PlanState::kDrawn:
      std::printf("plotweave-preview: %s: drawn (%ld errors, %ld warnings, %ld notes)\n", plan, c.errors, c.warnings,
                  c.notes);
      break;
    case PlanState::kRefused:
      std::printf("plotweave-preview: %s: refused (%ld errors); the page keeps the last good drawing\n", plan,
                  c.errors);
      break;
    case PlanState::kMissing:
      std::printf("plotweave-preview: %s: not there; waiting for the next save\n", plan);
      break;
    case PlanState::kNotAFile:
      std::printf("plotweave-preview: %s: not a regular file; waiting for the next save\n", plan);
      break;
    case PlanState::kTooLarge:
      std::printf("plotweave-preview: %s: too large to preview; waiting for the next save\n", plan);
      break;
    case PlanState::kUnreadable:
      std::printf("plotweave-preview: %s: cannot be read; waiting for the next save\n", plan);
      break;
    case PlanState::kKitUnreadable:
      std::printf("plotweave-preview: %s: the kit cannot be read; waiting for the next save\n", plan);
      break;
  }
  std::fflush(stdout);
}

int Usage(const char* message) {
  std::fprintf(stderr, "plotweave-preview: %s\nTry 'plotweave-preview --help' for more information.\n", message);
  return 2;
}

int Run(int argc, const char* const* argv) {
  PreviewOptions options;
  char error[kPreviewErrorWidth];
  if (!ParsePreviewOptions(argc, argv, &options, error, sizeof error)) return Usage(error);
  if (options.help || options.version) {
    if (options.help) {
      std::fputs(kUsage, stdout);
    } else {
      std::printf("plotweave-preview (Plotweave) %s\n", PLOTWEAVE_VERSION);
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2;
  }
  const BuildSetting& build = options.self ? kSameWindowBuild : kNewWindowBuild;
  static PlanFileNames names;
  switch (NamePlanFiles(options.plan, build, &names)) {
    case PlanNameStatus::kNamed:
      break;
    case PlanNameStatus::kPathTooLong:
      std::snprintf(error, sizeof error, "the plan's path is longer than %d bytes", kPathBuffer - 1);
      return Usage(error);
    case PlanNameStatus::kNoBaseName:
      return Usage("the plan's name has no '.' after its first byte; name it NAME.lst");
    case PlanNameStatus::kBaseNameTooLong:
      std::snprintf(error, sizeof error, "the plan's name before its first '.' is longer than %d bytes",
                    build.LongestBaseName());
      return Usage(error);
  }
  const char* plan = names.plan;
  if (std::strcmp(plan, options.plan) != 0) {
    std::printf("plotweave-preview: previewing %s, the plan plotweave reads for %s\n", plan, options.plan);
  }

  static KitSearch kit;
  FindKit(options.kit, std::getenv("PLOTWEAVE_KIT"), argv[0], &kit);
  static char clientPath[kPathCapacity];
  if (kit.found < 0) {
    std::fprintf(stderr,
                 "plotweave-preview: no kit found; give it with --kit DIR or PLOTWEAVE_KIT (build it with "
                 "'npm run build' in web/)\n");
    return 5;
  }
  if (!KitFile(kit, "preview/client.js", clientPath) || !IsRegularFile(clientPath)) {
    std::fprintf(stderr, "plotweave-preview: the kit in %s has no preview/client.js; build it again\n",
                 kit.places[kit.found].path);
    return 5;
  }

  static char folderName[kPathBuffer];
  const size_t folderSize = static_cast<size_t>(FileName(plan) - plan);
  std::memcpy(folderName, plan, folderSize);
  folderName[folderSize] = '\0';
  // The kit and the page's pictures, opened under the bundler's rules.
  static PageFolderFiles files(folderName, kit, false);

  static PreviewServer server;
  const ServerSetup setup{plan, FileName(names.page), &kit};
  const int port = server.Start(options.port, setup);
  if (port < 0) {
    std::fprintf(stderr, "plotweave-preview: cannot listen on 127.0.0.1:%d\n", options.port);
    return 4;
  }
  CatchInterrupts();
  char url[kPathBuffer + 64];
  std::snprintf(url, sizeof url, "http://127.0.0.1:%d/", port);
  std::printf("plotweave-preview: %s at %s (Ctrl+C ends)\n", plan, url);
  std::fflush(stdout);
  if (options.open && !OpenBrowser(url)) {
    std::fprintf(stderr, "plotweave-preview: the browser could not be opened; open %s\n", url);
  }

  // The plan is looked at, never watched: one stat every look works the same
  // on every system and for every way of saving, renames included.
  PlanStamp taken = StampPlan(plan);
  PlanStamp seen = taken;
  TakeSave(plan, build, files, server);
  while (!gStop) {
    std::this_thread::sleep_for(kLook);
    const PlanStamp now = StampPlan(plan);
    if (now == seen && !(now == taken)) {
      taken = now;
      TakeSave(plan, build, files, server);
    }
    seen = now;
#ifndef _WIN32
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
#endif
  }
  server.Stop();
  std::printf("plotweave-preview: stopped\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace
}  // namespace plotweave

int main(int argc, char** argv) { return plotweave::Run(argc, argv); }
