// The first entry of a table with a given name, found through a hash index
// instead of a search of the whole table.
#pragma once

#include <cstdint>

#include "plan/model.h"

namespace plotweave {

inline constexpr uint32_t kNameIndexSlots = 2048;  // a power of two, over twice the largest table
static_assert(kNameIndexSlots >= 2 * kLinkCapacity && kNameIndexSlots >= 2 * kNodeCapacity);

struct NameIndex {
  int16_t entry[kNameIndexSlots];  // entry number + 1; 0 for an empty slot
};

struct NameIndexes {
  NameIndex classes;
  NameIndex relations;
  NameIndex nodes;
};

// Indexes the class names, relation names and node ids of the model's valid
// entries. Entries are added in table order and an equal name only once, so
// a lookup gives the entry a search from entry 0 would.
void BuildNameIndexes(const OntologyModel& model, NameIndexes* indexes);

// The first entry with the name, or -1.
int FindClass(const NameIndexes& indexes, const OntologyModel& model, const char* name);
int FindRelation(const NameIndexes& indexes, const OntologyModel& model, const char* name);
int FindNode(const NameIndexes& indexes, const OntologyModel& model, const char* id);

}  // namespace plotweave
