// Graphviz DOT: the class colour and shape and the relation colour and line
// style as Graphviz attributes, the rest as attributes of the plan's own
// (Graphviz keeps attributes it does not know, and draws nothing of them).
// Colours are written as numbers, since Graphviz knows fewer names than a
// browser and warns about the others.
#include "export/colours.h"
#include "export/escape.h"
#include "export/formats.h"
#include "export/styles.h"

namespace plotweave {

namespace {

// Writes `, name=` for the value that follows.
void Name(BufferedWriter& out, const char* name) {
  out.Write(", ");
  out.Write(name);
  out.Put('=');
}

void Attribute(BufferedWriter& out, const char* name, const char* value) {
  Name(out, name);
  WriteDot(out, value);
}

void Attribute(BufferedWriter& out, const char* name, long value) {
  Name(out, name);
  WriteNumber(out, value);
}

void Colour(BufferedWriter& out, const char* colour) {
  Rgb rgb;
  if (!ParseColour(colour, &rgb)) return;
  static const char kHex[] = "0123456789abcdef";
  char text[8] = {'#'};
  const uint8_t channels[] = {rgb.r, rgb.g, rgb.b};
  for (int i = 0; i < 3; ++i) {
    text[1 + 2 * i] = kHex[channels[i] >> 4];
    text[2 + 2 * i] = kHex[channels[i] & 15];
  }
  Attribute(out, "color", text);
}

// An address as the node's URL. Quotes, apostrophes and backslashes are
// percent-encoded, which leaves the address the same address: cairo reads an
// apostrophe in a PDF link as the end of it and gives up on the drawing, and
// Graphviz would read a backslash as an escape. An ampersand is written as
// "&amp;", which Graphviz passes on as it is: it writes a bare '&' into the
// SVG unescaped, and the SVG would not be XML (image maps want "&amp;" too).
void Url(BufferedWriter& out, const char* address) {
  static const char kHex[] = "0123456789ABCDEF";
  out.Write(", URL=\"");
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(address); *p != '\0'; ++p) {
    if (*p == '\'' || *p == '"' || *p == '\\' || *p <= 0x20 || *p == 0x7F) {
      out.Put('%');
      out.Put(static_cast<unsigned char>(kHex[*p >> 4]));
      out.Put(static_cast<unsigned char>(kHex[*p & 15]));
    } else if (*p == '&') {
      out.Write("&amp;");
    } else {
      out.Put(*p);
    }
  }
  out.Put('"');
}

const char* ArrowHead(ArrowPlace place) {
  switch (place) {
    case ArrowPlace::kEnd: return "normal";
    case ArrowPlace::kMiddle: return "vee";  // Graphviz draws no arrow half way
    case ArrowPlace::kMiddleDot: return "dot";
    default: return "none";
  }
}

}  // namespace

void WriteDotGraph(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out) {
  out.Write("digraph ");
  WriteDot(out, settings.name);
  // A drawing larger than 200 inches is scaled down to fit: PDF readers
  // take no larger page. A smaller drawing is kept as it is.
  out.Write(" {\n  charset=\"UTF-8\";\n  size=\"200,200\";\n");
  // The captions, in order, as the graph's label above the drawing.
  if (model.captionCount > 0) {
    out.Write("  labelloc=\"t\";\n  label=\"");
    for (int i = 0; i < model.captionCount; ++i) {
      if (i > 0) out.Write("\\n");
      // One quoted label for all: each text escaped as WriteDot does.
      for (const char* p = model.captions[i].text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') out.Put('\\');
        out.Put(c < 0x20 ? ' ' : c);
      }
    }
    out.Write("\";\n");
    for (int i = 0; i < model.captionCount; ++i) {
      out.Write("  plotweave_caption");
      WriteNumber(out, i + 1);
      out.Write("_tag=");
      WriteDot(out, model.captions[i].tag);
      out.Write(";\n  plotweave_caption");
      WriteNumber(out, i + 1);
      out.Write("_text=");
      WriteDot(out, model.captions[i].text);
      out.Write(";\n");
    }
  }
  for (int i = 0; i < model.nodeCount; ++i) {
    const ExportNode& node = model.nodes[i];
    if (!node.first) continue;
    const ExportKind& kind = model.classes[node.classIndex];
    const NodeShape shape = ShapeOf(kind.style, node.picture == 1);
    out.Write("  ");
    WriteDot(out, node.id);
    out.Write(" [shape=");
    out.Write(shape.dot);
    // Graphviz would have to load a picture to draw it: a picture node is a
    // rounded box with its label, whatever its class's label flag.
    Attribute(out, "label", node.label);
    Attribute(out, "tooltip", node.label);
    Colour(out, kind.colour);
    if (shape.image) Attribute(out, "style", "rounded");
    if (node.address[0] != '\0') {
      Url(out, node.address);
      Attribute(out, "plotweave_address", node.address);
    }
    Attribute(out, "plotweave_class", node.className);
    if (node.image[0] != '\0') Attribute(out, "plotweave_image", node.image);
    Attribute(out, "plotweave_picture", node.picture);
    Attribute(out, "plotweave_style", kind.style);
    Attribute(out, "plotweave_label_flag", kind.labelFlag);
    out.Write("];\n");
  }
  for (int i = 0; i < model.linkCount; ++i) {
    const ExportLink& link = model.links[i];
    const ExportKind& kind = model.relations[link.relation];
    const LineStyle line = LineStyleOf(kind.style);
    out.Write("  ");
    WriteDot(out, model.nodes[link.from].id);
    out.Write(" -> ");
    WriteDot(out, model.nodes[link.to].id);
    out.Write(" [arrowhead=");
    out.Write(ArrowHead(line.arrow));
    if (line.dashed) out.Write(", style=dashed");
    // The link shows the relation only when the relation says so.
    if (kind.labelFlag != 0) Attribute(out, "label", link.text);
    Attribute(out, "tooltip", link.text);
    Colour(out, kind.colour);
    Attribute(out, "plotweave_relation", kind.name);
    Attribute(out, "plotweave_style", kind.style);
    Attribute(out, "plotweave_label_flag", kind.labelFlag);
    out.Write("];\n");
  }
  out.Write("}\n");
}

}  // namespace plotweave
