#include "import/columns.h"

#include <cstring>

#include "check/page_text.h"
#include "import/plan_text.h"

namespace plotweave {

namespace {

struct ColumnWords {
  const char* name;      // the reference name
  const char* words[8];  // every name accepted, folded; ends with nullptr
  bool required;
};

struct TableColumns {
  int count;
  ColumnWords columns[kMostColumns];
};

// The export's names come first; the rest are what spreadsheets commonly
// call the same thing.
const TableColumns kTables[] = {
    {kNodeColumns,
     {{"id", {"id", "node", "nodeid", "key", nullptr}, true},
      {"label", {"label", "name", "title", "text", nullptr}, true},
      {"class", {"class", "type", "group", "category", "kind", nullptr}, true},
      {"address", {"address", "url", "href", "link", "uri", "reference", nullptr}, false},
      {"image", {"image", "img", "imageaddress", "imageurl", "icon", nullptr}, false},
      {"picture", {"picture", "imagenode", "drawnasimage", "showimage", nullptr}, false}}},
    {kLinkColumns,
     {{"source", {"source", "from", "start", "node1", "subject", nullptr}, true},
      {"target", {"target", "to", "end", "node2", "object", nullptr}, true},
      {"relation", {"relation", "type", "label", "predicate", "property", "edge", nullptr}, true}}},
    {kDeclColumns,
     {{"name", {"name", "class", "id", nullptr}, true},
      {"color", {"color", "colour", "bordercolor", "bordercolour", "border", nullptr}, false},
      {"style", {"style", "shape", nullptr}, false},
      {"label_flag", {"labelflag", "flag", "showlabel", nullptr}, false}}},
    {kDeclColumns,
     {{"name", {"name", "relation", "id", nullptr}, true},
      {"color", {"color", "colour", nullptr}, false},
      {"style", {"style", "line", "linestyle", nullptr}, false},
      {"label_flag", {"labelflag", "flag", "showlabel", nullptr}, false}}},
    {kCaptionColumns,
     {{"tag", {"tag", "element", nullptr}, true}, {"text", {"text", "caption", "title", nullptr}, true}}},
};

// The header cell with case folded and ' ', '-', '_' left out.
void Fold(const char* text, char* out, size_t width) {
  size_t n = 0;
  for (const char* p = text; *p != '\0' && n + 1 < width; ++p) {
    const char c = *p;
    if (c == ' ' || c == '-' || c == '_') continue;
    out[n++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  out[n] = '\0';
}

}  // namespace

const char* ColumnName(TableKind kind, int column) { return kTables[static_cast<int>(kind)].columns[column].name; }

bool MapColumns(TableKind kind, const TableRow& header, const char* table, ImportSink& sink, ColumnMap* map) {
  const TableColumns& t = kTables[static_cast<int>(kind)];
  for (int c = 0; c < kMostColumns; ++c) map->cell[c] = -1;
  for (int i = 0; i < header.count; ++i) {
    char folded[64];
    Fold(header.cells[i].text, folded, sizeof folded);
    int found = -1;
    for (int c = 0; c < t.count && found < 0; ++c) {
      for (const char* const* w = t.columns[c].words; *w != nullptr; ++w) {
        if (std::strcmp(*w, folded) == 0) {
          found = c;
          break;
        }
      }
    }
    if (found >= 0 && map->cell[found] < 0) {
      map->cell[found] = i;
      continue;
    }
    if (header.cells[i].length == 0 && found < 0) continue;  // an empty header cell: a spare column
    char shown[kShownTextWidth];
    ShowCell(header.cells[i].text, header.cells[i].length, shown, sizeof shown);
    if (found >= 0) {
      char first[kShownTextWidth];
      const TableCell& firstCell = header.cells[map->cell[found]];
      ShowCell(firstCell.text, firstCell.length, first, sizeof first);
      ReportImport(sink, ImportCode::kColumnIgnored, table, header.row, i + 1,
                   "the column \"%s\" is the %s column again; only the first one, \"%s\", is read", shown,
                   t.columns[found].name, first);
    } else {
      ReportImport(sink, ImportCode::kColumnIgnored, table, header.row, i + 1,
                   "the column \"%s\" is none that a plan holds, and is not read", shown);
    }
  }
  bool ok = true;
  for (int c = 0; c < t.count; ++c) {
    if (t.columns[c].required && map->cell[c] < 0) {
      ok = false;
      ReportImport(sink, ImportCode::kMissingColumn, table, header.row, 1,
                   "the header row names no %s column; the import is refused: name one \"%s\"", t.columns[c].name,
                   t.columns[c].name);
    }
  }
  return ok;
}

}  // namespace plotweave
