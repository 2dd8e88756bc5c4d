// The columns of the five tables, by the names their header row gives them.
#pragma once

#include "import/import_finding.h"
#include "import/table_reader.h"

namespace plotweave {

enum class TableKind : unsigned char { kNodes, kLinks, kClasses, kRelations, kCaptions };

// Columns of each table, in the order the export writes them.
enum NodeColumn { kNodeId, kNodeLabel, kNodeClass, kNodeAddress, kNodeImage, kNodePicture, kNodeColumns };
enum LinkColumn { kLinkSource, kLinkTarget, kLinkRelation, kLinkColumns };
enum DeclarationColumn { kDeclName, kDeclColor, kDeclStyle, kDeclLabelFlag, kDeclColumns };
enum CaptionColumn { kCaptionTag, kCaptionText, kCaptionColumns };

inline constexpr int kMostColumns = kNodeColumns;

// For each column of the table, the cell that holds it, or -1.
struct ColumnMap {
  int cell[kMostColumns];
};

// Finds the columns in the header row by name or synonym, case and the
// characters ' ', '-' and '_' not counted. A header cell that names no column
// or one named before is a note; a required column that no cell names is an
// error. False when the table cannot be read for want of a column.
bool MapColumns(TableKind kind, const TableRow& header, const char* table, ImportSink& sink, ColumnMap* map);

// The reference name of a column.
const char* ColumnName(TableKind kind, int column);

}  // namespace plotweave
