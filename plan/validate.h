// Ties nodes to classes and links to relations, and checks every reference.
#pragma once

#include "io/diagnostics.h"
#include "plan/model.h"

namespace plotweave {

enum class ValidateStatus : uint8_t { kValid, kInvalid };

// Resolves the model in place: each node gets its class entry, each link its
// relation entry (NodeEntry::classIndex, LinkEntry::relationIndex). Broken
// references are reported as errors with the line of the node or link, in
// three rounds that each end the check when they found any: unknown classes;
// unknown first ends, then unknown second ends; unknown relations. For a valid
// model it also turns underscores into blanks in the texts the page displays.
ValidateStatus ValidateModel(OntologyModel& model, DiagnosticSink& diagnostics);

}  // namespace plotweave
