// GEXF 1.3: the values as declared attributes, the class colour and shape
// and the relation colour in the viz namespace, which graph editors draw.
#include "export/colours.h"
#include "export/escape.h"
#include "export/formats.h"
#include "export/styles.h"

namespace plotweave {

namespace {

struct Attribute {
  const char* id;
  const char* type;
};

constexpr Attribute kNodeAttributes[] = {{"class", "string"},  {"address", "string"}, {"image", "string"},
                                         {"picture", "integer"}, {"color", "string"},   {"style", "string"},
                                         {"label_flag", "integer"}};
constexpr Attribute kEdgeAttributes[] = {
    {"relation", "string"}, {"color", "string"}, {"style", "string"}, {"label_flag", "integer"}};

template <size_t N>
void Declare(BufferedWriter& out, const char* domain, const Attribute (&attributes)[N]) {
  out.Write("    <attributes class=\"");
  out.Write(domain);
  out.Write("\">\n");
  for (const Attribute& a : attributes) {
    WriteXmlElement(out, "      ", "attribute", {{"id", a.id}, {"title", a.id}, {"type", a.type}});
  }
  out.Write("    </attributes>\n");
}

void Value(BufferedWriter& out, const char* id, const char* value) {
  WriteXmlElement(out, "          ", "attvalue", {{"for", id}, {"value", value}});
}

void Value(BufferedWriter& out, const char* id, long value) { Value(out, id, Decimal(value).text); }

// How the node's class or the link's relation is drawn.
void Appearance(BufferedWriter& out, const ExportKind& kind) {
  Value(out, "color", kind.colour);
  Value(out, "style", kind.style);
  Value(out, "label_flag", kind.labelFlag);
}

// Only a colour the browser would know is given; without one the reader
// picks its own.
void Colour(BufferedWriter& out, const char* colour) {
  Rgb rgb;
  if (!ParseColour(colour, &rgb)) return;
  WriteXmlElement(out, "        ", "viz:color",
                  {{"r", Decimal(rgb.r).text}, {"g", Decimal(rgb.g).text}, {"b", Decimal(rgb.b).text}});
}

}  // namespace

void WriteGexf(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out) {
  out.Write(kXmlDeclaration);
  out.Write(
      "<gexf xmlns=\"http://gexf.net/1.3\" xmlns:viz=\"http://gexf.net/1.3/viz\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://gexf.net/1.3 http://gexf.net/1.3/gexf.xsd\" version=\"1.3\">\n");
  out.Write("  <meta>\n    <creator>plotweave-export ");
  WriteXml(out, settings.version);
  out.Write("</creator>\n    <title>");
  WriteXml(out, settings.name);
  out.Write("</title>\n");
  // GEXF has no values of the graph itself: the captions are its
  // description, one line each, "TAG: TEXT".
  if (model.captionCount > 0) {
    out.Write("    <description>");
    for (int i = 0; i < model.captionCount; ++i) {
      if (i > 0) out.Write("&#10;");
      WriteXml(out, model.captions[i].tag);
      out.Write(": ");
      WriteXml(out, model.captions[i].text);
    }
    out.Write("</description>\n");
  }
  out.Write("  </meta>\n  <graph defaultedgetype=\"directed\" mode=\"static\">\n");
  Declare(out, "node", kNodeAttributes);
  Declare(out, "edge", kEdgeAttributes);
  out.Write("    <nodes>\n");
  for (int i = 0; i < model.nodeCount; ++i) {
    const ExportNode& node = model.nodes[i];
    if (!node.first) continue;
    const ExportKind& kind = model.classes[node.classIndex];
    out.Write("      <node id=\"");
    WriteXml(out, node.id);
    out.Write("\" label=\"");
    WriteXml(out, node.label);
    out.Write("\">\n        <attvalues>\n");
    Value(out, "class", node.className);
    if (node.address[0] != '\0') Value(out, "address", node.address);
    if (node.image[0] != '\0') Value(out, "image", node.image);
    Value(out, "picture", node.picture);
    Appearance(out, kind);
    out.Write("        </attvalues>\n");
    Colour(out, kind.colour);
    const NodeShape shape = ShapeOf(kind.style, node.picture == 1);
    // An image shape without an image would be drawn as nothing.
    if (shape.image && node.image[0] != '\0') {
      WriteXmlElement(out, "        ", "viz:shape", {{"value", "image"}, {"uri", node.image}});
    } else {
      WriteXmlElement(out, "        ", "viz:shape", {{"value", shape.image ? "square" : shape.gexf}});
    }
    out.Write("      </node>\n");
  }
  out.Write("    </nodes>\n    <edges>\n");
  for (int i = 0; i < model.linkCount; ++i) {
    const ExportLink& link = model.links[i];
    const ExportKind& kind = model.relations[link.relation];
    out.Write("      <edge id=\"");
    WriteNumber(out, i);
    out.Write("\" source=\"");
    WriteXml(out, model.nodes[link.from].id);
    out.Write("\" target=\"");
    WriteXml(out, model.nodes[link.to].id);
    out.Write("\" label=\"");
    WriteXml(out, link.text);
    out.Write("\">\n        <attvalues>\n");
    Value(out, "relation", kind.name);
    Appearance(out, kind);
    out.Write("        </attvalues>\n");
    Colour(out, kind.colour);
    out.Write("      </edge>\n");
  }
  out.Write("    </edges>\n  </graph>\n</gexf>\n");
}

}  // namespace plotweave
