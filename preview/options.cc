#include "preview/options.h"

#include <cstdio>
#include <cstring>

namespace plotweave {

namespace {

// The value of `--name` at argv[*i], given as "--name=V" or "--name V".
// Null when argv[*i] is not that option; sets *missing when its value is.
const char* OptionValue(const char* name, int argc, const char* const* argv, int* i, bool* missing) {
  const char* arg = argv[*i];
  const size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0) return nullptr;
  if (arg[n] == '=') return arg + n + 1;
  if (arg[n] != '\0') return nullptr;
  if (*i + 1 >= argc) {
    *missing = true;
    return nullptr;
  }
  return argv[++*i];
}

bool ParsePort(const char* text, int* port) {
  long value = 0;
  if (*text == '\0') return false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > 65535) return false;
  }
  *port = static_cast<int>(value);
  return true;
}

}  // namespace

bool ParsePreviewOptions(int argc, const char* const* argv, PreviewOptions* options, char* error, size_t width) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
      if (options->plan != nullptr) {
        std::snprintf(error, width, "one plan only, not also '%s'", arg);
        return false;
      }
      options->plan = arg;
      continue;
    }
    bool missing = false;
    const char* value;
    if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (std::strcmp(arg, "--open") == 0) {
      options->open = true;
    } else if (std::strcmp(arg, "--self") == 0) {
      options->self = true;
    } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      options->help = true;
      return true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options->version = true;
      return true;
    } else if ((value = OptionValue("--port", argc, argv, &i, &missing)) != nullptr) {
      if (!ParsePort(value, &options->port)) {
        std::snprintf(error, width, "'%s' is no port number (0 to 65535)", value);
        return false;
      }
    } else if ((value = OptionValue("--kit", argc, argv, &i, &missing)) != nullptr) {
      options->kit = value;
    } else {
      std::snprintf(error, width, missing ? "option '%s' needs a value" : "unknown option '%s'", arg);
      return false;
    }
  }
  if (options->plan == nullptr) {
    std::snprintf(error, width, "no plan given");
    return false;
  }
  return true;
}

}  // namespace plotweave
