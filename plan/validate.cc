#include "plan/validate.h"

#include <cstring>

#include "plan/name_index.h"

namespace plotweave {

namespace {

// Built once per run; far too large for a stack.
NameIndexes gNames;

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
  BuildNameIndexes(model, &gNames);

  int faults = 0;
  for (int i = 0; i < model.nodeCount; ++i) {
    NodeEntry& node = model.nodes[i];
    const int c = FindClass(gNames, model, node.className);
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
    const int r = FindRelation(gNames, model, link.relation);
    link.relationIndex = static_cast<int16_t>(r);
    if (r >= 0) link.relationLabelFlag = model.relations[r].labelFlag;
  }
  if (faults > 0) return ValidateStatus::kInvalid;

  // All first ends are reported before any second end.
  for (int i = 0; i < model.linkCount; ++i) {
    const LinkEntry& link = model.links[i];
    if (FindNode(gNames, model, link.fromId) < 0) {
      ReportFault(diagnostics, DiagnosticCode::kUnknownFromNode, link.fromId, link.line, link.fromColumn);
      ++faults;
    }
  }
  for (int i = 0; i < model.linkCount; ++i) {
    const LinkEntry& link = model.links[i];
    if (FindNode(gNames, model, link.toId) < 0) {
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
