// The page's node and link styles in the terms of the formats that draw.
#pragma once

namespace plotweave {

struct NodeShape {
  const char* dot;   // a Graphviz node shape
  const char* gexf;  // a GEXF viz:shape value
  bool image;        // drawn as the node's image
};

// The shape a node of the class style draws as; a picture node is drawn as
// its image whatever its class says. Styles are matched without regard to
// case, as the network script does, and an unknown one is a box there.
NodeShape ShapeOf(const char* style, bool picture);

enum class ArrowPlace { kNone, kEnd, kMiddle, kMiddleDot };

struct LineStyle {
  bool dashed;
  ArrowPlace arrow;
};

// "line", "arrow", "arrow-center", "dash-line", "moving-arrows",
// "moving-dot" and their combinations such as "dash-arrow", read as the
// network script reads them.
LineStyle LineStyleOf(const char* style);

}  // namespace plotweave
