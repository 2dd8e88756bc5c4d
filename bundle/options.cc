#include "bundle/options.h"

#include <cstdio>
#include <cstring>

namespace plotweave {

namespace {

enum class Value { kNone, kOutput, kKit, kMaxSize };

struct LongOption {
  const char* name;
  Value value;
  bool BundleOptions::*flag;
};

constexpr LongOption kLongOptions[] = {
    {"output", Value::kOutput, nullptr},
    {"kit", Value::kKit, nullptr},
    {"max-size", Value::kMaxSize, nullptr},
    {"allow-outside", Value::kNone, &BundleOptions::allowOutside},
    {"help", Value::kNone, &BundleOptions::help},
    {"version", Value::kNone, &BundleOptions::version},
};

// A number of bytes, with an optional K, M or G for units of 1024; 0 when
// it is none or does not fit.
uint64_t ByteCount(const char* text) {
  uint64_t n = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (n > (UINT64_MAX - digit) / 10) return 0;
    n = n * 10 + digit;
  }
  if (p == text) return 0;
  int shift = 0;
  switch (*p) {
    case '\0':
      return n;
    case 'K':
    case 'k':
      shift = 10;
      break;
    case 'M':
    case 'm':
      shift = 20;
      break;
    case 'G':
    case 'g':
      shift = 30;
      break;
    default:
      return 0;
  }
  if (p[1] != '\0' || n > (UINT64_MAX >> shift)) return 0;
  return n << shift;
}

bool Fail(char* error, size_t capacity, const char* format, const char* what) {
  std::snprintf(error, capacity, format, what);
  return false;
}

// Stores an option's value; an option given twice is an error, since which
// one was meant cannot be known.
bool Store(BundleOptions* options, Value value, const char* text, const char* name, char* error,
           size_t capacity) {
  if (value == Value::kMaxSize) {
    if (options->maxSize != 0) return Fail(error, capacity, "option %s given twice", name);
    if (text[0] == '\0') return Fail(error, capacity, "option %s needs a value", name);
    options->maxSize = ByteCount(text);
    if (options->maxSize == 0) return Fail(error, capacity, "--max-size takes a positive number of bytes, not %s", text);
    return true;
  }
  const char** target = value == Value::kOutput ? &options->output : &options->kit;
  if (*target != nullptr) return Fail(error, capacity, "option %s given twice", name);
  if (text[0] == '\0') return Fail(error, capacity, "option %s needs a value", name);
  *target = text;
  return true;
}

}  // namespace

bool ParseBundleOptions(int argc, const char* const* argv, BundleOptions* options, char* error,
                        size_t errorCapacity) {
  *options = BundleOptions{};
  error[0] = '\0';
  bool optionsEnded = false;
  const char* extra = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsEnded || arg[0] != '-' || std::strcmp(arg, "-") == 0) {
      if (options->page == nullptr) {
        options->page = arg;
      } else if (extra == nullptr) {
        extra = arg;
      }
      continue;
    }
    if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
      continue;
    }
    if (arg[1] == '-') {
      const char* name = arg + 2;
      const char* equals = std::strchr(name, '=');
      const size_t nameSize = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
      const LongOption* found = nullptr;
      for (const LongOption& option : kLongOptions) {
        if (std::strlen(option.name) == nameSize && std::strncmp(option.name, name, nameSize) == 0) found = &option;
      }
      if (found == nullptr) return Fail(error, errorCapacity, "unknown option %s", arg);
      if (found->value == Value::kNone) {
        if (equals != nullptr) return Fail(error, errorCapacity, "option --%s takes no value", found->name);
        options->*(found->flag) = true;
        continue;
      }
      const char* text = equals != nullptr ? equals + 1 : (i + 1 < argc ? argv[++i] : nullptr);
      if (text == nullptr) return Fail(error, errorCapacity, "option %s needs a value", arg);
      if (!Store(options, found->value, text, arg, error, errorCapacity)) return false;
      continue;
    }
    // Short options: -h, -V, -o FILE or -oFILE.
    if (std::strcmp(arg, "-h") == 0) {
      options->help = true;
    } else if (std::strcmp(arg, "-V") == 0) {
      options->version = true;
    } else if (arg[1] == 'o') {
      const char* text = arg[2] != '\0' ? arg + 2 : (i + 1 < argc ? argv[++i] : nullptr);
      if (text == nullptr) return Fail(error, errorCapacity, "option %s needs a value", "-o");
      if (!Store(options, Value::kOutput, text, "-o", error, errorCapacity)) return false;
    } else {
      return Fail(error, errorCapacity, "unknown option %s", arg);
    }
  }
  if (options->help || options->version) return true;
  if (options->page == nullptr) return Fail(error, errorCapacity, "%s", "no page given");
  if (extra != nullptr) return Fail(error, errorCapacity, "one page at a time: %s is one too many", extra);
  return true;
}

}  // namespace plotweave
