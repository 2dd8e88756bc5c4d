// The export formats, each written whole from the export model.
#pragma once

#include "export/export_model.h"
#include "io/stream.h"

namespace plotweave {

enum class ExportFormat { kGraphml, kGexf, kCyjs, kDot, kTtl, kCsv };

// What the formats say about the plan beyond its model.
struct ExportSettings {
  const char* name;     // the plan's name: its base name without folders
  const char* base;     // the namespace of the Turtle names
  const char* version;  // the program's version, for the formats that name their writer
};

// The format's name on the command line ("graphml", ...) and the extension
// of its default output file.
const char* FormatName(ExportFormat format);
const char* FormatExtension(ExportFormat format);
// The format named; false for no format.
bool FindFormat(const char* name, ExportFormat* format);

void WriteGraphml(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out);
void WriteGexf(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out);
void WriteCyjs(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out);
void WriteDotGraph(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out);
void WriteTurtle(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out);
// Any format but csv, which is five files.
void WriteFormat(ExportFormat format, const ExportModel& model, const ExportSettings& settings, BufferedWriter& out);

// The five interchange tables.
enum class CsvTable { kNodes, kLinks, kClasses, kRelations, kCaptions };
inline constexpr int kCsvTableCount = 5;
const char* CsvFileName(CsvTable table);
void WriteCsvTable(const ExportModel& model, CsvTable table, BufferedWriter& out);

// The namespace of the Turtle terms for what OWL has no word for.
#define PLOTWEAVE_TURTLE_VOCABULARY "https://plotweave.example.org/ns/plan#"
// The default namespace of a plan's names: this, the plan's name, and '#'.
inline constexpr char kDefaultBasePrefix[] = "https://plotweave.example.org/plan/";

// The XML declaration every XML format starts with.
inline constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace plotweave
