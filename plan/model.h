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
inline constexpr int kNameWidth = 40;    // names, ids, labels, relation
inline constexpr int kImageWidth = 128;  // image address
inline constexpr int kTextWidth = 256;   // project text
inline constexpr int kAddressWidth = 256;  // reference address
inline constexpr int kTitleWidth = 512;    // title: an anchor around the address and a label or image

struct ProjectLine {
  char tag[kShortWidth];
  char text[kTextWidth];
};

struct NodeClass {
  char name[kNameWidth];
  char borderColor[kShortWidth];
  char style[kShortWidth];
  int16_t labelFlag;
  int64_t line;  // plan line of the entry, from 1
};

struct RelationType {
  char name[kNameWidth];
  char color[kShortWidth];
  char style[kShortWidth];
  int16_t labelFlag;
  int64_t line;
};

struct NodeEntry {
  char id[kNameWidth];
  char className[kNameWidth];
  char label[kNameWidth];
  char title[kTitleWidth];
  char url[kAddressWidth];
  char image[kImageWidth];  // empty when the plan gives none
  int32_t imageNode;
  int16_t classIndex;
  int16_t classLabelFlag;
  // Where the entry and its class name stand in the plan: line and byte
  // column, from 1 (the column 0 when the line names no class).
  int64_t line;
  int64_t classColumn;
};

struct LinkEntry {
  char fromId[kNameWidth];
  char toId[kNameWidth];
  char relation[kNameWidth];
  int16_t relationIndex;  // the relation entry, once validated
  int16_t relationLabelFlag;
  // Line of the entry and byte columns of its three names, from 1 (0 for a
  // name the line does not give).
  int64_t line;
  int64_t fromColumn;
  int64_t toColumn;
  int64_t relationColumn;
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
