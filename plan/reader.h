// Reads an ontology plan (KS text) into the model.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/diagnostics.h"
#include "io/stream.h"
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

enum class ReadStatus : uint8_t { kRead, kReadFailed };

// Reads the plan to its end into `model`, which must be empty. `linkTarget` is
// the target attribute of the anchors built for node titles. Every field that
// had to be cut to fit is reported as a kFieldCut warning, with its line and
// column. kReadFailed when the plan could not be read to its end.
ReadStatus ReadPlan(ByteSource& plan, OntologyModel& model, const char* linkTarget,
                    DiagnosticSink& diagnostics);

}  // namespace plotweave
