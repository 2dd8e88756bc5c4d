#include "plan/validate.h"

#include <cstdio>
#include <cstring>

namespace plotweave {

namespace {

int FindClass(const OntologyModel& model, const char* name) {
  for (int i = 0; i < model.classCount; ++i) {
    if (std::strcmp(model.classes[i].name, name) == 0) return i;
  }
  return -1;
}

int FindRelation(const OntologyModel& model, const char* name) {
  for (int i = 0; i < model.relationCount; ++i) {
    if (std::strcmp(model.relations[i].name, name) == 0) return i;
  }
  return -1;
}

bool HasNode(const OntologyModel& model, const char* id) {
  for (int i = 0; i < model.nodeCount; ++i) {
    if (std::strcmp(model.nodes[i].id, id) == 0) return true;
  }
  return false;
}

void Unscore(char* text) {
  for (char* p = text; *p != '\0'; ++p) {
    if (*p == '_') *p = ' ';
  }
}

}  // namespace

bool ValidateModel(OntologyModel& model) {
  for (int i = 0; i < model.nodeCount; ++i) {
    const int c = FindClass(model, model.nodes[i].className);
    if (c >= 0) model.nodes[i].classLabelFlag = model.classes[c].labelFlag;
  }
  for (int i = 0; i < model.linkCount; ++i) {
    const int r = FindRelation(model, model.links[i].relation);
    if (r >= 0) model.links[i].relationLabelFlag = model.relations[r].labelFlag;
  }

  int faults = 0;
  for (int i = 0; i < model.nodeCount; ++i) {
    NodeEntry& node = model.nodes[i];
    const int c = FindClass(model, node.className);
    if (c >= 0) {
      node.classIndex = static_cast<int16_t>(c);
    } else {
      std::printf("Class Name %s in the Node List is Invalid!\n", node.className);
      ++faults;
    }
  }
  if (faults > 0) return false;

  // All first ends are reported before any second end.
  for (int i = 0; i < model.linkCount; ++i) {
    if (!HasNode(model, model.links[i].fromId)) {
      std::printf("Node 1 ID %s in the Link List is Invalid!\n", model.links[i].fromId);
      ++faults;
    }
  }
  for (int i = 0; i < model.linkCount; ++i) {
    if (!HasNode(model, model.links[i].toId)) {
      std::printf("Node 2 ID %s in the Link List is Invalid!\n", model.links[i].toId);
      ++faults;
    }
  }
  if (faults > 0) return false;

  for (int i = 0; i < model.linkCount; ++i) {
    LinkEntry& link = model.links[i];
    const int r = FindRelation(model, link.relation);
    if (r >= 0) {
      // Written between one pair of quotes in the page, this yields two values.
      std::snprintf(link.colorStyle, sizeof link.colorStyle, "%s', '%s", model.relations[r].color,
                    model.relations[r].style);
    } else {
      std::printf("Relation Name %s in the Link List is Invalid!\n", link.relation);
      ++faults;
    }
  }
  if (faults > 0) return false;

  for (int i = 0; i < model.projectCount; ++i) Unscore(model.projects[i].text);
  for (int i = 0; i < model.nodeCount; ++i) Unscore(model.nodes[i].label);
  for (int i = 0; i < model.linkCount; ++i) Unscore(model.links[i].relation);
  return true;
}

}  // namespace plotweave
