#include "check/report.h"

#include "check/utf8.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace plotweave {

namespace {

// Length of the well-formed UTF-8 character at p, or 0; the text ends in a
// zero byte, which no character reads past.
size_t Utf8Length(const unsigned char* p) {
  unsigned long cp;
  size_t n = 1;
  while (n < 4 && p[n - 1] != 0 && p[n] != 0) ++n;
  return DecodeUtf8(p, n, &cp);
}

const char* ColourOf(FindingSeverity severity) {
  switch (severity) {
    case FindingSeverity::kError: return "\033[1;31m";
    case FindingSeverity::kWarning: return "\033[1;35m";
    case FindingSeverity::kNote: return "\033[1;36m";
  }
  return "";
}

}  // namespace

void LineOut::JsonString(const char* text, size_t limit) {
  const size_t end = used + limit - 1;  // where the closing quote goes at the latest
  Bytes("\"", 1);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != '\0') {
    const unsigned char b = *p;
    char piece[8];
    size_t n;
    if (b == '"' || b == '\\') {
      piece[0] = '\\';
      piece[1] = static_cast<char>(b);
      n = 2;
    } else if (b < 0x20) {
      n = static_cast<size_t>(std::snprintf(piece, sizeof piece, "\\u%04x", b));
    } else if ((n = Utf8Length(p)) == 0) {
      n = static_cast<size_t>(std::snprintf(piece, sizeof piece, "\\ufffd"));
    } else {
      std::memcpy(piece, p, n);
      p += n - 1;
    }
    // A character goes in whole or not at all.
    if (used + n > end || used + n + 1 >= width) break;
    Bytes(piece, n);
    ++p;
  }
  Bytes("\"", 1);
}

bool ColourOnTerminal() {
#ifdef _WIN32
  return false;
#else
  return isatty(fileno(stdout)) == 1 && std::getenv("NO_COLOR") == nullptr;
#endif
}

size_t FormatFindingLine(const char* where, long lineNumber, long column, FindingSeverity severity,
                         const char* message, const char* name, bool colour, char* out, size_t width) {
  LineOut line{out, width};
  if (colour) line.Text("\033[1m");
  line.Text(where);
  line.Text(":");
  line.Number(lineNumber);
  line.Text(":");
  line.Number(column);
  line.Text(":");
  if (colour) line.Text("\033[0m");
  line.Text(" ");
  if (colour) line.Text(ColourOf(severity));
  line.Text(SeverityName(severity));
  line.Text(":");
  if (colour) line.Text("\033[0m");
  line.Text(" ");
  line.Text(message);
  line.Text(" [");
  line.Text(name);
  line.Text("]\n");
  return line.used;
}

size_t FormatTextFinding(const char* plan, const Finding& finding, bool colour, char* out,
                         size_t width) {
  const FindingKind& kind = KindOf(finding.code);
  return FormatFindingLine(plan, finding.line, finding.column, kind.severity, finding.message, kind.name, colour,
                           out, width);
}

size_t FormatJsonFinding(const char* plan, const Finding& finding, char* out, size_t width) {
  LineOut line{out, width};
  line.Text("{\"plan\":");
  line.JsonString(plan, 2048);
  line.Text(",\"line\":");
  line.Number(finding.line);
  line.Text(",\"column\":");
  line.Number(finding.column);
  line.Text(",\"severity\":\"");
  line.Text(SeverityName(KindOf(finding.code).severity));
  line.Text("\",\"code\":\"");
  line.Text(KindOf(finding.code).name);
  line.Text("\",\"message\":");
  line.JsonString(finding.message, 3200);
  line.Text("}\n");
  return line.used;
}

size_t FormatJsonSummary(const char* plan, const PlanSummary& summary, char* out, size_t width) {
  LineOut line{out, width};
  line.Text("{\"plan\":");
  line.JsonString(plan, 2048);
  const struct {
    const char* name;
    long value;
  } fields[] = {{"nodes", summary.nodes},         {"links", summary.links},
                {"classes", summary.classes},     {"relations", summary.relations},
                {"errors", summary.counts.errors}, {"warnings", summary.counts.warnings},
                {"notes", summary.counts.notes}};
  const char* separator = ",\"summary\":{\"";
  for (const auto& f : fields) {
    line.Text(separator);
    line.Text(f.name);
    line.Text("\":");
    line.Number(f.value);
    separator = ",\"";
  }
  line.Text("}}\n");
  return line.used;
}

}  // namespace plotweave
