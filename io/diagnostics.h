// How the stages tell their caller what they found, without printing: each
// finding goes to a DiagnosticSink, and only a program front end decides how
// (and whether) to show it.
#pragma once

#include <cstdint>

namespace plotweave {

enum class Severity : uint8_t { kWarning, kError };

enum class DiagnosticCode : uint8_t {
  // A plan field longer than its table field; it was cut. `field` tells which
  // (a PlanField value) and `limit` how many bytes the table field keeps.
  kFieldCut,
  // A node names a class that the plan does not define; subject: the class.
  kUnknownClass,
  // A link names a node id that no node has; subject: the id.
  kUnknownFromNode,
  kUnknownToNode,
  // A link names a relation that the plan does not define; subject: the name.
  kUnknownRelation,
};

struct Diagnostic {
  Severity severity;
  DiagnosticCode code;
  // Physical line of the plan, from 1; 0 when the finding has none.
  int64_t line;
  // Byte column within that line, from 1; 0 when the finding has none.
  int64_t column;
  // The text the finding is about (a name, an id), zero-terminated; valid only
  // during the Report call.
  const char* subject;
  int32_t field;
  int32_t limit;
};

class DiagnosticSink {
 public:
  virtual void Report(const Diagnostic& diagnostic) = 0;

 protected:
  ~DiagnosticSink() = default;
};

}  // namespace plotweave
