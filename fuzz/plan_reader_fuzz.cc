// The plan reader on arbitrary bytes, followed by validation and the page
// writer on whatever model it produced.
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "page/page_writer.h"
#include "plan/model.h"
#include "plan/reader.h"
#include "plan/validate.h"

namespace plotweave {
namespace {

OntologyModel gModel;
OntologyModel gQuietModel;

bool Terminated(const char* field, size_t width) { return std::memchr(field, 0, width) != nullptr; }
#define TERMINATED(f) FUZZ_CHECK(Terminated(f, sizeof f))

void CheckModel(const OntologyModel& m) {
  FUZZ_CHECK(m.projectCount >= 0 && m.projectCount <= kProjectCapacity);
  FUZZ_CHECK(m.classCount >= 0 && m.classCount <= kClassCapacity);
  FUZZ_CHECK(m.relationCount >= 0 && m.relationCount <= kRelationCapacity);
  FUZZ_CHECK(m.nodeCount >= 0 && m.nodeCount <= kNodeCapacity);
  FUZZ_CHECK(m.linkCount >= 0 && m.linkCount <= kLinkCapacity);
  for (int i = 0; i < m.projectCount; ++i) {
    TERMINATED(m.projects[i].tag);
    TERMINATED(m.projects[i].text);
  }
  for (int i = 0; i < m.classCount; ++i) {
    TERMINATED(m.classes[i].name);
    TERMINATED(m.classes[i].borderColor);
    TERMINATED(m.classes[i].style);
  }
  for (int i = 0; i < m.relationCount; ++i) {
    TERMINATED(m.relations[i].name);
    TERMINATED(m.relations[i].color);
    TERMINATED(m.relations[i].style);
  }
  for (int i = 0; i < m.nodeCount; ++i) {
    const NodeEntry& n = m.nodes[i];
    TERMINATED(n.id);
    TERMINATED(n.className);
    TERMINATED(n.label);
    TERMINATED(n.title);
    TERMINATED(n.url);
    TERMINATED(n.image);
  }
  for (int i = 0; i < m.linkCount; ++i) {
    const LinkEntry& l = m.links[i];
    TERMINATED(l.fromId);
    TERMINATED(l.toId);
    TERMINATED(l.relation);
  }
}

}  // namespace
}  // namespace plotweave

FUZZ_INITIALIZE_WITH_SILENT_STDOUT()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotweave;
  std::memset(&gModel, 0, sizeof gModel);
  MemorySource source(data, size);
  fuzz::CheckedFindings findings;
  FUZZ_CHECK(ReadPlan(source, gModel, "_self", findings) == StreamStatus::kDone);
  CheckModel(gModel);
  // Read again for a sink that wants no word about dropped lines, which the
  // reader then passes over: the model must come out the same.
  std::memset(&gQuietModel, 0, sizeof gQuietModel);
  MemorySource again(data, size);
  fuzz::CheckedFindings quiet(false);
  FUZZ_CHECK(ReadPlan(again, gQuietModel, "_self", quiet) == StreamStatus::kDone);
  FUZZ_CHECK(std::memcmp(&gModel, &gQuietModel, sizeof gModel) == 0);
  fuzz::CheckedFindings faults;
  const bool valid = ValidateModel(gModel, faults) == ValidateStatus::kValid;
  FUZZ_CHECK(valid == (faults.count == 0));
  if (valid) {
    CheckModel(gModel);
    for (int i = 0; i < gModel.nodeCount; ++i) {
      FUZZ_CHECK(gModel.nodes[i].classIndex >= 0 && gModel.nodes[i].classIndex < gModel.classCount);
    }
    for (int i = 0; i < gModel.linkCount; ++i) {
      FUZZ_CHECK(gModel.links[i].relationIndex >= 0 && gModel.links[i].relationIndex < gModel.relationCount);
    }
    fuzz::StringSink page;
    FUZZ_CHECK(WritePage(gModel, page) == StreamStatus::kDone);
  }
  return 0;
}
