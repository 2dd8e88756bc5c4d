#include "plan/validate.h"

#include <cstdio>
#include <cstring>

namespace plotweave {

namespace {

// Finds the first entry of a table with a given name without comparing against
// every entry: an open-addressing index over the table, built once per run.
// Entries are added in table order and an equal name is never added twice, so
// a lookup gives the same entry as a search from entry 0 would.
constexpr uint32_t kIndexSlots = 2048;  // a power of two, over twice the largest table
static_assert(kIndexSlots >= 2 * kLinkCapacity && kIndexSlots >= 2 * kNodeCapacity);

struct NameIndex {
  int16_t entry[kIndexSlots];  // entry number + 1; 0 for an empty slot
};

uint32_t HashName(const char* name) {
  uint32_t h = 2166136261u;
  for (; *name != '\0'; ++name) h = (h ^ static_cast<unsigned char>(*name)) * 16777619u;
  return h;
}

// `NameOf(i)` gives the name of entry i.
template <typename NameOf>
void BuildIndex(NameIndex& index, int count, NameOf nameOf) {
  std::memset(index.entry, 0, sizeof index.entry);
  for (int i = 0; i < count; ++i) {
    const char* name = nameOf(i);
    for (uint32_t slot = HashName(name) & (kIndexSlots - 1);; slot = (slot + 1) & (kIndexSlots - 1)) {
      const int e = index.entry[slot];
      if (e == 0) {
        index.entry[slot] = static_cast<int16_t>(i + 1);
        break;
      }
      if (std::strcmp(nameOf(e - 1), name) == 0) break;
    }
  }
}

// The first entry named `name`, or -1.
template <typename NameOf>
int FindInIndex(const NameIndex& index, const char* name, NameOf nameOf) {
  for (uint32_t slot = HashName(name) & (kIndexSlots - 1);; slot = (slot + 1) & (kIndexSlots - 1)) {
    const int e = index.entry[slot];
    if (e == 0) return -1;
    if (std::strcmp(nameOf(e - 1), name) == 0) return e - 1;
  }
}

NameIndex gClassIndex;
NameIndex gRelationIndex;
NameIndex gNodeIndex;

// Underscores stand for blanks in displayed texts. The byte after a KS lead
// byte is part of its character and may itself be 0x5F in the extended hanja
// area, so it is stepped over.
void Unscore(char* text) {
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p != '\0'; ++p) {
    if (*p >= 0x80) {
      if (p[1] == '\0') break;
      ++p;
    } else if (*p == '_') {
      *p = ' ';
    }
  }
}

}  // namespace

bool ValidateModel(OntologyModel& model) {
  auto className = [&model](int i) -> const char* { return model.classes[i].name; };
  auto relationName = [&model](int i) -> const char* { return model.relations[i].name; };
  auto nodeId = [&model](int i) -> const char* { return model.nodes[i].id; };
  BuildIndex(gClassIndex, model.classCount, className);
  BuildIndex(gRelationIndex, model.relationCount, relationName);
  BuildIndex(gNodeIndex, model.nodeCount, nodeId);
  auto FindClass = [&](const char* name) { return FindInIndex(gClassIndex, name, className); };
  auto FindRelation = [&](const char* name) { return FindInIndex(gRelationIndex, name, relationName); };
  auto HasNode = [&](const char* id) { return FindInIndex(gNodeIndex, id, nodeId) >= 0; };

  for (int i = 0; i < model.nodeCount; ++i) {
    const int c = FindClass(model.nodes[i].className);
    if (c >= 0) model.nodes[i].classLabelFlag = model.classes[c].labelFlag;
  }
  for (int i = 0; i < model.linkCount; ++i) {
    const int r = FindRelation(model.links[i].relation);
    if (r >= 0) model.links[i].relationLabelFlag = model.relations[r].labelFlag;
  }

  int faults = 0;
  for (int i = 0; i < model.nodeCount; ++i) {
    NodeEntry& node = model.nodes[i];
    const int c = FindClass(node.className);
    if (c >= 0) {
      node.classIndex = static_cast<int16_t>(c);
    } else {
      std::printf("Class Name %s in the Node List is Invalid!\n", node.className);
      ++faults;
    }
  }
  if (faults > 0) return false;

  // All first ends are reported before any second end.
  for (int i = 0; i < model.linkCount; ++i) {
    if (!HasNode(model.links[i].fromId)) {
      std::printf("Node 1 ID %s in the Link List is Invalid!\n", model.links[i].fromId);
      ++faults;
    }
  }
  for (int i = 0; i < model.linkCount; ++i) {
    if (!HasNode(model.links[i].toId)) {
      std::printf("Node 2 ID %s in the Link List is Invalid!\n", model.links[i].toId);
      ++faults;
    }
  }
  if (faults > 0) return false;

  for (int i = 0; i < model.linkCount; ++i) {
    LinkEntry& link = model.links[i];
    const int r = FindRelation(link.relation);
    if (r >= 0) {
      // Written between one pair of quotes in the page, this yields two values.
      std::snprintf(link.colorStyle, sizeof link.colorStyle, "%s', '%s", model.relations[r].color,
                    model.relations[r].style);
    } else {
      std::printf("Relation Name %s in the Link List is Invalid!\n", link.relation);
      ++faults;
    }
  }
  if (faults > 0) return false;

  for (int i = 0; i < model.projectCount; ++i) Unscore(model.projects[i].text);
  for (int i = 0; i < model.nodeCount; ++i) Unscore(model.nodes[i].label);
  for (int i = 0; i < model.linkCount; ++i) Unscore(model.links[i].relation);
  return true;
}

}  // namespace plotweave
