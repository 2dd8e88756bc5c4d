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
  }
  return "unreadable";
}

namespace {

// Appends and never past the end; the caller sizes the buffer for the most.
struct Out {
  char* buf;
  size_t width;
  size_t used = 0;
  void Add(const char* text, size_t n) {
    if (n > width - 1 - used) n = width - 1 - used;
    std::memcpy(buf + used, text, n);
    used += n;
    buf[used] = '\0';
  }
  void Add(const char* text) { Add(text, std::strlen(text)); }
  void Number(unsigned long long value) {
    char digits[24];
    Add(digits, static_cast<size_t>(std::snprintf(digits, sizeof digits, "%llu", value)));
  }
  void Text(const char* text) {
    char quoted[kShownNameWidth * 6 + 3];
    Add(quoted, FormatJsonText(text, quoted, sizeof quoted));
  }
};

}  // namespace

size_t FormatState(const char* planName, const char* pageName, uint64_t version, uint64_t drawnVersion,
                   PlanState state, const PreviewFindings& findings, char* out, size_t width) {
  Out o{out, width};
  o.Add("{\"version\":");
  o.Number(version);
  o.Add(",\"drawn\":");
  o.Number(drawnVersion);
  o.Add(",\"state\":\"");
  o.Add(PlanStateName(state));
  o.Add("\",\"stale\":");
  o.Add(drawnVersion != version && drawnVersion != 0 ? "true" : "false");
  o.Add(",\"page\":");
  o.Text(pageName);
  o.Add(",\"counts\":{\"errors\":");
  o.Number(static_cast<unsigned long long>(findings.counts.errors));
  o.Add(",\"warnings\":");
  o.Number(static_cast<unsigned long long>(findings.counts.warnings));
  o.Add(",\"notes\":");
  o.Number(static_cast<unsigned long long>(findings.counts.notes));
  o.Add("},\"findings\":[");
  static char line[kReportLineWidth];
  for (int i = 0; i < findings.shown; ++i) {
    const PanelFinding& f = findings.panel[i];
    size_t n = FormatJsonFinding(planName, f.finding, line, sizeof line);
    // The checker's object without its closing brace and line feed, and
    // what it is about after it.
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '}')) --n;
    if (i > 0) o.Add(",");
    o.Add(line, n);
    o.Add(",\"node\":");
    if (f.target.node >= 0) {
      o.Text(f.target.nodeId);
    } else {
      o.Add("null");
    }
    o.Add(",\"link\":");
    if (f.target.link >= 0) {
      o.Number(static_cast<unsigned long long>(f.target.link));
    } else {
      o.Add("null");
    }
    o.Add("}");
  }
  o.Add("]}");
  return o.used;
}

}  // namespace plotweave
