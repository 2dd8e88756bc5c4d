// The command line of plotweave-preview.
#pragma once

#include <cstddef>

namespace plotweave {

struct PreviewOptions {
  const char* plan = nullptr;
  const char* kit = nullptr;  // --kit DIR
  int port = 8400;            // --port N; 0 lets the system pick a free one
  bool open = false;          // --open
  bool self = false;          // --self: the same-window build's page
  bool help = false;
  bool version = false;
};

inline constexpr size_t kPreviewErrorWidth = 256;

// Options may come before or after the plan; a value follows its option as
// the next argument or after "="; "--" ends the options. False with a
// message in `error` on a usage error.
bool ParsePreviewOptions(int argc, const char* const* argv, PreviewOptions* options, char* error, size_t width);

}  // namespace plotweave
