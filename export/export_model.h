// The plan as the export formats see it: every text in UTF-8, display texts
// as the page shows them, links tied to their nodes and relation.
#pragma once

#include <cstdint>

#include "plan/model.h"

namespace plotweave {

// A KS byte becomes at most three UTF-8 bytes (a pair three, a reference at
// most four for its eight bytes, a lone lead byte the three of its mark).
inline constexpr int kUtf8Factor = 3;

struct ExportCaption {
  char tag[kShortWidth * kUtf8Factor];
  char text[kTextWidth * kUtf8Factor];  // without its line end
};

// A class or a relation: the two declare the same four things.
struct ExportKind {
  char name[kNameWidth * kUtf8Factor];
  char colour[kShortWidth * kUtf8Factor];
  char style[kShortWidth * kUtf8Factor];
  int labelFlag;
};

struct ExportNode {
  char id[kNameWidth * kUtf8Factor];
  char className[kNameWidth * kUtf8Factor];
  char label[kNameWidth * kUtf8Factor];
  char address[kAddressWidth * kUtf8Factor];  // empty when the node has none
  char image[kImageWidth * kUtf8Factor];      // empty when the page shows the placeholder
  int picture;                                // 1: drawn as its image
  int classIndex;
  // False for a node whose id an earlier node has: the graph formats, where
  // an id names one node, keep the first.
  bool first;
  int64_t line;
};

struct ExportLink {
  char source[kNameWidth * kUtf8Factor];  // the ids as the plan gives them
  char target[kNameWidth * kUtf8Factor];
  char text[kNameWidth * kUtf8Factor];  // the relation as the link shows it
  int from;                             // node entries of the two ends
  int to;
  int relation;
};

struct ExportModel {
  ExportCaption captions[kProjectCapacity];
  ExportKind classes[kClassCapacity];
  ExportKind relations[kRelationCapacity];
  ExportNode nodes[kNodeCapacity];
  ExportLink links[kLinkCapacity];
  int captionCount;
  int classCount;
  int relationCount;
  int nodeCount;
  int linkCount;
};

// Fills `out` from a model that ValidateModel accepted.
void BuildExportModel(const OntologyModel& model, ExportModel* out);

// Where a text stands in the page, which decides how it reads there.
enum class PageText : uint8_t {
  kAsWritten,     // ids, names, colours, styles, addresses
  kScriptString,  // labels and link texts: a script string drops the
                  // backslash before an apostrophe, a quote or a backslash
  kCaption,       // caption lines: markup, read as written, without the line end
};

// The UTF-8 of a KS text as the page encoder writes it, cut to `width`
// bytes with a zero byte, never inside a character, read as it reads where
// it stands in the page.
void ToUtf8(const char* ks, PageText where, char* out, int width);

}  // namespace plotweave
