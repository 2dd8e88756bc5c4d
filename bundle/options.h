// The command line of plotweave-bundle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plotweave {

struct BundleOptions {
  const char* page = nullptr;
  const char* output = nullptr;  // -o FILE, --output FILE; "-" for standard output
  const char* kit = nullptr;     // --kit DIR
  uint64_t maxSize = 0;          // --max-size BYTES; 0 when not given
  bool allowOutside = false;     // --allow-outside
  bool help = false;             // -h, --help
  bool version = false;          // -V, --version
};

// Parses argv[1..argc-1]. Options may come before or after the page; a value
// follows its option as the next argument or after "=" (long options) or
// directly (-oFILE); "--" ends the options. False with a message in `error`
// on a usage error. With --help or --version the rest is not checked.
bool ParseBundleOptions(int argc, const char* const* argv, BundleOptions* options, char* error,
                        size_t errorCapacity);

}  // namespace plotweave
