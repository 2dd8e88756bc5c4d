#include "export/formats.h"

#include <cstring>

namespace plotweave {

namespace {

struct FormatEntry {
  const char* name;
  const char* extension;
};

// In the order of ExportFormat.
constexpr FormatEntry kFormats[] = {{"graphml", ".graphml"}, {"gexf", ".gexf"}, {"cyjs", ".cyjs"},
                                    {"dot", ".dot"},         {"ttl", ".ttl"},   {"csv", "-csv"}};

}  // namespace

const char* FormatName(ExportFormat format) { return kFormats[static_cast<int>(format)].name; }
const char* FormatExtension(ExportFormat format) { return kFormats[static_cast<int>(format)].extension; }

bool FindFormat(const char* name, ExportFormat* format) {
  for (size_t i = 0; i < sizeof kFormats / sizeof kFormats[0]; ++i) {
    if (std::strcmp(name, kFormats[i].name) == 0) {
      *format = static_cast<ExportFormat>(i);
      return true;
    }
  }
  return false;
}

void WriteFormat(ExportFormat format, const ExportModel& model, const ExportSettings& settings, BufferedWriter& out) {
  switch (format) {
    case ExportFormat::kGraphml: WriteGraphml(model, settings, out); break;
    case ExportFormat::kGexf: WriteGexf(model, settings, out); break;
    case ExportFormat::kCyjs: WriteCyjs(model, settings, out); break;
    case ExportFormat::kDot: WriteDotGraph(model, settings, out); break;
    case ExportFormat::kTtl: WriteTurtle(model, settings, out); break;
    case ExportFormat::kCsv: break;
  }
}

}  // namespace plotweave
