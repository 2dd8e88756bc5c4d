// Checks on a model as the reader left it, before validation changes it.
#pragma once

#include "check/finding.h"
#include "plan/name_index.h"
#include "check/places.h"
#include "plan/model.h"

namespace plotweave {

struct ModelView {
  const OntologyModel& model;
  const PlanPlaces& places;
  const NameIndexes& names;  // built from the model
  bool fromUnicode;  // the plan was converted from UTF-8 or UTF-16
};

// Every reference the main program would refuse, in all its stages at once:
// node classes, both ends of every link, link relations.
void CheckReferences(const ModelView& view, FindingSink& sink);

// Texts that break the page's script or its caption comment.
void CheckPageTexts(const ModelView& view, FindingSink& sink);

// Node ids given twice: links reach only the first node.
void CheckDuplicateIds(const ModelView& view, FindingSink& sink);

// Notes: classes no node uses, relations no link uses, nodes without links.
void CheckUsage(const ModelView& view, FindingSink& sink);

}  // namespace plotweave
