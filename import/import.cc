#include "import/import.h"

#include <cstdio>
#include <cstring>

#include "check/page_text.h"
#include "import/columns.h"
#include "import/plan_text.h"
#include "plan/model.h"

namespace plotweave {

namespace {

// The most bytes the reader keeps of each field: its width less the zero
// byte. A caption's text keeps its line feed too, and the reader's working
// field for an address is narrower than the model's.
constexpr size_t kNameLimit = kNameWidth - 1;
constexpr size_t kShortLimit = kShortWidth - 1;
constexpr size_t kAddressLimit = kAddressWidth - 1;
constexpr size_t kImageLimit = kImageWidth - 1;
constexpr size_t kCaptionTextLimit = kTextWidth - 2;
// A plan line shorter than this, its line feed counted, is skipped.
constexpr size_t kShortestLine = 5;

struct Declaration {
  PlanField name, color, style;
  int flag;
};

struct NodeLine {
  PlanField id, className, label, address, image;
  int fields;  // 3 to 6: what the line gives
};

struct LinkLine {
  PlanField from, to, relation;
};

struct CaptionLine {
  PlanField tag, text;
  bool hasText;
};

struct ImportPlan {
  CaptionLine captions[kProjectCapacity];
  Declaration classes[kClassCapacity];
  Declaration relations[kRelationCapacity];
  NodeLine nodes[kNodeCapacity];
  LinkLine links[kLinkCapacity];
  int captionCount, classCount, relationCount, nodeCount, linkCount;
};

// Some 2 MB: kept off the stack, and made once.
ImportPlan gPlan;
TableRow gRow;

const TableCell kEmptyCell{};

// The cell of `column` in the row, or an empty one when the table has no
// such column or the row ends sooner.
const TableCell& CellOf(const TableRow& row, const ColumnMap& map, int column) {
  const int i = map.cell[column];
  return i >= 0 && i < row.count ? row.cells[i] : kEmptyCell;
}

struct RowContext {
  const ImportOptions& options;
  ImportSink& sink;
  const char* table;
  const TableRow& row;
  const ColumnMap& map;

  CellPlace Place(int column, const char* what) const {
    const int i = map.cell[column];
    return {table, row.row, i >= 0 ? i + 1 : 1, what};
  }
  // Converts the column's cell; false on an error.
  bool Convert(int column, TextRule rule, size_t limit, const char* what, PlanField* out) const {
    const TableCell& cell = CellOf(row, map, column);
    return ConvertCell(cell.text, cell.length, rule, limit, options.ks, Place(column, what), sink, out);
  }
  // The cell as a message quotes it.
  struct Shown {
    char text[kShownTextWidth];
  };
  Shown Show(int column) const {
    Shown shown;
    const TableCell& cell = CellOf(row, map, column);
    ShowCell(cell.text, cell.length, shown.text, sizeof shown.text);
    return shown;
  }
  bool Empty(int column) const { return CellOf(row, map, column).length == 0; }
  // An error for a value the plan cannot do without.
  bool Required(int column, const char* what) const {
    if (!Empty(column)) return true;
    const CellPlace p = Place(column, what);
    ReportImport(sink, ImportCode::kMissingValue, table, p.row, p.column,
                 "the %s is empty, and a plan line cannot leave it out; the import is refused: fill it in", what);
    return false;
  }
};

int FindDeclaration(const Declaration* table, int count, const PlanField& name) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(table[i].name.bytes, name.bytes) == 0) return i;
  }
  return -1;
}

int FindNode(const PlanField& id) {
  for (int i = 0; i < gPlan.nodeCount; ++i) {
    if (std::strcmp(gPlan.nodes[i].id.bytes, id.bytes) == 0) return i;
  }
  return -1;
}

void SetAscii(PlanField* field, const char* text) {
  field->length = field->readerBytes = std::strlen(text);
  std::memcpy(field->bytes, text, field->length + 1);
}

// A label flag as the plan writes it: a 16-bit integer, with an optional sign.
bool ParseFlag(const TableCell& cell, int* value) {
  const char* p = cell.text;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p == '\0') return false;
  long v = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || v > 32768) return false;
    v = v * 10 + (*p - '0');
  }
  if (negative) v = -v;
  if (v < -32768 || v > 32767) return false;
  *value = static_cast<int>(v);
  return true;
}

struct DeclarationKind {
  const char* noun;       // "class"
  const char* tableName;  // "classes"
  const char* color;
  const char* style;
  int flag;
  int capacity;
};

const DeclarationKind kClassKind{"class", "classes", kDefaultClassColor, kDefaultClassStyle, 1, kClassCapacity};
const DeclarationKind kRelationKind{
    "relation", "relations", kDefaultRelationColor, kDefaultRelationStyle, 0, kRelationCapacity};

// One row of the classes or relations table.
bool ReadDeclaration(const RowContext& r, const DeclarationKind& kind, Declaration* table, int* count) {
  char nameWhat[32], colorWhat[32], styleWhat[32];
  std::snprintf(nameWhat, sizeof nameWhat, "%s name", kind.noun);
  std::snprintf(colorWhat, sizeof colorWhat, "%s colour", kind.noun);
  std::snprintf(styleWhat, sizeof styleWhat, "%s style", kind.noun);
  Declaration& d = table[*count];
  bool ok = r.Required(kDeclName, nameWhat);
  ok = r.Convert(kDeclName, TextRule::kName, kNameLimit, nameWhat, &d.name) && ok;
  ok = r.Convert(kDeclColor, TextRule::kName, kShortLimit, colorWhat, &d.color) && ok;
  ok = r.Convert(kDeclStyle, TextRule::kName, kShortLimit, styleWhat, &d.style) && ok;
  if (ok && (d.color.length == 0 || d.style.length == 0)) {
    const bool noColor = d.color.length == 0, noStyle = d.style.length == 0;
    const CellPlace p = r.Place(noColor ? kDeclColor : kDeclStyle, "");
    ReportImport(
        r.sink, ImportCode::kDefaultAppearance, r.table, p.row, p.column,
        "the %s \"%s\" gives no %s; it is declared with the default%s%s%s%s", kind.noun, r.Show(kDeclName).text,
        noColor && noStyle ? "colour and no style" : (noColor ? "colour" : "style"),
        noColor ? " colour " : "", noColor ? kind.color : "", noStyle ? " style " : "", noStyle ? kind.style : "");
    if (noColor) SetAscii(&d.color, kind.color);
    if (noStyle) SetAscii(&d.style, kind.style);
  }
  d.flag = kind.flag;
  const TableCell& flag = CellOf(r.row, r.map, kDeclLabelFlag);
  if (flag.length > 0 && !ParseFlag(flag, &d.flag)) {
    const CellPlace p = r.Place(kDeclLabelFlag, "");
    char shown[kShownTextWidth];
    ShowCell(flag.text, flag.length, shown, sizeof shown);
    ReportImport(r.sink, ImportCode::kLabelFlag, r.table, p.row, p.column,
                 "the label flag \"%s\" is no number from -32768 to 32767; the %s is written with %d, the "
                 "default",
                 shown, kind.noun, kind.flag);
  }
  if (!ok) return false;
  const int first = FindDeclaration(table, *count, d.name);
  if (first >= 0) {
    const CellPlace p = r.Place(kDeclName, "");
    ReportImport(r.sink, ImportCode::kDuplicate, r.table, p.row, p.column,
                 "the %s \"%s\" is declared a second time; plotweave takes the first declaration, and this "
                 "one changes nothing",
                 kind.noun, r.Show(kDeclName).text);
  }
  ++*count;
  return true;
}

// The class or relation that `name` names, declared with the default
// appearance when the tables do not declare it. False when it cannot be.
bool Declare(const RowContext& r, int column, const DeclarationKind& kind, const PlanField& name, bool tableGiven,
             Declaration* table, int* count) {
  if (FindDeclaration(table, *count, name) >= 0) return true;
  const CellPlace p = r.Place(column, "");
  if (*count == kind.capacity) {
    ReportImport(r.sink, ImportCode::kNoRoom, r.table, p.row, p.column,
                 "the %s \"%s\" is not declared, and the plan holds %d %s already, the most plotweave reads; "
                 "the import is refused: use fewer",
                 kind.noun, r.Show(column).text, kind.capacity, kind.tableName);
    return false;
  }
  Declaration& d = table[(*count)++];
  d.name = name;
  SetAscii(&d.color, kind.color);
  SetAscii(&d.style, kind.style);
  d.flag = kind.flag;
  ReportImport(r.sink, ImportCode::kDeclaredByDefault, r.table, p.row, p.column,
               "the %s \"%s\" is %s; it is declared with the colour %s, the style %s and the label flag %d", kind.noun,
               r.Show(column).text, tableGiven ? "not declared in the table" : "used, and no table declares it",
               kind.color, kind.style, kind.flag);
  return true;
}

bool ReadNode(const RowContext& r, bool classesGiven) {
  NodeLine& n = gPlan.nodes[gPlan.nodeCount];
  bool ok = r.Required(kNodeId, "node id");
  ok = r.Required(kNodeClass, "node class") && ok;
  ok = r.Convert(kNodeId, TextRule::kName, kNameLimit, "node id", &n.id) && ok;
  ok = r.Convert(kNodeClass, TextRule::kName, kNameLimit, "node class", &n.className) && ok;
  ok = r.Convert(kNodeLabel, TextRule::kLabel, kNameLimit, "node label", &n.label) && ok;
  ok = r.Convert(kNodeAddress, TextRule::kAddress, kAddressLimit, "node address", &n.address) && ok;
  ok = r.Convert(kNodeImage, TextRule::kAddress, kImageLimit, "node image", &n.image) && ok;
  if (n.label.length == 0) {
    // Without a label the line would be read with "unnamed" as its label
    // and no title at all, which the tables cannot mean.
    const CellPlace p = r.Place(kNodeLabel, "");
    ReportImport(r.sink, ImportCode::kEmptyLabel, r.table, p.row, p.column,
                 "the node label is empty; it is written as \"_\", which the page shows as a blank");
    SetAscii(&n.label, "_");
  }
  int picture = 0;
  const TableCell& pictureCell = CellOf(r.row, r.map, kNodePicture);
  if (pictureCell.length > 0 && std::strcmp(pictureCell.text, "0") != 0) {
    if (std::strcmp(pictureCell.text, "1") == 0) {
      picture = 1;
    } else {
      const CellPlace p = r.Place(kNodePicture, "");
      char shown[kShownTextWidth];
      ShowCell(pictureCell.text, pictureCell.length, shown, sizeof shown);
      ReportImport(r.sink, ImportCode::kPictureValue, r.table, p.row, p.column,
                   "the picture value \"%s\" is neither 0 nor 1; it is read as 0, and the node is drawn as "
                   "its label",
                   shown);
    }
  }
  const bool hasAddress = n.address.length > 0;
  bool hasImage = n.image.length > 0;
  if (hasImage && !hasAddress) {
    const CellPlace p = r.Place(kNodeImage, "");
    ReportImport(r.sink, ImportCode::kImageWithoutAddress, r.table, p.row, p.column,
                 "the node has an image but no address, and a plan line gives an image only after an "
                 "address; the image is left out");
    hasImage = false;
  }
  if (picture == 1 && !hasImage) {
    const CellPlace p = r.Place(kNodePicture, "");
    ReportImport(r.sink, ImportCode::kPictureWithoutImage, r.table, p.row, p.column,
                 "the node is to be drawn as its picture, but has %s; it is drawn as its label",
                 hasAddress ? "no image" : "no address and so no image");
    picture = 0;
  }
  n.fields = !hasAddress ? 3 : !hasImage ? 4 : picture == 1 ? 6 : 5;
  if (!ok) return false;
  if (!Declare(r, kNodeClass, kClassKind, n.className, classesGiven, gPlan.classes, &gPlan.classCount)) return false;
  if (const int first = FindNode(n.id); first >= 0) {
    const CellPlace p = r.Place(kNodeId, "");
    ReportImport(r.sink, ImportCode::kDuplicate, r.table, p.row, p.column,
                 "the node id \"%s\" is given a second time; links reach only the first node of that id, and "
                 "this one is drawn without any",
                 r.Show(kNodeId).text);
  }
  ++gPlan.nodeCount;
  return true;
}

bool ReadLink(const RowContext& r, bool relationsGiven) {
  LinkLine& l = gPlan.links[gPlan.linkCount];
  bool ok = r.Required(kLinkSource, "link source");
  ok = r.Required(kLinkTarget, "link target") && ok;
  ok = r.Required(kLinkRelation, "link relation") && ok;
  ok = r.Convert(kLinkSource, TextRule::kName, kNameLimit, "link source", &l.from) && ok;
  ok = r.Convert(kLinkTarget, TextRule::kName, kNameLimit, "link target", &l.to) && ok;
  ok = r.Convert(kLinkRelation, TextRule::kName, kNameLimit, "link relation", &l.relation) && ok;
  if (!ok) return false;
  const struct {
    const PlanField& id;
    int column;
    const char* verb;
  } ends[] = {{l.from, kLinkSource, "starts"}, {l.to, kLinkTarget, "ends"}};
  for (const auto& end : ends) {
    if (FindNode(end.id) >= 0) continue;
    const CellPlace p = r.Place(end.column, "");
    ReportImport(r.sink, ImportCode::kUnknownNode, r.table, p.row, p.column,
                 "the link %s at node \"%s\", which the plan does not hold, so plotweave would write no "
                 "page; the import is refused: add the node or correct the id",
                 end.verb, r.Show(end.column).text);
    ok = false;
  }
  if (!ok) return false;
  if (!Declare(r, kLinkRelation, kRelationKind, l.relation, relationsGiven, gPlan.relations, &gPlan.relationCount)) {
    return false;
  }
  ++gPlan.linkCount;
  return true;
}

// Whether plotweave would skip the caption line for being short.
void CheckCaptionLength(const CaptionLine& c, ImportSink& sink, const char* table, long row, long column) {
  const size_t line = c.tag.readerBytes + (c.hasText ? 1 + c.text.readerBytes : 0) + 1;
  if (line >= kShortestLine) return;
  ReportImport(sink, ImportCode::kShortCaption, table, row, column,
               "the caption line is shorter than five bytes with its line feed, and plotweave skips it; "
               "lengthen the tag or the text");
}

bool ReadCaption(const RowContext& r) {
  CaptionLine& c = gPlan.captions[gPlan.captionCount];
  bool ok = r.Required(kCaptionTag, "caption tag");
  ok = r.Convert(kCaptionTag, TextRule::kCaptionTag, kShortLimit, "caption tag", &c.tag) && ok;
  ok = r.Convert(kCaptionText, TextRule::kCaptionText, kCaptionTextLimit, "caption", &c.text) && ok;
  c.hasText = c.text.length > 0;
  if (!ok) return false;
  CheckCaptionLength(c, r.sink, r.table, r.row.row, r.Place(kCaptionText, "").column);
  ++gPlan.captionCount;
  return true;
}

struct TableWords {
  TableKind kind;
  const char* entries;  // "nodes"
  int capacity;
};

// Reads one table: its header, then each row that holds anything, through
// `read` while the plan has room. The findings tell whether the import is
// refused; a row in error is not kept.
template <typename ReadRow>
ImportStatus ReadTable(const ImportInput& input, const TableWords& words, const ImportOptions& options,
                       ImportSink& sink, int* count, ReadRow read) {
  if (input.source == nullptr) return ImportStatus::kRead;
  TableReader reader(*input.source, options.encoding, options.delimiter);
  TableRow& row = gRow;
  if (!reader.Next(&row)) return reader.Failed() ? ImportStatus::kUnreadable : ImportStatus::kRead;
  ColumnMap map;
  const int headerCells = row.count;
  if (!MapColumns(words.kind, row, input.name, sink, &map)) {
    return ImportStatus::kRead;  // the rows cannot be read without their column
  }
  long firstDropped = 0, dropped = 0;
  while (reader.Next(&row)) {
    bool anything = row.dropped > 0;
    for (int i = 0; i < row.count; ++i) anything = anything || row.cells[i].length > 0;
    if (!anything) continue;  // a blank row of a spreadsheet says nothing
    bool rowOk = true;
    for (int i = 0; i < row.count; ++i) {
      if (row.cells[i].badByteAt < 0) continue;
      rowOk = false;
      ReportImport(sink, ImportCode::kBadEncoding, input.name, row.row, i + 1,
                   options.encoding == TableEncoding::kCp949
                       ? "the cell holds bytes that are no CP949 character; the import is refused: save the "
                         "table as UTF-8"
                       : "the cell holds bytes that are not UTF-8; the import is refused: give --encoding cp949 "
                         "for a table saved as \"ANSI\" on Korean Windows, or save it as UTF-8");
    }
    if (row.openQuote) {
      rowOk = false;
      ReportImport(sink, ImportCode::kOpenQuote, input.name, row.row, row.count,
                   "a quoted cell is not closed, and runs to the end of the table; the import is refused: "
                   "close the quote");
    }
    for (int i = headerCells; i < row.count + row.dropped; ++i) {
      if (i < row.count && row.cells[i].length == 0) continue;
      ReportImport(sink, ImportCode::kExtraCells, input.name, row.row, i + 1,
                   "the row has a value beyond the %d columns of the header row, which is not read", headerCells);
      break;
    }
    if (!rowOk) continue;
    if (*count == words.capacity) {
      if (dropped++ == 0) firstDropped = row.row;
      continue;
    }
    const RowContext context{options, sink, input.name, row, map};
    read(context);
  }
  if (reader.Failed()) return ImportStatus::kUnreadable;
  if (dropped > 0) {
    ReportImport(sink, ImportCode::kPastCapacity, input.name, firstDropped, 1,
                 "a plan holds at most %d %s, and plotweave would drop the rest; this row and the %ld after it "
                 "are left out",
                 words.capacity, words.entries, dropped - 1);
  }
  return ImportStatus::kRead;
}

}  // namespace

ImportStatus ReadTables(const ImportTables& tables, const ImportOptions& options, ImportSink& sink) {
  std::memset(&gPlan, 0, sizeof gPlan);
  const bool classesGiven = tables.classes.source != nullptr;
  const bool relationsGiven = tables.relations.source != nullptr;
  const struct Step {
    const ImportInput& input;
    TableWords words;
    int* count;
  } steps[] = {
      {tables.classes, {TableKind::kClasses, "classes", kClassCapacity}, &gPlan.classCount},
      {tables.relations, {TableKind::kRelations, "relations", kRelationCapacity}, &gPlan.relationCount},
      {tables.nodes, {TableKind::kNodes, "nodes", kNodeCapacity}, &gPlan.nodeCount},
      {tables.links, {TableKind::kLinks, "links", kLinkCapacity}, &gPlan.linkCount},
      {tables.captions, {TableKind::kCaptions, "caption lines", kProjectCapacity}, &gPlan.captionCount},
  };
  for (const Step& step : steps) {
    const ImportStatus status = ReadTable(step.input, step.words, options, sink, step.count, [&](const RowContext& r) {
      switch (step.words.kind) {
        case TableKind::kClasses:
          return ReadDeclaration(r, kClassKind, gPlan.classes, &gPlan.classCount);
        case TableKind::kRelations:
          return ReadDeclaration(r, kRelationKind, gPlan.relations, &gPlan.relationCount);
        case TableKind::kNodes:
          return ReadNode(r, classesGiven);
        case TableKind::kLinks:
          return ReadLink(r, relationsGiven);
        case TableKind::kCaptions:
          return ReadCaption(r);
      }
      return false;
    });
    if (status != ImportStatus::kRead) return status;
  }
  if (tables.caption != nullptr) {
    CaptionLine& c = gPlan.captions[gPlan.captionCount];
    const char* table = "--caption";
    const CellPlace place{table, 1, 1, "caption"};
    SetAscii(&c.tag, kCommandLineCaptionTag);
    if (ConvertCell(tables.caption, std::strlen(tables.caption), TextRule::kCaptionText, kCaptionTextLimit, options.ks,
                    place, sink, &c.text)) {
      c.hasText = c.text.length > 0;
      CheckCaptionLength(c, sink, table, 1, 1);
      ++gPlan.captionCount;
    }
  }
  return ImportStatus::kRead;
}

ImportCounts PlanCounts() {
  return {gPlan.captionCount, gPlan.classCount, gPlan.relationCount, gPlan.nodeCount, gPlan.linkCount};
}

namespace {

class LineWriter {
 public:
  explicit LineWriter(BufferedWriter& out) : out_(out) {}
  void Field(const PlanField& field) {
    if (!first_) out_.Put(' ');
    first_ = false;
    out_.Write(field.bytes, field.length);
  }
  void Field(const char* text) {
    if (!first_) out_.Put(' ');
    first_ = false;
    out_.Write(text);
  }
  void End() {
    out_.Put('\n');
    first_ = true;
  }

 private:
  BufferedWriter& out_;
  bool first_ = true;
};

void WriteDeclarations(LineWriter& line, const char* header, const Declaration* table, int count) {
  line.Field(header);
  line.End();
  for (int i = 0; i < count; ++i) {
    const Declaration& d = table[i];
    char flag[8];
    std::snprintf(flag, sizeof flag, "%d", d.flag);
    line.Field(d.name);
    line.Field(d.color);
    line.Field(d.style);
    line.Field(flag);
    line.End();
  }
}

}  // namespace

StreamStatus WriteImportedPlan(const ImportOptions& options, ByteSink& sink) {
  bool ok;
  {
    BufferedWriter out(sink);
    LineWriter line(out);
    if (!options.ks) out.Write("\xEF\xBB\xBF");
    line.Field("#PROJECT");
    line.End();
    for (int i = 0; i < gPlan.captionCount; ++i) {
      const CaptionLine& c = gPlan.captions[i];
      line.Field(c.tag);
      if (c.hasText) line.Field(c.text);
      line.End();
    }
    WriteDeclarations(line, "#CLASS", gPlan.classes, gPlan.classCount);
    WriteDeclarations(line, "#RELATION", gPlan.relations, gPlan.relationCount);
    line.Field("#NODES");
    line.End();
    for (int i = 0; i < gPlan.nodeCount; ++i) {
      const NodeLine& n = gPlan.nodes[i];
      line.Field(n.id);
      line.Field(n.className);
      line.Field(n.label);
      if (n.fields >= 4) line.Field(n.address);
      if (n.fields >= 5) line.Field(n.image);
      if (n.fields == 6) line.Field("1");
      line.End();
    }
    line.Field("#LINKS");
    line.End();
    for (int i = 0; i < gPlan.linkCount; ++i) {
      const LinkLine& l = gPlan.links[i];
      line.Field(l.from);
      line.Field(l.to);
      line.Field(l.relation);
      line.End();
    }
    ok = out.Flush();
  }
  return ok ? StreamStatus::kDone : StreamStatus::kWriteFailed;
}

}  // namespace plotweave
