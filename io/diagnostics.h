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
  // Traps of the plan format, which lose or change content without a word.
  // The column is that of the line's first field unless told otherwise;
  // `field` is a section number (0 before any header, 1 PROJECT .. 5 LINKS,
  // 6 after an unknown header).
  //
  // A line shorter than five bytes, its line feed counted, that holds a field.
  kShortLine,
  // A further piece of a line longer than a read; column: where it starts.
  kLinePiece,
  // A header that names no known section; subject: its first field; field:
  // the section it ends.
  kUnknownHeader,
  // A section's header given again; field: the section.
  kSectionRepeated,
  // A data line in no section (before any header, or after an unknown one).
  kIgnoredLine,
  // A data line past its section's capacity; field: the section.
  kPastCapacity,
  // A KS lead byte directly before the line feed; column: the lead byte.
  kLeadByteAtLineEnd,
  // Fields after those a section reads; column: the first of them; field:
  // the section; limit: how many.
  kExtraFields,
  // A line of blanks only, stored as an empty entry; field: the section.
  kBlankEntry,
};

struct Diagnostic {
  Severity severity;
  DiagnosticCode code;
  // Physical line of the plan, from 1; 0 when the finding has none.
  int64_t line;
  // Byte column within that line, from 1; 0 when the finding has none.
  int64_t column;
  // The text the finding is about (a name, an id), zero-terminated, empty
  // when there is none; valid only during the Report call.
  const char* subject;
  int32_t field;
  int32_t limit;
};

class DiagnosticSink {
 public:
  virtual void Report(const Diagnostic& diagnostic) = 0;
  // Whether the sink shows the plan format's traps (kShortLine onwards). A sink that never shows them spares the reader
  // the work of finding them on every line.
  virtual bool WantsTraps() const { return true; }

 protected:
  ~DiagnosticSink() = default;
};

}  // namespace plotweave
