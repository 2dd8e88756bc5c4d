// plotweave-export: writes an ontology plan in a graph or ontology format
// (GraphML, GEXF, Cytoscape.js JSON, Graphviz DOT, OWL in Turtle) or as the
// five interchange tables.
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "build_config.h"
#include "check/plan_check.h"
#include "check/report.h"
#include "export/folder.h"
#include "export/formats.h"
#include "export/options.h"
#include "export/read_plan.h"
#include "io/file.h"
#include "io/replacing_file.h"
#include "plan/plan_name.h"

namespace plotweave {
namespace {

constexpr char kName[] = "plotweave-export";

constexpr char kUsage[] =
    "Usage: plotweave-export PLAN --to FORMAT [-o FILE | -o -] [--base IRI]\n"
    "Writes the ontology plan PLAN in another format. The plan is read as plotweave\n"
    "reads it; a plan that plotweave refuses is refused, with the reasons, and\n"
    "nothing is written.\n"
    "\n"
    "  --to FORMAT      graphml  GraphML with declared keys\n"
    "                   gexf     GEXF 1.3 with colours and shapes\n"
    "                   cyjs     Cytoscape.js elements JSON\n"
    "                   dot      Graphviz DOT\n"
    "                   ttl      OWL in Turtle\n"
    "                   csv      the five interchange tables, in a folder\n"
    "  -o, --output FILE\n"
    "                   the file (the folder for csv) to write; '-' for standard\n"
    "                   output (not for csv). Default: the plan's base name with\n"
    "                   .graphml, .gexf, .cyjs, .dot, .ttl, or -csv for the folder\n"
    "  --base IRI       the namespace of the Turtle names; default\n"
    "                   https://plotweave.example.org/plan/NAME# for the plan NAME.lst\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 written, 1 the plan is refused, 2 a usage error, a plan that\n"
    "cannot be read or an output that cannot be written.\n";

// A refused plan: the checker's errors, in its form, on standard error.
class RefusalSink final : public FindingSink {
 public:
  explicit RefusalSink(const char* plan) : plan_(plan) {}
  void Report(const Finding& finding) override {
    if (KindOf(finding.code).severity != FindingSeverity::kError || finding.code == FindingCode::kPlanName) return;
    static char line[kReportLineWidth];
    std::fwrite(line, 1, FormatTextFinding(plan_, finding, false, line, sizeof line), stderr);
    ++shown;
  }
  long shown = 0;

 private:
  const char* plan_;
};

void ShowRefusal(const char* plan) {
  RefusalSink sink(plan);
  FileHandle file(plan, "rb");
  if (file) {
    FileSource source(file.get());
    PlanSummary summary;
    CheckPlan(source, sink, &summary);
  }
  if (sink.shown == 0) std::fprintf(stderr, "%s: %s: plotweave refuses this plan\n", kName, plan);
  std::fprintf(stderr, "%s: %s: nothing written\n", kName, plan);
}

// The plan's base name without its folders: the graph's name, and the
// last part of the default namespace.
void PlanName(const char* plan, const PlanFileNames* names, char (&name)[kPathBuffer]) {
  const char* from = names != nullptr ? names->base : plan;
  for (const char* p = from; *p != '\0'; ++p) {
#ifdef _WIN32
    if (*p == '/' || *p == '\\') from = p + 1;
#else
    if (*p == '/') from = p + 1;
#endif
  }
  // A name longer than the buffer (a plan path with no base name, given with
  // -o) is cut, but never inside a UTF-8 character.
  size_t n = std::strlen(from);
  if (n > sizeof name - 1) {
    n = sizeof name - 1;
    while (n > 0 && (static_cast<unsigned char>(from[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(name, from, n);
  name[n] = '\0';
}

// The default namespace: the fixed prefix, the name percent-encoded where an
// IRI path segment would not take it, and '#'.
void DefaultBase(const char* name, char* base, size_t width) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t n = std::snprintf(base, width, "%s", kDefaultBasePrefix);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != '\0' && n + 5 < width; ++p) {
    const unsigned char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c >= 0x80) {
      base[n++] = static_cast<char>(c);
    } else {
      base[n++] = '%';
      base[n++] = kHex[c >> 4];
      base[n++] = kHex[c & 15];
    }
  }
  base[n++] = '#';
  base[n] = '\0';
}

// A node line whose id an earlier one has is left out of the graph formats.
void WarnRepeatedIds(const char* plan, const ExportModel& model, ExportFormat format) {
  for (int i = 0; i < model.nodeCount; ++i) {
    const ExportNode& node = model.nodes[i];
    if (node.first) continue;
    std::fprintf(stderr,
                 "%s:%ld:1: warning: the node id \"%s\" is given again, and the %s output keeps only the "
                 "first node of that id\n",
                 plan, static_cast<long>(node.line), node.id, FormatName(format));
  }
}

int CannotWrite(const char* output, int error) {
  std::fprintf(stderr, "%s: cannot write %s: %s\n", kName, output, std::strerror(error));
  return 2;
}

int WriteOne(const char* output, const ExportModel& model, const ExportSettings& settings, ExportFormat format) {
  if (std::strcmp(output, "-") == 0) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    FileSink sink(stdout);
    BufferedWriter out(sink);
    WriteFormat(format, model, settings, out);
    if (!out.Flush() || std::fflush(stdout) != 0) return CannotWrite("standard output", errno);
    return 0;
  }
  // No lock is taken, so two runs for one output each write a temporary
  // file of their own; the last to finish leaves a whole file.
  ReplacingFile file(output, "wb", TempName::kUnique);
  if (!file) return CannotWrite(output, errno);
  {
    FileSink sink(file.get());
    BufferedWriter out(sink);
    WriteFormat(format, model, settings, out);
    if (!out.Flush()) return CannotWrite(output, errno);
  }
  if (!file.Commit()) return CannotWrite(output, errno);
  std::fprintf(stderr, "%s: wrote %s\n", kName, output);
  return 0;
}

int WriteTables(const char* folder, const ExportModel& model) {
  char paths[kCsvTableCount][kPathBuffer * 2];
  for (int t = 0; t < kCsvTableCount; ++t) {
    const int n = std::snprintf(paths[t], sizeof paths[t], "%s/%s", folder, CsvFileName(static_cast<CsvTable>(t)));
    if (n < 0 || static_cast<size_t>(n) >= sizeof paths[t]) return CannotWrite(folder, ENAMETOOLONG);
  }
  const FolderState state = PrepareFolder(folder);
  if (state == FolderState::kFailed) return CannotWrite(folder, errno);
  int status = 0;
  {
    // All five are written before any takes its place, so that a failure
    // while writing leaves every table as it was.
    ReplacingFile nodes(paths[0], "wb", TempName::kUnique);
    ReplacingFile links(paths[1], "wb", TempName::kUnique);
    ReplacingFile classes(paths[2], "wb", TempName::kUnique);
    ReplacingFile relations(paths[3], "wb", TempName::kUnique);
    ReplacingFile captions(paths[4], "wb", TempName::kUnique);
    ReplacingFile* files[kCsvTableCount] = {&nodes, &links, &classes, &relations, &captions};
    for (int t = 0; t < kCsvTableCount && status == 0; ++t) {
      if (!*files[t]) {
        status = CannotWrite(paths[t], errno);
        break;
      }
      FileSink sink(files[t]->get());
      BufferedWriter out(sink);
      WriteCsvTable(model, static_cast<CsvTable>(t), out);
      if (!out.Flush()) status = CannotWrite(paths[t], errno);
    }
    for (int t = 0; t < kCsvTableCount && status == 0; ++t) {
      if (!files[t]->Commit()) status = CannotWrite(paths[t], errno);
    }
  }
  // The temporary files are gone once their owners are: a folder this run
  // made and filled with nothing goes too.
  if (status != 0 && state == FolderState::kCreated) RemoveFolder(folder);
  if (status == 0) std::fprintf(stderr, "%s: wrote %s\n", kName, folder);
  return status;
}

int Usage(const char* message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kName, message, kName);
  return 2;
}

// The model of the one plan a run exports; too large for a stack.
ExportModel gModel;

int Run(int argc, const char* const* argv) {
  ExportOptions options;
  char error[kOptionErrorWidth];
  if (!ParseExportOptions(argc, argv, &options, error, sizeof error)) return Usage(error);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (options.version) {
    std::printf("%s (Plotweave) %s\n", kName, PLOTWEAVE_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 2;
  }
  const char* plan = options.plan;
  PlanFileNames names;
  const bool named = NamePlanFiles(plan, kNewWindowBuild, &names) == PlanNameStatus::kNamed;
  char output[4096];
  if (options.output != nullptr) {
    std::snprintf(output, sizeof output, "%s", options.output);
    if (std::strlen(options.output) >= sizeof output) return Usage("the output name is too long");
  } else if (!named || std::strlen(names.base) + std::strlen(FormatExtension(options.format)) >= sizeof output) {
    return Usage("no output name can be made from this plan's name; give one with -o");
  } else {
    std::snprintf(output, sizeof output, "%s%s", names.base, FormatExtension(options.format));
  }

  // A FIFO or a device would never end, and a folder is no plan.
  if (IsSpecialFile(plan)) {
    std::fprintf(stderr, "%s: %s: not a regular file\n", kName, plan);
    return 2;
  }
  FileHandle file(plan, "rb");
  if (!file) {
    std::fprintf(stderr, "%s: %s: cannot be opened: %s\n", kName, plan, std::strerror(errno));
    return 2;
  }
  FileSource source(file.get());
  const ExportRead read = ReadPlanForExport(source, &gModel);
  if (!file.Close() || read == ExportRead::kUnreadable) {
    std::fprintf(stderr, "%s: %s: cannot be read\n", kName, plan);
    return 2;
  }
  if (read == ExportRead::kRefused) {
    ShowRefusal(plan);
    return 1;
  }

  char name[kPathBuffer];
  PlanName(plan, named ? &names : nullptr, name);
  char base[kPathBuffer * 3 + sizeof kDefaultBasePrefix + 2];
  if (options.base != nullptr) {
    if (std::strlen(options.base) >= sizeof base) return Usage("the --base IRI is too long");
    std::snprintf(base, sizeof base, "%s", options.base);
  } else {
    DefaultBase(name, base, sizeof base);
  }
  const ExportSettings settings{name, base, PLOTWEAVE_VERSION};
  if (options.format == ExportFormat::kCsv) return WriteTables(output, gModel);
  WarnRepeatedIds(plan, gModel, options.format);
  return WriteOne(output, gModel, settings, options.format);
}

}  // namespace
}  // namespace plotweave

int main(int argc, char** argv) { return plotweave::Run(argc, argv); }
