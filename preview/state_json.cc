#include "preview/state_json.h"

#include <cstdio>
#include <cstring>

#include "check/report.h"

namespace plotweave {

const char* PlanStateName(PlanState state) {
  switch (state) {
    case PlanState::kDrawn:
      return "drawn";
    case PlanState::kRefused:
      return "refused";
    case PlanState::kUnreadable:
      return "unreadable";
    case PlanState::kMissing:
      return "missing";
    case PlanState::kNotAFile:
      return "not-a-file";
    case PlanState::kTooLarge:
      return "too-large";
    case PlanState::kKitUnreadable:
      return "kit-unreadable";
  }
  return "unreadable";
}

namespace {

// The saves and counts as JSON numbers.
void Count(LineOut& o, uint64_t value) { o.Number(static_cast<long>(value)); }

// A UTF-8 text (a node id) as a JSON string.
void Text(LineOut& o, const char* text) { o.JsonString(text, kShownNameWidth * 6 + 3); }

}  // namespace

size_t FormatState(const char* planName, const char* pageName, uint64_t version, uint64_t drawnVersion,
                   PlanState state, const PreviewFindings& findings, char* out, size_t width) {
  LineOut o{out, width};
  o.Text("{\"version\":");
  Count(o, version);
  o.Text(",\"drawn\":");
  Count(o, drawnVersion);
  o.Text(",\"state\":\"");
  o.Text(PlanStateName(state));
  o.Text("\",\"stale\":");
  o.Text(drawnVersion != version && drawnVersion != 0 ? "true" : "false");
  o.Text(",\"page\":");
  Text(o, pageName);
  o.Text(",\"counts\":{\"errors\":");
  o.Number(findings.counts.errors);
  o.Text(",\"warnings\":");
  o.Number(findings.counts.warnings);
  o.Text(",\"notes\":");
  o.Number(findings.counts.notes);
  o.Text("},\"findings\":[");
  static char line[kReportLineWidth];
  for (int i = 0; i < findings.shown; ++i) {
    const PanelFinding& f = findings.panel[i];
    size_t n = FormatJsonFinding(planName, f.finding, line, sizeof line);
    // The checker's object without its closing brace and line feed, and
    // what it is about after it.
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '}')) --n;
    if (i > 0) o.Text(",");
    o.Bytes(line, n);
    o.Text(",\"node\":");
    if (f.target.node >= 0) {
      Text(o, f.target.nodeId);
    } else {
      o.Text("null");
    }
    o.Text(",\"link\":");
    if (f.target.link >= 0) {
      o.Number(f.target.link);
    } else {
      o.Text("null");
    }
    o.Text("}");
  }
  o.Text("]}");
  return o.used;
}

}  // namespace plotweave
