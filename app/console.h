// Every text the programs print, in one place.
#pragma once

#include "io/diagnostics.h"

namespace plotweave::console {

void Usage();
void Banner();
void PathTooLong(int limit);
void BaseNameTooLong(int limit);

void PlanNotFound(const char* plan);
void PlanCannotBeRead(const char* plan);
void PlanIsKsText(const char* plan);
void ScratchNotCreated();
void ScratchWriteFailed(const char* scratch);
void EncodingOfPlan(int encoding);

void IntermediateNotCreated(const char* intermediate);
void IntermediateWriteFailed(const char* intermediate);

void EncoderFilesNotOpened(const char* intermediate, const char* page);
void EncodingPage(const char* page);
void EncodingFailed();
void PageCreated(const char* page);

// Prints each finding of the reader and the validation as it comes.
class Printer final : public DiagnosticSink {
 public:
  void Report(const Diagnostic& diagnostic) override;
  // The format's traps are the checker's to show; this program's console
  // text stays as scripts and stored logs know it.
  bool WantsTraps() const override { return false; }
};

}  // namespace plotweave::console
