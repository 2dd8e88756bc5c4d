#include "export/options.h"

#include <cstdio>
#include <cstring>

#include "export/escape.h"

namespace plotweave {

namespace {

// The value of option `name` at argv[*i], as "NAME=VALUE" or as the next
// argument (then *i moves past it); null when `arg` is another option.
// *missing is set when it is this option but has no value.
const char* ValueOf(int argc, const char* const* argv, int* i, const char* name, const char* shortName,
                    bool* missing) {
  const char* arg = argv[*i];
  const size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) == 0 && arg[n] == '=') return arg + n + 1;
  if (std::strcmp(arg, name) != 0 && (shortName == nullptr || std::strcmp(arg, shortName) != 0)) return nullptr;
  if (*i + 1 >= argc) {
    *missing = true;
    return nullptr;
  }
  return argv[++*i];
}

}  // namespace

bool ParseExportOptions(int argc, const char* const* argv, ExportOptions* options, char* error, size_t errorWidth) {
  *options = ExportOptions{};
  error[0] = '\0';
  bool pastEnd = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (pastEnd || arg[0] != '-' || arg[1] == '\0') {
      if (options->plan != nullptr) {
        std::snprintf(error, errorWidth, "one plan at a time: %.100s and %.100s", options->plan, arg);
        return false;
      }
      options->plan = arg;
      continue;
    }
    bool missing = false;
    const char* value;
    if (std::strcmp(arg, "--") == 0) {
      pastEnd = true;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options->help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options->version = true;
    } else if ((value = ValueOf(argc, argv, &i, "--to", nullptr, &missing)) != nullptr) {
      if (!FindFormat(value, &options->format)) {
        std::snprintf(error, errorWidth, "--to takes graphml, gexf, cyjs, dot, ttl or csv, not %.100s", value);
        return false;
      }
      options->formatGiven = true;
    } else if ((value = ValueOf(argc, argv, &i, "--output", "-o", &missing)) != nullptr) {
      if (value[0] == '\0') {
        std::snprintf(error, errorWidth, "-o needs a name");
        return false;
      }
      options->output = value;
    } else if ((value = ValueOf(argc, argv, &i, "--base", nullptr, &missing)) != nullptr) {
      if (value[0] == '\0' || !IsIriText(value)) {
        std::snprintf(error, errorWidth, "--base takes an IRI without blanks, quotes, <, >, {, }, |, ^, ` or \\");
        return false;
      }
      options->base = value;
    } else if (missing) {
      std::snprintf(error, errorWidth, "%.100s needs a value", arg);
      return false;
    } else {
      std::snprintf(error, errorWidth, "unknown option %.200s", arg);
      return false;
    }
  }
  if (options->help || options->version) return true;
  if (options->plan == nullptr) {
    std::snprintf(error, errorWidth, "no plan given");
    return false;
  }
  if (!options->formatGiven) {
    std::snprintf(error, errorWidth, "no format given: --to graphml, gexf, cyjs, dot, ttl or csv");
    return false;
  }
  if (options->format == ExportFormat::kCsv && options->output != nullptr &&
      std::strcmp(options->output, "-") == 0) {
    std::snprintf(error, errorWidth, "--to csv writes five files into a folder, not to standard output");
    return false;
  }
  return true;
}

}  // namespace plotweave
