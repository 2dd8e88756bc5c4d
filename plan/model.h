// The ontology model: five fixed-capacity tables filled from one plan.
#pragma once

#include <cstdint>

namespace plotweave {

inline constexpr int kProjectCapacity = 10;
inline constexpr int kClassCapacity = 100;
inline constexpr int kRelationCapacity = 100;
inline constexpr int kNodeCapacity = 512;
inline constexpr int kLinkCapacity = 800;

// Field widths; a field of width W holds at most W - 1 bytes and a zero byte.
inline constexpr int kShortWidth = 16;   // project tag, colours, styles
inline constexpr int kNameWidth = 40;    // names, ids, labels, relation, colorStyle
inline constexpr int kImageWidth = 128;  // image address
inline constexpr int kTextWidth = 256;   // project text
inline constexpr int kTitleWidth = 512;  // title, reference address

struct ProjectLine {
  char tag[kShortWidth];
  char text[kTextWidth];
};

struct NodeClass {
  char name[kNameWidth];
  char borderColor[kShortWidth];
  char style[kShortWidth];
  int16_t labelFlag;
};

struct RelationType {
  char name[kNameWidth];
  char color[kShortWidth];
  char style[kShortWidth];
  int16_t labelFlag;
};

struct NodeEntry {
  char id[kNameWidth];
  char className[kNameWidth];
  char label[kNameWidth];
  char title[kTitleWidth];
  char url[kTitleWidth];
  char image[kImageWidth];
  int32_t imageNode;
  int16_t classIndex;
  int16_t classLabelFlag;
};

struct LinkEntry {
  char fromId[kNameWidth];
  char toId[kNameWidth];
  char relation[kNameWidth];
  char colorStyle[kNameWidth];
  int16_t relationLabelFlag;
};

// Zero-initialised it is the empty model a run starts with.
struct OntologyModel {
  ProjectLine projects[kProjectCapacity];
  NodeClass classes[kClassCapacity];
  RelationType relations[kRelationCapacity];
  NodeEntry nodes[kNodeCapacity];
  LinkEntry links[kLinkCapacity];
  int32_t projectCount;
  int32_t classCount;
  int32_t relationCount;
  int32_t nodeCount;
  int32_t linkCount;
};

}  // namespace plotweave
