// Reads an ontology plan (KS text) into the model.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/diagnostics.h"
#include "io/stream.h"
#include "io/stream_status.h"
#include "plan/model.h"

namespace plotweave {

// The plan fields a cut warning can name (Diagnostic::field).
enum class PlanField : uint8_t {
  kProjectTag,
  kProjectText,
  kClassName,
  kClassBorderColour,
  kClassStyle,
  kRelationName,
  kRelationColour,
  kRelationStyle,
  kNodeId,
  kNodeClassName,
  kNodeLabel,
  kReferenceAddress,
  kImageAddress,
  kLinkFromId,
  kLinkToId,
  kLinkRelationName,
};


// Told about each piece of a line the reader reads and each entry it stores,
// for callers that point at places in the plan.
class PlanLineWatcher {
 public:
  // A piece of a physical line (the whole line unless it is longer than a
  // read), before anything about it is reported; valid until the next piece.
  // `pieceOffset` counts the bytes of the line read in earlier pieces.
  virtual void PieceRead(const char* piece, size_t length, int64_t line, int64_t pieceOffset) = 0;
  // The piece just read is a header line, of section `section` (1 PROJECT ..
  // 5 LINKS, 6 none); told before anything about it is reported.
  virtual void HeaderRead(int section) = 0;
  // The piece just read was stored as entry `index` of section `section`
  // (1 PROJECT .. 5 LINKS).
  virtual void EntryStored(int section, int index) = 0;

 protected:
  ~PlanLineWatcher() = default;
};

// Reads the plan to its end into `model`, which must be empty. `linkTarget` is
// the target attribute of the anchors built for node titles. Every field that
// had to be cut to fit is reported as a kFieldCut warning, and every other
// trap of the format (see DiagnosticCode) as a warning of its own, each with
// its line and byte column. kReadFailed when the plan could not be read to
// its end.
StreamStatus ReadPlan(ByteSource& plan, OntologyModel& model, const char* linkTarget, DiagnosticSink& diagnostics,
                    PlanLineWatcher* watcher = nullptr);

// Section of a header line's first field: 1 PROJECT .. 5 LINKS, 6 unknown.
int HeaderSection(const char* field, size_t length);
// The header that starts section 1..5; "" for any other number.
const char* SectionHeader(int section);

// How messages name a plan field.
const char* PlanFieldName(PlanField field);

}  // namespace plotweave
