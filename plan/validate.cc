#include "plan/validate.h"

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

void ReportFault(DiagnosticSink& diagnostics, DiagnosticCode code, const char* subject, int64_t line,
                 int64_t column) {
  Diagnostic d{};
  d.severity = Severity::kError;
  d.code = code;
  d.line = line;
  d.column = column;
  d.subject = subject;
  diagnostics.Report(d);
}

}  // namespace

ValidateStatus ValidateModel(OntologyModel& model, DiagnosticSink& diagnostics) {
  auto className = [&model](int i) -> const char* { return model.classes[i].name; };
  auto relationName = [&model](int i) -> const char* { return model.relations[i].name; };
  auto nodeId = [&model](int i) -> const char* { return model.nodes[i].id; };
  BuildIndex(gClassIndex, model.classCount, className);
  BuildIndex(gRelationIndex, model.relationCount, relationName);
  BuildIndex(gNodeIndex, model.nodeCount, nodeId);

  int faults = 0;
  for (int i = 0; i < model.nodeCount; ++i) {
    NodeEntry& node = model.nodes[i];
    const int c = FindInIndex(gClassIndex, node.className, className);
    if (c >= 0) {
      node.classIndex = static_cast<int16_t>(c);
      node.classLabelFlag = model.classes[c].labelFlag;
    } else {
      ReportFault(diagnostics, DiagnosticCode::kUnknownClass, node.className, node.line, node.classColumn);
      ++faults;
    }
  }
  // Relations are looked up now and reported last, after the link ends.
  for (int i = 0; i < model.linkCount; ++i) {
    LinkEntry& link = model.links[i];
    const int r = FindInIndex(gRelationIndex, link.relation, relationName);
    link.relationIndex = static_cast<int16_t>(r);
    if (r >= 0) link.relationLabelFlag = model.relations[r].labelFlag;
  }
  if (faults > 0) return ValidateStatus::kInvalid;

  // All first ends are reported before any second end.
  for (int i = 0; i < model.linkCount; ++i) {
    const LinkEntry& link = model.links[i];
    if (FindInIndex(gNodeIndex, link.fromId, nodeId) < 0) {
      ReportFault(diagnostics, DiagnosticCode::kUnknownFromNode, link.fromId, link.line, link.fromColumn);
      ++faults;
    }
  }
  for (int i = 0; i < model.linkCount; ++i) {
    const LinkEntry& link = model.links[i];
    if (FindInIndex(gNodeIndex, link.toId, nodeId) < 0) {
      ReportFault(diagnostics, DiagnosticCode::kUnknownToNode, link.toId, link.line, link.toColumn);
      ++faults;
    }
  }
  if (faults > 0) return ValidateStatus::kInvalid;

  for (int i = 0; i < model.linkCount; ++i) {
    const LinkEntry& link = model.links[i];
    if (link.relationIndex < 0) {
      ReportFault(diagnostics, DiagnosticCode::kUnknownRelation, link.relation, link.line, link.relationColumn);
      ++faults;
    }
  }
  if (faults > 0) return ValidateStatus::kInvalid;

  for (int i = 0; i < model.projectCount; ++i) Unscore(model.projects[i].text);
  for (int i = 0; i < model.nodeCount; ++i) Unscore(model.nodes[i].label);
  for (int i = 0; i < model.linkCount; ++i) Unscore(model.links[i].relation);
  return ValidateStatus::kValid;
}

}  // namespace plotweave
