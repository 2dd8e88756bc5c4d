// plotweave-import: an ontology plan from spreadsheet tables (CSV or TSV),
// written only when the tables make a plan that shows what they say.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build_config.h"
#include "check/plan_check.h"
#include "check/report.h"
#include "import/import.h"
#include "io/file.h"
#include "io/replacing_file.h"

namespace plotweave {
namespace {

constexpr char kName[] = "plotweave-import";

constexpr char kUsage[] =
    "Usage: plotweave-import --nodes NODES.csv [--links LINKS.csv] [--classes CLASSES.csv]\n"
    "         [--relations RELATIONS.csv] [--captions CAPTIONS.csv | --caption TEXT]\n"
    "         [OPTION]... -o PLAN.lst\n"
    "Writes an ontology plan from spreadsheet tables, and reports every value that the\n"
    "plan cannot carry as the table gives it, as TABLE:ROW:COLUMN: severity: message.\n"
    "\n"
    "  -o, --output=PLAN.lst   the plan to write (replaced only once it is whole)\n"
    "  --delimiter=CHAR        ',' ';' or 'tab' (default: told by each header row)\n"
    "  --encoding=utf-8|cp949  the tables' encoding when they have no byte-order mark\n"
    "                          (cp949: \"ANSI\" as Korean Windows saves it)\n"
    "  --ks                    write the plan in KS code instead of UTF-8\n"
    "  --strict                refuse the import on warnings as well as on errors\n"
    "  --color=auto|always|never\n"
    "                          colour the findings (auto: only on a terminal)\n"
    "  -h, --help              show this help and exit\n"
    "  --version               show the version and exit\n"
    "\n"
    "Exit status: 0 the plan was written, 1 the import was refused (an error; with\n"
    "--strict also a warning), 2 a usage error or a table that cannot be read.\n";

enum class Colour { kAuto, kAlways, kNever };

struct Options {
  const char* files[5] = {};  // nodes, links, classes, relations, captions
  const char* caption = nullptr;
  const char* output = nullptr;
  ImportOptions import;
  Colour colour = Colour::kAuto;
  bool strict = false;
  bool help = false;
  bool version = false;
};

// Whether `text` is `lower` with any of its letters in upper case.
bool SameFolded(const char* text, const char* lower) {
  for (; *lower != '\0'; ++text, ++lower) {
    const char c = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
    if (c != *lower) return false;
  }
  return *text == '\0';
}

constexpr const char* kTableOptions[] = {"--nodes", "--links", "--classes", "--relations", "--captions"};

// Reads the options; false on a usage error, described in `error`.
bool ParseOptions(int argc, char** argv, Options* o, char* error, size_t width) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      o->help = true;
      continue;
    }
    if (std::strcmp(arg, "--version") == 0) {
      o->version = true;
      continue;
    }
    if (std::strcmp(arg, "--ks") == 0) {
      o->import.ks = true;
      continue;
    }
    if (std::strcmp(arg, "--strict") == 0) {
      o->strict = true;
      continue;
    }
    // The rest take a value, as "--name VALUE" or "--name=VALUE".
    char name[32];
    const char* value = nullptr;
    const char* equals = std::strchr(arg, '=');
    if (arg[0] == '-' && arg[1] == '-' && equals != nullptr && static_cast<size_t>(equals - arg) < sizeof name) {
      std::memcpy(name, arg, static_cast<size_t>(equals - arg));
      name[equals - arg] = '\0';
      value = equals + 1;
    } else if (std::strlen(arg) < sizeof name) {
      std::strcpy(name, arg);
    } else {
      std::snprintf(error, width, "unknown option '%.40s...'", arg);
      return false;
    }
    bool known = false;
    const char** target = nullptr;
    for (int t = 0; t < 5; ++t) {
      if (std::strcmp(name, kTableOptions[t]) == 0) target = &o->files[t];
    }
    if (std::strcmp(name, "--caption") == 0) target = &o->caption;
    if (std::strcmp(name, "-o") == 0 || std::strcmp(name, "--output") == 0) target = &o->output;
    known = target != nullptr || std::strcmp(name, "--delimiter") == 0 || std::strcmp(name, "--encoding") == 0 ||
            std::strcmp(name, "--color") == 0 || std::strcmp(name, "--colour") == 0;
    if (!known) {
      std::snprintf(error, width, "unknown option '%s'", name);
      return false;
    }
    if (value == nullptr) {
      if (i + 1 == argc) {
        std::snprintf(error, width, "option '%s' needs a value", name);
        return false;
      }
      value = argv[++i];
    }
    if (target != nullptr) {
      if (*target != nullptr) {
        std::snprintf(error, width, "option '%s' is given twice", name);
        return false;
      }
      *target = value;
    } else if (std::strcmp(name, "--delimiter") == 0) {
      if (std::strcmp(value, "tab") == 0 || std::strcmp(value, "\\t") == 0 || std::strcmp(value, "\t") == 0) {
        o->import.delimiter = '\t';
      } else if (std::strcmp(value, ",") == 0 || std::strcmp(value, ";") == 0) {
        o->import.delimiter = value[0];
      } else {
        std::snprintf(error, width, "--delimiter takes ',', ';' or 'tab', not '%.40s'", value);
        return false;
      }
    } else if (std::strcmp(name, "--encoding") == 0) {
      if (SameFolded(value, "cp949") || SameFolded(value, "ansi") || SameFolded(value, "uhc")) {
        o->import.encoding = TableEncoding::kCp949;
      } else if (SameFolded(value, "utf-8") || SameFolded(value, "utf8")) {
        o->import.encoding = TableEncoding::kUtf8;
      } else {
        std::snprintf(error, width, "--encoding takes utf-8 or cp949, not '%.40s'", value);
        return false;
      }
    } else {
      if (std::strcmp(value, "auto") == 0) {
        o->colour = Colour::kAuto;
      } else if (std::strcmp(value, "always") == 0) {
        o->colour = Colour::kAlways;
      } else if (std::strcmp(value, "never") == 0) {
        o->colour = Colour::kNever;
      } else {
        std::snprintf(error, width, "--color takes auto, always or never, not '%.40s'", value);
        return false;
      }
    }
  }
  if (o->help || o->version) return true;
  if (o->files[0] == nullptr) {
    std::snprintf(error, width, "no nodes table: give --nodes NODES.csv");
    return false;
  }
  if (o->output == nullptr) {
    std::snprintf(error, width, "no plan to write: give -o PLAN.lst");
    return false;
  }
  if (o->caption != nullptr && o->files[4] != nullptr) {
    std::snprintf(error, width, "--caption and --captions exclude each other");
    return false;
  }
  return true;
}

// Prints each finding as it comes and counts them by severity.
class PrintingSink final : public ImportSink, public FindingSink {
 public:
  PrintingSink(const char* plan, bool colour) : plan_(plan), colour_(colour) {}

  void Report(const ImportFinding& f) override { Print(f.table, f.row, f.column, KindOf(f.code), f.message); }
  // The checker's finding about the plan's name, which the plan's writer
  // can still put right: a warning here.
  void Report(const Finding& f) override { Print(plan_, f.line, f.column, KindOf(ImportCode::kPlanName), f.message); }

  long errors = 0;
  long warnings = 0;

 private:
  void Print(const char* where, long row, long column, const FindingKind& kind, const char* message) {
    errors += kind.severity == FindingSeverity::kError;
    warnings += kind.severity == FindingSeverity::kWarning;
    static char line[kReportLineWidth];
    std::fwrite(line, 1,
                FormatFindingLine(where, row, column, kind.severity, message, kind.name, colour_, line, sizeof line),
                stdout);
  }

  const char* plan_;
  bool colour_;
};

// The output is written where it is named, never where a link leads, and
// never into a folder, a device or a FIFO.
const char* OutputProblem(const char* path) {
#ifndef _WIN32
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) return "is a symbolic link, which is not followed";
#endif
  if (IsSpecialFile(path)) return "is not a regular file";
  return nullptr;
}

int Run(int argc, char** argv) {
  Options o;
  char error[256];
  if (!ParseOptions(argc, argv, &o, error, sizeof error)) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kName, error, kName);
    return 2;
  }
  if (o.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (o.version) {
    std::printf("%s (Plotweave) %s\n", kName, PLOTWEAVE_VERSION);
    return 0;
  }
  if (const char* problem = OutputProblem(o.output)) {
    std::fprintf(stderr, "%s: %s %s\n", kName, o.output, problem);
    return 2;
  }
  FileHandle files[5];
  ImportTables tables;
  ImportInput* inputs[5] = {&tables.nodes, &tables.links, &tables.classes, &tables.relations, &tables.captions};
  for (int t = 0; t < 5; ++t) {
    const char* path = o.files[t];
    if (path == nullptr) continue;
    // A FIFO or a device would never end, and a folder is no table.
    if (IsSpecialFile(path) || !files[t].Open(path, "rb")) {
      std::fprintf(stderr, "%s: %s: %s\n", kName, path,
                   IsSpecialFile(path) ? "not a regular file" : std::strerror(errno));
      return 2;
    }
    inputs[t]->name = path;
  }
  FileSource sources[5] = {FileSource(files[0].get()), FileSource(files[1].get()), FileSource(files[2].get()),
                           FileSource(files[3].get()), FileSource(files[4].get())};
  for (int t = 0; t < 5; ++t) {
    if (o.files[t] != nullptr) inputs[t]->source = &sources[t];
  }
  tables.caption = o.caption;

  const bool colour = o.colour == Colour::kAlways || (o.colour == Colour::kAuto && ColourOnTerminal());
  PrintingSink sink(o.output, colour);
  CheckPlanName(o.output, sink);
  const ImportStatus status = ReadTables(tables, o.import, sink);
  for (int t = 0; t < 5; ++t) {
    if (o.files[t] != nullptr && !files[t].Close() && status == ImportStatus::kRead) {
      std::fprintf(stderr, "%s: %s: cannot be read\n", kName, o.files[t]);
      return 2;
    }
  }
  std::fflush(stdout);
  if (status != ImportStatus::kRead) {
    std::fprintf(stderr, "%s: a table cannot be read to its end\n", kName);
    return 2;
  }
  if (sink.errors > 0 || (o.strict && sink.warnings > 0)) {
    std::fprintf(stderr, "%s: %ld error%s, %ld warning%s; %s not written\n", kName, sink.errors,
                 sink.errors == 1 ? "" : "s", sink.warnings, sink.warnings == 1 ? "" : "s", o.output);
    return 1;
  }
  // Written under a name of its own and renamed into place once whole, so
  // that a reader never meets half a plan and a failed run leaves the old one.
  ReplacingFile plan(o.output, "wb", TempName::kUnique);
  if (!plan) {
    std::fprintf(stderr, "%s: %s: cannot be created: %s\n", kName, o.output, std::strerror(errno));
    return 2;
  }
  FileSink out(plan.get());
  if (WriteImportedPlan(o.import, out) != StreamStatus::kDone || !plan.Commit()) {
    std::fprintf(stderr, "%s: %s: cannot be written: %s\n", kName, o.output, std::strerror(errno));
    return 2;
  }
  const ImportCounts counts = PlanCounts();
  std::fprintf(stderr, "%s: wrote %s: %d nodes, %d links, %d classes, %d relations, %d captions\n", kName, o.output,
               counts.nodes, counts.links, counts.classes, counts.relations, counts.captions);
  return 0;
}

}  // namespace
}  // namespace plotweave

int main(int argc, char** argv) { return plotweave::Run(argc, argv); }
