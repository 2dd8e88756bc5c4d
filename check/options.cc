#include "check/options.h"

#include <cstdio>
#include <cstring>

namespace plotweave {

namespace {

// Options that take a value, as "--name=value" or as "--name value".
constexpr const char* kValueOptions[] = {"--format", "--color", "--colour"};

bool TakesSeparateValue(const char* argument) {
  for (const char* name : kValueOptions) {
    if (std::strcmp(argument, name) == 0) return true;
  }
  return false;
}

// One step of the walk over the arguments: the next plan (value null) or
// the next option with its value (null when it has none). Returns false at
// the end.
bool NextArgument(int argc, const char* const* argv, PlanCursor* cursor, int* index,
                  const char** value, bool* isPlan) {
  for (int i = cursor->index + 1; i < argc; ++i) {
    const char* arg = argv[i];
    *value = nullptr;
    // A lone "-" is taken as a plan name.
    if (cursor->pastEnd || arg[0] != '-' || arg[1] == '\0') {
      cursor->index = *index = i;
      *isPlan = true;
      return true;
    }
    if (std::strcmp(arg, "--") == 0) {
      cursor->pastEnd = true;
      continue;
    }
    const char* equals = std::strchr(arg, '=');
    if (equals != nullptr) {
      *value = equals + 1;
    } else if (TakesSeparateValue(arg) && i + 1 < argc) {
      *value = argv[i + 1];
    }
    cursor->index = equals == nullptr && *value != nullptr ? i + 1 : i;
    *index = i;
    *isPlan = false;
    return true;
  }
  cursor->index = argc;
  return false;
}

// Whether `arg` is the option `name`, alone or followed by "=value".
bool Named(const char* arg, const char* name) {
  const size_t n = std::strlen(name);
  return std::strncmp(arg, name, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

// Index of `value` in `choices` (null-terminated list), or -1.
int Choice(const char* value, const char* const* choices) {
  for (int i = 0; value != nullptr && choices[i] != nullptr; ++i) {
    if (std::strcmp(value, choices[i]) == 0) return i;
  }
  return -1;
}

}  // namespace

bool ParseCheckOptions(int argc, const char* const* argv, CheckOptions* options, char* error,
                       size_t errorWidth) {
  *options = CheckOptions{};
  error[0] = '\0';
  PlanCursor cursor;
  int i;
  const char* value;
  bool isPlan;
  while (NextArgument(argc, argv, &cursor, &i, &value, &isPlan)) {
    const char* arg = argv[i];
    if (isPlan) {
      ++options->planCount;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options->help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options->version = true;
    } else if (std::strcmp(arg, "--strict") == 0) {
      options->strict = true;
    } else if (std::strcmp(arg, "--fix-encoding") == 0) {
      options->fixEncoding = true;
    } else if (Named(arg, "--format")) {
      static const char* const kFormats[] = {"text", "json", nullptr};
      const int c = Choice(value, kFormats);
      if (c < 0) {
        std::snprintf(error, errorWidth, "--format takes text or json");
        return false;
      }
      options->format = c == 0 ? OutputFormat::kText : OutputFormat::kJson;
    } else if (Named(arg, "--color") || Named(arg, "--colour")) {
      static const char* const kColours[] = {"auto", "always", "never", nullptr};
      const int c = Choice(value, kColours);
      if (c < 0) {
        std::snprintf(error, errorWidth, "--color takes auto, always or never");
        return false;
      }
      options->colour = c == 0 ? ColourChoice::kAuto : c == 1 ? ColourChoice::kAlways : ColourChoice::kNever;
    } else {
      std::snprintf(error, errorWidth, "unknown option %.200s", arg);
      return false;
    }
  }
  if (options->planCount == 0 && !options->help && !options->version) {
    std::snprintf(error, errorWidth, "no plan given");
    return false;
  }
  return true;
}

int NextPlanArgument(int argc, const char* const* argv, PlanCursor* cursor) {
  int i;
  const char* value;
  bool isPlan;
  while (NextArgument(argc, argv, cursor, &i, &value, &isPlan)) {
    if (isPlan) return i;
  }
  return -1;
}

}  // namespace plotweave
