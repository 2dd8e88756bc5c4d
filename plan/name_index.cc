#include "plan/name_index.h"

#include <cstring>

namespace plotweave {

namespace {

uint32_t HashName(const char* name) {
  uint32_t h = 2166136261u;
  for (; *name != '\0'; ++name) h = (h ^ static_cast<unsigned char>(*name)) * 16777619u;
  return h;
}

// Name of entry i of one table: a record array and the offset of its name.
struct Table {
  const char* base;
  size_t stride;
  int count;
  const char* Name(int i) const { return base + static_cast<size_t>(i) * stride; }
};

template <typename Record, size_t N>
Table TableOf(const Record (&)[N], const char* firstName, int count) {
  return Table{firstName, sizeof(Record), count};
}

int Find(const NameIndex& index, const Table& table, const char* name) {
  for (uint32_t slot = HashName(name) & (kNameIndexSlots - 1);; slot = (slot + 1) & (kNameIndexSlots - 1)) {
    const int e = index.entry[slot];
    if (e == 0) return -1;
    if (std::strcmp(table.Name(e - 1), name) == 0) return e - 1;
  }
}

void Build(NameIndex& index, const Table& table) {
  std::memset(index.entry, 0, sizeof index.entry);
  for (int i = 0; i < table.count; ++i) {
    const char* name = table.Name(i);
    for (uint32_t slot = HashName(name) & (kNameIndexSlots - 1);; slot = (slot + 1) & (kNameIndexSlots - 1)) {
      const int e = index.entry[slot];
      if (e == 0) {
        index.entry[slot] = static_cast<int16_t>(i + 1);
        break;
      }
      if (std::strcmp(table.Name(e - 1), name) == 0) break;
    }
  }
}

Table Classes(const OntologyModel& m) { return TableOf(m.classes, m.classes[0].name, m.classCount); }
Table Relations(const OntologyModel& m) { return TableOf(m.relations, m.relations[0].name, m.relationCount); }
Table Nodes(const OntologyModel& m) { return TableOf(m.nodes, m.nodes[0].id, m.nodeCount); }

}  // namespace

void BuildNameIndexes(const OntologyModel& model, NameIndexes* indexes) {
  Build(indexes->classes, Classes(model));
  Build(indexes->relations, Relations(model));
  Build(indexes->nodes, Nodes(model));
}

int FindClass(const NameIndexes& indexes, const OntologyModel& model, const char* name) {
  return Find(indexes.classes, Classes(model), name);
}
int FindRelation(const NameIndexes& indexes, const OntologyModel& model, const char* name) {
  return Find(indexes.relations, Relations(model), name);
}
int FindNode(const NameIndexes& indexes, const OntologyModel& model, const char* id) {
  return Find(indexes.nodes, Nodes(model), id);
}

}  // namespace plotweave
