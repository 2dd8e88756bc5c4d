// The export's command line.
#pragma once

#include <cstddef>

#include "export/formats.h"

namespace plotweave {

struct ExportOptions {
  const char* plan = nullptr;
  ExportFormat format = ExportFormat::kGraphml;
  bool formatGiven = false;
  const char* output = nullptr;  // null: the default name; "-": standard output
  const char* base = nullptr;    // null: the default namespace
  bool help = false;
  bool version = false;
};

inline constexpr size_t kOptionErrorWidth = 256;

// Reads the command line: one plan, --to FORMAT, -o FILE, --base IRI (each
// value also as --to=FORMAT, --output=FILE, --base=IRI). False on a usage
// error, described in `error`. With --help or --version nothing else is
// needed.
bool ParseExportOptions(int argc, const char* const* argv, ExportOptions* options, char* error, size_t errorWidth);

}  // namespace plotweave
