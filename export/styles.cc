#include "export/styles.h"

#include <cstring>

namespace plotweave {

namespace {

struct StyleShape {
  const char* style;
  NodeShape shape;
};

// Graphviz has no database, dot or image: a cylinder, a small circle and a
// box stand in. GEXF knows four shapes and images.
constexpr NodeShape kPicture{"box", "image", true};

constexpr StyleShape kShapes[] = {
    {"box", {"box", "square", false}},          {"rect", {"box", "square", false}},
    {"rectangle", {"box", "square", false}},    {"text", {"plaintext", "square", false}},
    {"label", {"plaintext", "square", false}},  {"circle", {"circle", "disc", false}},
    {"ellipse", {"ellipse", "disc", false}},    {"database", {"cylinder", "square", false}},
    {"dot", {"circle", "disc", false}},         {"star", {"star", "disc", false}},
    {"triangle", {"triangle", "triangle", false}}, {"triangledown", {"invtriangle", "triangle", false}},
    {"square", {"square", "square", false}},    {"diamond", {"diamond", "diamond", false}},
    {"hexagon", {"hexagon", "disc", false}},    {"image", kPicture},
    {"circularimage", {"circle", "image", true}},
};

constexpr NodeShape kUnknownStyle{"box", "square", false};
constexpr NodeShape kNoStyle{"ellipse", "disc", false};

// Lower-cased copy, cut to the buffer (styles are short fields).
void Lower(const char* text, char* out, size_t width) {
  size_t n = 0;
  for (; text[n] != '\0' && n + 1 < width; ++n) {
    const char c = text[n];
    out[n] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  out[n] = '\0';
}

}  // namespace

NodeShape ShapeOf(const char* style, bool picture) {
  if (picture) return kPicture;
  if (style[0] == '\0') return kNoStyle;
  char lower[64];
  Lower(style, lower, sizeof lower);
  for (const StyleShape& s : kShapes) {
    if (std::strcmp(lower, s.style) == 0) return s.shape;
  }
  return kUnknownStyle;
}

LineStyle LineStyleOf(const char* style) {
  char s[64];
  Lower(style[0] == '\0' ? "line" : style, s, sizeof s);
  LineStyle line{std::strstr(s, "dash") != nullptr, ArrowPlace::kNone};
  const bool middle = std::strstr(s, "center") != nullptr || std::strstr(s, "centre") != nullptr ||
                      std::strstr(s, "middle") != nullptr || std::strstr(s, "moving") != nullptr;
  if (std::strstr(s, "arrow") != nullptr) {
    line.arrow = middle ? ArrowPlace::kMiddle : ArrowPlace::kEnd;
  } else if (std::strstr(s, "moving") != nullptr && std::strstr(s, "dot") != nullptr) {
    line.arrow = ArrowPlace::kMiddleDot;
  }
  return line;
}

}  // namespace plotweave
