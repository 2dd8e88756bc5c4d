#include "check/model_checks.h"

#include <cstring>
#include <initializer_list>

#include "check/columns.h"
#include "check/page_text.h"

namespace plotweave {

namespace {

// A subject quoted in a message; long ones are cut.
struct Shown {
  char text[kShownTextWidth];
  explicit Shown(const char* ks) { ShowText(ks, text, sizeof text); }
};

Finding At(FindingCode code, const EntryPlace& place, int field, const ModelView& view) {
  Finding f{};
  f.code = code;
  f.line = place.line;
  f.column = FieldColumn(place, field, view.fromUnicode);
  return f;
}

// ---- references ----

void ReportUndeclared(FindingSink& sink, FindingCode code, const EntryPlace& place, int field,
                      const char* format, const char* name, const ModelView& view) {
  Finding f = At(code, place, field, view);
  SetMessage(f, format, Shown(name).text);
  sink.Report(f);
}

}  // namespace

void CheckReferences(const ModelView& view, FindingSink& sink) {
  const OntologyModel& m = view.model;
  const NameIndexes& names = view.names;
  for (int i = 0; i < m.nodeCount; ++i) {
    if (FindClass(names, m, m.nodes[i].className) < 0) {
      ReportUndeclared(sink, FindingCode::kClassUndeclared, view.places.nodes[i], 1,
                       "class \"%s\" is not declared under #CLASS, so no page is written; declare "
                       "the class or correct the name",
                       m.nodes[i].className, view);
    }
  }
  for (int i = 0; i < m.linkCount; ++i) {
    const LinkEntry& link = m.links[i];
    const EntryPlace& place = view.places.links[i];
    if (FindNode(names, m, link.fromId) < 0) {
      ReportUndeclared(sink, FindingCode::kFirstNodeUnknown, place, 0,
                       "the link starts at node \"%s\", which is not under #NODES, so no page is "
                       "written; add the node or correct the id",
                       link.fromId, view);
    }
    if (FindNode(names, m, link.toId) < 0) {
      ReportUndeclared(sink, FindingCode::kSecondNodeUnknown, place, 1,
                       "the link ends at node \"%s\", which is not under #NODES, so no page is "
                       "written; add the node or correct the id",
                       link.toId, view);
    }
    if (FindRelation(names, m, link.relation) < 0) {
      ReportUndeclared(sink, FindingCode::kRelationUndeclared, place, 2,
                       "relation \"%s\" is not declared under #RELATION, so no page is written; "
                       "declare the relation or correct the name",
                       link.relation, view);
    }
  }
}

namespace {

// ---- texts in the page ----

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Length of the valid script escape whose letter is at t[i] (after the
// backslash), or 0 when "\x" or "\u" is not followed by what they need.
size_t EscapeLength(const char* t, size_t i, size_t n) {
  if (t[i] == 'x') return i + 2 < n && IsHex(t[i + 1]) && IsHex(t[i + 2]) ? 3 : 0;
  if (t[i] != 'u') return 1;
  if (i + 4 < n && IsHex(t[i + 1]) && IsHex(t[i + 2]) && IsHex(t[i + 3]) && IsHex(t[i + 4])) return 5;
  if (i + 1 < n && t[i + 1] == '{') {
    size_t k = i + 2;
    unsigned long value = 0;
    while (k < n && IsHex(t[k]) && value <= 0x10FFFF) {
      value = value * 16 + static_cast<unsigned long>(t[k] <= '9' ? t[k] - '0' : (t[k] | 0x20) - 'a' + 10);
      ++k;
    }
    if (k > i + 2 && k < n && t[k] == '}' && value <= 0x10FFFF) return k - i + 1;
  }
  return 0;
}

// One text of a plan line that the page writes: a field inside the script,
// or a caption inside the comment.
struct PageField {
  const char* ks;
  const EntryPlace* place;
  int field;
  const char* what;  // "node label", ...
  bool inScript;
};

void ReportInText(FindingSink& sink, FindingCode code, const PageField& pf, const ModelView& view,
                  size_t viewOffset, const char* format) {
  Finding f = At(code, *pf.place, pf.field, view);
  const size_t source = SourceOffsetOf(pf.ks, viewOffset);
  f.column += CountCharacters(pf.ks, source, view.fromUnicode);
  SetMessage(f, format, pf.what, Shown(pf.ks).text);
  sink.Report(f);
}

// Whether the text holds nothing a trap needs: no byte a trap starts with
// (the page encoder's escapes start with 'U' and '&', the traps themselves
// with a quote, a backslash, '<', '-' or a line break), and no lead byte left
// without its trail. Most texts hold nothing, and need not go through the
// page encoder.
bool PlainText(const char* ks) {
  // A trail byte that looks like one of them only sends the text the long way.
  const size_t length = std::strlen(ks);
  if (std::strcspn(ks, "'\\<-U&\n\r") != length) return false;
  if (length == 0 || static_cast<unsigned char>(ks[length - 1]) < 0x80) return true;
  size_t i = 0;
  while (i < length) i += static_cast<unsigned char>(ks[i]) >= 0x80 ? 2 : 1;
  return i == length;
}

void CheckText(const PageField& pf, const ModelView& view, FindingSink& sink) {
  if (pf.place->line == 0 || PlainText(pf.ks)) return;  // a default, or nothing to find
  static PageText page;
  ViewInPage(pf.ks, &page);
  const char* t = page.bytes;
  const size_t n = page.length;
  if (!pf.inScript) {
    // A browser ends a comment at "--!>" as well as at "-->".
    for (size_t i = 0; i + 3 <= n; ++i) {
      if (std::memcmp(t + i, "-->", 3) == 0) {
        ReportInText(sink, FindingCode::kCommentEnd, pf, view, i,
                     "the %s \"%s\" holds \"-->\", which ends the comment the captions stand in, "
                     "so the rest of them shows as page text; leave it out");
        return;
      }
      if (i + 4 <= n && std::memcmp(t + i, "--!>", 4) == 0) {
        ReportInText(sink, FindingCode::kCommentEnd, pf, view, i,
                     "the %s \"%s\" holds \"--!>\", which ends the comment the captions stand in, "
                     "so the rest of them shows as page text; leave it out");
        return;
      }
    }
    // A tag also closes its element, "</TAG>", where a "--" at its end
    // meets the '>'.
    if (pf.field == 0 && n >= 2 && std::memcmp(t + n - 2, "--", 2) == 0) {
      ReportInText(sink, FindingCode::kCommentEnd, pf, view, n - 2,
                   "the %s \"%s\" ends in \"--\", and its closing tag then holds \"-->\", which ends the "
                   "comment the captions stand in, so the rest of them shows as page text; leave it out");
    }
    return;
  }
  if (!page.closingQuoteKept) {
    Finding f = At(FindingCode::kQuoteSwallowed, *pf.place, pf.field, view);
    f.column += CountCharacters(pf.ks, std::strlen(pf.ks), view.fromUnicode) - 1;
    SetMessage(f,
               "the %s \"%s\" ends in the first byte of a two-byte character without its second, "
               "which takes the closing quote of its script string along, so the page will not "
               "draw; complete or remove the character",
               pf.what, Shown(pf.ks).text);
    sink.Report(f);
    return;  // what follows in the view is the page's own text
  }
  // One finding of each kind per text is enough to find it.
  bool apostrophe = false, escape = false, lineBreak = false, scriptEnd = false;
  for (size_t i = 0; i < n; ++i) {
    const char c = t[i];
    if (c == '\\') {
      if (i + 1 == n) {
        ReportInText(sink, FindingCode::kTrailingBackslash, pf, view, i,
                     "the %s \"%s\" ends in a single backslash, which escapes the closing quote of "
                     "its script string, so the page will not draw; write \\\\ for a backslash");
        break;
      }
      const size_t length = EscapeLength(t, i + 1, n);
      if (length == 0 && !escape) {
        escape = true;
        ReportInText(sink, FindingCode::kInvalidEscape, pf, view, i,
                     "the %s \"%s\" holds a backslash with \"x\" or \"u\" that starts no valid "
                     "escape in its script string, so the page will not draw; write \\\\ for a "
                     "backslash");
      }
      if (t[i + 1] == '\n' || t[i + 1] == '\r') continue;  // the line break is reported below
      i += length == 0 ? 1 : length;
      continue;
    }
    if (c == '\'' && !apostrophe) {
      apostrophe = true;
      ReportInText(sink, FindingCode::kApostrophe, pf, view, i,
                   "the %s \"%s\" holds an apostrophe, which ends its script string, so the page "
                   "will not draw; write \\' for it");
    } else if ((c == '\n' || c == '\r') && !lineBreak) {
      lineBreak = true;
      ReportInText(sink, FindingCode::kLineBreak, pf, view, i,
                   "the %s \"%s\" turns into a line break inside its script string, so the page "
                   "will not draw; leave the character out");
    } else if (c == '<' && !scriptEnd && StartsWithFolded(t + i, n - i, "</script")) {
      scriptEnd = true;
      ReportInText(sink, FindingCode::kScriptEnd, pf, view, i,
                   "the %s \"%s\" holds \"</script\", which ends the page's script, so the page "
                   "will not draw; write <\\/script instead");
    }
  }
}

}  // namespace

void CheckPageTexts(const ModelView& view, FindingSink& sink) {
  const OntologyModel& m = view.model;
  const PlanPlaces& p = view.places;
  for (int i = 0; i < m.projectCount; ++i) {
    CheckText({m.projects[i].tag, &p.projects[i], 0, "caption tag", false}, view, sink);
    CheckText({m.projects[i].text, &p.projects[i], 1, "caption", false}, view, sink);
  }
  // Every class is written as a group of the network options.
  for (int i = 0; i < m.classCount; ++i) {
    const NodeClass& c = m.classes[i];
    CheckText({c.name, &p.classes[i], 0, "class name", true}, view, sink);
    CheckText({c.borderColor, &p.classes[i], 1, "class colour", true}, view, sink);
    CheckText({c.style, &p.classes[i], 2, "class style", true}, view, sink);
  }
  for (int i = 0; i < m.nodeCount; ++i) {
    const NodeEntry& node = m.nodes[i];
    const EntryPlace& place = p.nodes[i];
    CheckText({node.id, &place, 0, "node id", true}, view, sink);
    // Fields a line does not give hold defaults, in which nothing is found.
    CheckText({node.className, &place, 1, "node class", true}, view, sink);
    CheckText({node.label, &place, 2, "node label", true}, view, sink);
    CheckText({node.url, &place, 3, "node address", true}, view, sink);
    CheckText({node.image, &place, 4, "node image", true}, view, sink);
  }
  // A relation reaches the page through the links that name it: the first
  // relation of that name gives their colour and style.
  const NameIndexes& names = view.names;
  static bool checked[kRelationCapacity];
  std::memset(checked, 0, sizeof checked);
  for (int i = 0; i < m.linkCount; ++i) {
    const LinkEntry& link = m.links[i];
    const EntryPlace& place = p.links[i];
    CheckText({link.fromId, &place, 0, "link's first node", true}, view, sink);
    CheckText({link.toId, &place, 1, "link's second node", true}, view, sink);
    CheckText({link.relation, &place, 2, "link relation", true}, view, sink);
    const int r = FindRelation(names, m, link.relation);
    if (r >= 0 && !checked[r]) {
      checked[r] = true;
      CheckText({m.relations[r].color, &p.relations[r], 1, "relation colour", true}, view, sink);
      CheckText({m.relations[r].style, &p.relations[r], 2, "relation style", true}, view, sink);
    }
  }
}

void CheckDuplicateIds(const ModelView& view, FindingSink& sink) {
  const OntologyModel& m = view.model;
  const NameIndexes& names = view.names;
  for (int i = 0; i < m.nodeCount; ++i) {
    const int first = FindNode(names, m, m.nodes[i].id);
    if (first == i || first < 0) continue;
    Finding f = At(FindingCode::kDuplicateNodeId, view.places.nodes[i], 0, view);
    SetMessage(f,
               "node id \"%s\" is already given on line %ld; links reach only that first node, "
               "so this one is drawn without any; give it an id of its own",
               Shown(m.nodes[i].id).text, static_cast<long>(view.places.nodes[first].line));
    sink.Report(f);
  }
}

void CheckUsage(const ModelView& view, FindingSink& sink) {
  const OntologyModel& m = view.model;
  const NameIndexes& names = view.names;
  static bool classUsed[kClassCapacity];
  static bool relationUsed[kRelationCapacity];
  static bool nodeLinked[kNodeCapacity];
  std::memset(classUsed, 0, sizeof classUsed);
  std::memset(relationUsed, 0, sizeof relationUsed);
  std::memset(nodeLinked, 0, sizeof nodeLinked);
  for (int i = 0; i < m.nodeCount; ++i) {
    const int c = FindClass(names, m, m.nodes[i].className);
    if (c >= 0) classUsed[c] = true;
  }
  for (int i = 0; i < m.linkCount; ++i) {
    const int r = FindRelation(names, m, m.links[i].relation);
    if (r >= 0) relationUsed[r] = true;
    for (const char* end : {m.links[i].fromId, m.links[i].toId}) {
      const int n = FindNode(names, m, end);
      if (n >= 0) nodeLinked[n] = true;
    }
  }
  for (int i = 0; i < m.classCount; ++i) {
    if (classUsed[i] || FindClass(names, m, m.classes[i].name) != i) continue;
    Finding f = At(FindingCode::kUnusedClass, view.places.classes[i], 0, view);
    SetMessage(f, "class \"%s\" is given to no node", Shown(m.classes[i].name).text);
    sink.Report(f);
  }
  for (int i = 0; i < m.relationCount; ++i) {
    if (relationUsed[i] || FindRelation(names, m, m.relations[i].name) != i) continue;
    Finding f = At(FindingCode::kUnusedRelation, view.places.relations[i], 0, view);
    SetMessage(f, "relation \"%s\" is named by no link", Shown(m.relations[i].name).text);
    sink.Report(f);
  }
  for (int i = 0; i < m.nodeCount; ++i) {
    // A repeated id has its own warning.
    if (nodeLinked[i] || FindNode(names, m, m.nodes[i].id) != i) continue;
    Finding f = At(FindingCode::kNodeWithoutLinks, view.places.nodes[i], 0, view);
    SetMessage(f, "node \"%s\" has no links and is drawn on its own", Shown(m.nodes[i].id).text);
    sink.Report(f);
  }
}

}  // namespace plotweave
