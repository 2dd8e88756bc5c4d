#include "app/console.h"

#include <cinttypes>
#include <cstdio>

#include "build_config.h"
#include "plan/reader.h"

namespace plotweave::console {

void Usage() { std::printf("\nUsage: Plotweave <Ontology Data File> \n"); }

void Banner() {
  std::printf("\nVisualization Script Converter " PLOTWEAVE_VERSION " (2017/09/19)");
  std::printf("\nJorin Vale, Quillon Laboratory, Vantor\n\n");
}

void PathTooLong(int limit) {
  std::printf("Plan path is longer than %d bytes; nothing was read or written.\n", limit);
}

void BaseNameTooLong(int limit) {
  std::printf("Base name is longer than %d bytes; nothing was read or written.\n", limit);
}

void PlanNotFound(const char* plan) { std::printf("Ontology Plan \"%s\" Not Found!\n", plan); }

void PlanCannotBeRead(const char* plan) { std::printf("Ontology Plan \"%s\" Cannot be Read!\n", plan); }

void PlanIsKsText(const char* plan) {
  std::printf("Input Text Ecoding: ANSI or UTF-8 without BOM.\n");
  std::printf("System regards %s as ANSI encoding.\n", plan);
}

// The number is the code this failure has always been shown with.
void ScratchNotCreated() { std::printf("Scratch File Creation Error: -2\n"); }

void ScratchWriteFailed(const char* scratch) {
  std::printf("Scratch File %s Write Error! The plan was not converted.\n", scratch);
}

void EncodingOfPlan(int encoding) {
  std::printf("Text Encoding of LST file: %d [0:ANSI 1:UTF-8 2:UTF-16(BE) 3:UTF-16(LE)]\n", encoding);
}

void IntermediateNotCreated(const char* intermediate) {
  std::printf("Intermediate File %s Creation Error!\n", intermediate);
}

void IntermediateWriteFailed(const char* intermediate) {
  std::printf("Intermediate File %s Write Error! No page was created.\n", intermediate);
}

void EncoderFilesNotOpened(const char* intermediate, const char* page) {
  std::printf("\nInput File %s Not Found!\n", intermediate);
  std::printf("\nOutput File %s Creation Error!\n", page);
}

void EncodingPage(const char* page) { std::printf("Creating %s .... Encoding: %s\n", page, "KSX -> UTF-8"); }

void EncodingFailed() { std::printf("Output File Encoding Conversion Error.\n"); }

void PageCreated(const char* page) { std::printf("Visualization Script %s has been Created.\n", page); }

void Printer::Report(const Diagnostic& d) {
  switch (d.code) {
    case DiagnosticCode::kFieldCut:
      std::printf("Warning: plan line %" PRId64 ": %s is longer than %d bytes and has been cut.\n", d.line,
                  PlanFieldName(static_cast<PlanField>(d.field)), static_cast<int>(d.limit));
      break;
    case DiagnosticCode::kUnknownClass:
      std::printf("Class Name %s in the Node List is Invalid!\n", d.subject);
      break;
    case DiagnosticCode::kUnknownFromNode:
      std::printf("Node 1 ID %s in the Link List is Invalid!\n", d.subject);
      break;
    case DiagnosticCode::kUnknownToNode:
      std::printf("Node 2 ID %s in the Link List is Invalid!\n", d.subject);
      break;
    case DiagnosticCode::kUnknownRelation:
      std::printf("Relation Name %s in the Link List is Invalid!\n", d.subject);
      break;
    default:
      break;
  }
}

}  // namespace plotweave::console
