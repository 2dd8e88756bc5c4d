// GraphML: every value under a declared key, so that readers that know
// nothing of plans (graph libraries, editors) still take each one.
#include <cstdio>

#include "export/escape.h"
#include "export/formats.h"

namespace plotweave {

namespace {

struct Key {
  const char* id;
  const char* domain;  // "node", "edge" or "graph"
  const char* name;
  const char* type;
};

constexpr Key kNodeKeys[] = {
    {"label", "node", "label", "string"},         {"class", "node", "class", "string"},
    {"address", "node", "address", "string"},     {"image", "node", "image", "string"},
    {"picture", "node", "picture", "int"},        {"color", "node", "color", "string"},
    {"style", "node", "style", "string"},         {"label_flag", "node", "label_flag", "int"},
};
constexpr Key kEdgeKeys[] = {
    {"relation", "edge", "relation", "string"},     {"elabel", "edge", "label", "string"},
    {"ecolor", "edge", "color", "string"},         {"estyle", "edge", "style", "string"},
    {"elabel_flag", "edge", "label_flag", "int"},
};

void WriteKey(BufferedWriter& out, const Key& key) {
  WriteXmlElement(out, "  ", "key",
                  {{"id", key.id}, {"for", key.domain}, {"attr.name", key.name}, {"attr.type", key.type}});
}

void Data(BufferedWriter& out, const char* indent, const char* key, const char* value) {
  out.Write(indent);
  out.Write("<data key=\"");
  out.Write(key);
  out.Write("\">");
  WriteXml(out, value);
  out.Write("</data>\n");
}

void Data(BufferedWriter& out, const char* indent, const char* key, long value) {
  Data(out, indent, key, Decimal(value).text);
}

}  // namespace

void WriteGraphml(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out) {
  out.Write(kXmlDeclaration);
  out.Write(
      "<graphml xmlns=\"http://graphml.graphdrawing.org/xmlns\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://graphml.graphdrawing.org/xmlns "
      "http://graphml.graphdrawing.org/xmlns/1.0/graphml.xsd\">\n");
  for (const Key& key : kNodeKeys) WriteKey(out, key);
  for (const Key& key : kEdgeKeys) WriteKey(out, key);
  // A caption is a pair of graph values: its element tag and its text.
  char keys[kProjectCapacity][2][24];
  for (int i = 0; i < model.captionCount; ++i) {
    for (int part = 0; part < 2; ++part) {
      std::snprintf(keys[i][part], sizeof keys[i][part], "caption%d_%s", i + 1, part == 0 ? "tag" : "text");
      WriteKey(out, Key{keys[i][part], "graph", keys[i][part], "string"});
    }
  }
  out.Write("  <graph id=\"");
  WriteXml(out, settings.name);
  out.Write("\" edgedefault=\"directed\">\n");
  for (int i = 0; i < model.captionCount; ++i) {
    Data(out, "    ", keys[i][0], model.captions[i].tag);
    Data(out, "    ", keys[i][1], model.captions[i].text);
  }
  for (int i = 0; i < model.nodeCount; ++i) {
    const ExportNode& node = model.nodes[i];
    if (!node.first) continue;
    const ExportKind& kind = model.classes[node.classIndex];
    out.Write("    <node id=\"");
    WriteXml(out, node.id);
    out.Write("\">\n");
    Data(out, "      ", "label", node.label);
    Data(out, "      ", "class", node.className);
    if (node.address[0] != '\0') Data(out, "      ", "address", node.address);
    if (node.image[0] != '\0') Data(out, "      ", "image", node.image);
    Data(out, "      ", "picture", node.picture);
    Data(out, "      ", "color", kind.colour);
    Data(out, "      ", "style", kind.style);
    Data(out, "      ", "label_flag", kind.labelFlag);
    out.Write("    </node>\n");
  }
  for (int i = 0; i < model.linkCount; ++i) {
    const ExportLink& link = model.links[i];
    const ExportKind& kind = model.relations[link.relation];
    out.Write("    <edge source=\"");
    WriteXml(out, model.nodes[link.from].id);
    out.Write("\" target=\"");
    WriteXml(out, model.nodes[link.to].id);
    out.Write("\">\n");
    Data(out, "      ", "relation", kind.name);
    Data(out, "      ", "elabel", link.text);
    Data(out, "      ", "ecolor", kind.colour);
    Data(out, "      ", "estyle", kind.style);
    Data(out, "      ", "elabel_flag", kind.labelFlag);
    out.Write("    </edge>\n");
  }
  out.Write("  </graph>\n</graphml>\n");
}

}  // namespace plotweave
