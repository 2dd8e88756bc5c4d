// Cytoscape.js elements JSON: one object of data per node and per link, and
// the plan's captions and declarations as data of the network itself.
#include <cstdio>

#include "export/escape.h"
#include "export/formats.h"

namespace plotweave {

namespace {

// Writes `"name":` with the comma that separates it from what went before.
void Name(BufferedWriter& out, const char* name, bool first = false) {
  if (!first) out.Put(',');
  out.Put('"');
  out.Write(name);
  out.Write("\":");
}

void Field(BufferedWriter& out, const char* name, const char* value, bool first = false) {
  Name(out, name, first);
  WriteJson(out, value);
}

void Field(BufferedWriter& out, const char* name, long value) {
  Name(out, name);
  WriteNumber(out, value);
}

// How a class or relation is drawn, as its own fields and those of its nodes
// and links.
void Appearance(BufferedWriter& out, const ExportKind& kind) {
  Field(out, "color", kind.colour);
  Field(out, "style", kind.style);
  Field(out, "label_flag", kind.labelFlag);
}

void Kinds(BufferedWriter& out, const char* name, const ExportKind* kinds, int count) {
  out.Write(",\n  ");
  Name(out, name, true);
  out.Put('[');
  for (int i = 0; i < count; ++i) {
    out.Write(i == 0 ? "\n    {" : ",\n    {");
    Field(out, "name", kinds[i].name, true);
    Appearance(out, kinds[i]);
    out.Put('}');
  }
  out.Write(count > 0 ? "\n  ]" : "]");
}

}  // namespace

void WriteCyjs(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out) {
  out.Write("{\"format_version\":\"1.0\",\"generated_by\":");
  char by[64] = "plotweave-export ";
  size_t n = sizeof "plotweave-export " - 1;
  for (const char* v = settings.version; *v != '\0' && n + 1 < sizeof by; ++v) by[n++] = *v;
  by[n] = '\0';
  WriteJson(out, by);
  out.Write(",\"target_cytoscapejs_version\":\"~2.1\",\n\"data\":{");
  Field(out, "name", settings.name, true);
  out.Write(",\n  \"captions\":[");
  for (int i = 0; i < model.captionCount; ++i) {
    out.Write(i == 0 ? "\n    {" : ",\n    {");
    Field(out, "tag", model.captions[i].tag, true);
    Field(out, "text", model.captions[i].text);
    out.Put('}');
  }
  out.Write(model.captionCount > 0 ? "\n  ]" : "]");
  Kinds(out, "classes", model.classes, model.classCount);
  Kinds(out, "relations", model.relations, model.relationCount);
  out.Write("},\n\"elements\":{\"nodes\":[");
  bool first = true;
  for (int i = 0; i < model.nodeCount; ++i) {
    const ExportNode& node = model.nodes[i];
    if (!node.first) continue;
    const ExportKind& kind = model.classes[node.classIndex];
    out.Write(first ? "\n  {\"data\":{" : ",\n  {\"data\":{");
    first = false;
    Field(out, "id", node.id, true);
    Field(out, "label", node.label);
    Field(out, "class", node.className);
    Field(out, "address", node.address);
    Field(out, "image", node.image);
    Field(out, "picture", node.picture);
    Appearance(out, kind);
    out.Write("}}");
  }
  out.Write(first ? "],\n\"edges\":[" : "\n],\n\"edges\":[");
  for (int i = 0; i < model.linkCount; ++i) {
    const ExportLink& link = model.links[i];
    const ExportKind& kind = model.relations[link.relation];
    out.Write(i == 0 ? "\n  {\"data\":{" : ",\n  {\"data\":{");
    // Node ids hold no blank, so no link id can be one of them.
    char id[24];
    std::snprintf(id, sizeof id, "link %d", i + 1);
    Field(out, "id", id, true);
    Field(out, "source", model.nodes[link.from].id);
    Field(out, "target", model.nodes[link.to].id);
    Field(out, "relation", kind.name);
    Field(out, "label", link.text);
    Appearance(out, kind);
    out.Write("}}");
  }
  out.Write(model.linkCount > 0 ? "\n]}}\n" : "]}}\n");
}

}  // namespace plotweave
