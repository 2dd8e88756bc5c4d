// The five interchange tables: RFC 4180 with CRLF line ends, UTF-8 with a
// byte-order mark so that spreadsheet programs take the text as UTF-8.
#include <cstdio>
#include <initializer_list>

#include "export/escape.h"
#include "export/formats.h"

namespace plotweave {

namespace {

constexpr const char* kFileNames[] = {"nodes.csv", "links.csv", "classes.csv", "relations.csv", "captions.csv"};
constexpr const char* kHeaders[] = {
    "id,label,class,address,image,picture",
    "source,target,relation",
    "name,color,style,label_flag",
    "name,color,style,label_flag",
    "tag,text",
};

// Writes the fields of one row, separated by commas, and its line end.
void Row(BufferedWriter& out, std::initializer_list<const char*> fields) {
  bool first = true;
  for (const char* field : fields) {
    if (!first) out.Put(',');
    first = false;
    WriteCsv(out, field);
  }
  out.Write("\r\n");
}

void Kinds(BufferedWriter& out, const ExportKind* kinds, int count) {
  for (int i = 0; i < count; ++i) {
    char flag[8];
    std::snprintf(flag, sizeof flag, "%d", kinds[i].labelFlag);
    Row(out, {kinds[i].name, kinds[i].colour, kinds[i].style, flag});
  }
}

}  // namespace

const char* CsvFileName(CsvTable table) { return kFileNames[static_cast<int>(table)]; }

void WriteCsvTable(const ExportModel& model, CsvTable table, BufferedWriter& out) {
  static const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
  out.Write(kByteOrderMark, sizeof kByteOrderMark);
  out.Write(kHeaders[static_cast<int>(table)]);
  out.Write("\r\n");
  switch (table) {
    case CsvTable::kNodes:
      // Every node line, a repeated id too: the tables are the plan itself.
      for (int i = 0; i < model.nodeCount; ++i) {
        const ExportNode& n = model.nodes[i];
        Row(out, {n.id, n.label, n.className, n.address, n.image, n.picture == 1 ? "1" : "0"});
      }
      break;
    case CsvTable::kLinks:
      for (int i = 0; i < model.linkCount; ++i) {
        const ExportLink& l = model.links[i];
        Row(out, {l.source, l.target, model.relations[l.relation].name});
      }
      break;
    case CsvTable::kClasses:
      Kinds(out, model.classes, model.classCount);
      break;
    case CsvTable::kRelations:
      Kinds(out, model.relations, model.relationCount);
      break;
    case CsvTable::kCaptions:
      for (int i = 0; i < model.captionCount; ++i) Row(out, {model.captions[i].tag, model.captions[i].text});
      break;
  }
}

}  // namespace plotweave
