// Spreadsheet tables into an ontology plan: the tables are read and checked
// whole first, and the plan is written only from what they gave.
#pragma once

#include "import/import_finding.h"
#include "import/table_reader.h"
#include "io/stream.h"
#include "io/stream_status.h"

namespace plotweave {

struct ImportOptions {
  TableEncoding encoding = TableEncoding::kUtf8;
  char delimiter = 0;  // 0: told by each table's first line
  bool ks = false;     // write the plan in KS code instead of UTF-8
};

// One table; `source` is null when the table is not given.
struct ImportInput {
  ByteSource* source = nullptr;
  const char* name = "";
};

struct ImportTables {
  ImportInput nodes;
  ImportInput links;
  ImportInput classes;
  ImportInput relations;
  ImportInput captions;
  const char* caption = nullptr;  // one caption given on the command line
};

// The appearance of a class or relation the tables use but do not declare,
// and of a declaration that leaves its colour or style empty.
inline constexpr char kDefaultClassColor[] = "gray";
inline constexpr char kDefaultClassStyle[] = "dot";
inline constexpr char kDefaultRelationColor[] = "gray";
inline constexpr char kDefaultRelationStyle[] = "line";
// The tag of the caption --caption gives.
inline constexpr char kCommandLineCaptionTag[] = "h1";

enum class ImportStatus : unsigned char {
  kRead,        // every table was read; findings tell whether to write
  kUnreadable,  // a table could not be read to its end
};

// Reads the tables into the plan the import will write, reporting every
// finding to `sink`. The plan is kept until the next call.
ImportStatus ReadTables(const ImportTables& tables, const ImportOptions& options, ImportSink& sink);

// What the plan holds, for the summary.
struct ImportCounts {
  int captions, classes, relations, nodes, links;
};
ImportCounts PlanCounts();

// Writes the plan the last ReadTables made: with a UTF-8 byte-order mark
// unless it is in KS code.
StreamStatus WriteImportedPlan(const ImportOptions& options, ByteSink& out);

}  // namespace plotweave
