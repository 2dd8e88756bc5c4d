#include "plan/reader.h"

#include <bit>
#include <cstring>

#include "kscode/byte_mask.h"
#include "page/page_contract.h"
#include "plan/fields.h"

namespace plotweave {

namespace {

enum Section { kNone = 0, kProject, kClass, kRelation, kNodes, kLinks, kUnknown };

// A read takes at most 999 bytes; a longer line arrives in pieces.
constexpr size_t kLineBuffer = 1024;
constexpr size_t kPieceLimit = 1000;
constexpr size_t kShortestLine = 5;
constexpr size_t kHeaderFieldWidth = 256;  // a header's first field, as reported

// Whether the zero-terminated text is shorter than `length` bytes; reads no
// more of it than that, where a whole length would scan every line again.
bool ShorterThan(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\0') return true;
  }
  return false;
}

// One piece of a plan line and where it stands.
struct LineContext {
  const char* line;
  const char* end;  // the zero byte after the piece
  int64_t lineNumber;
  // Bytes of the same physical line read in earlier pieces.
  int64_t pieceOffset;
  DiagnosticSink* diagnostics;
  // Whether the sink shows the format's traps; finding them costs a scan of
  // some lines, which a sink that drops them should not pay for.
  bool traps;

  // Byte column, from 1, of a place in this piece.
  int64_t ColumnOf(const char* p) const { return pieceOffset + (p - line) + 1; }
};

// Stores one field and warns when it had to be cut.
void StoreField(const LineContext& ctx, char* dst, size_t width, const FieldSpan& field, PlanField what) {
  if (CopyField(dst, width, field.start, field.length)) {
    Diagnostic d{};
    d.severity = Severity::kWarning;
    d.code = DiagnosticCode::kFieldCut;
    d.line = ctx.lineNumber;
    d.column = ctx.ColumnOf(field.start);
    d.subject = dst;
    d.field = static_cast<int32_t>(what);
    d.limit = static_cast<int32_t>(width - 1);
    ctx.diagnostics->Report(d);
  }
}

// Converts the next field as "%s" into dst. False when the line has no more.
// `column` (when given) receives the field's byte column.
bool ConvertText(const LineContext& ctx, const char** cursor, char* dst, size_t width, PlanField what,
                 int64_t* column = nullptr) {
  FieldSpan field;
  if (!ScanFieldBefore(cursor, ctx.end, &field)) return false;
  if (column != nullptr) *column = ctx.ColumnOf(field.start);
  StoreField(ctx, dst, width, field, what);
  return true;
}

// Each line reader returns where its conversion stopped: what follows there
// is ignored. A caption line's text runs to its end.

const char* ReadProjectLine(const LineContext& ctx, ProjectLine& entry) {
  const char* cursor = ctx.line;
  FieldSpan tag{ctx.line, 0};
  if (ScanFieldBefore(&cursor, ctx.end, &tag)) StoreField(ctx, entry.tag, sizeof entry.tag, tag, PlanField::kProjectTag);
  // The text starts after as many bytes as the tag has, counted from the start
  // of the line: a caption line begins with its tag in the first column.
  const char* p = ctx.line + tag.length;
  while (static_cast<unsigned char>(*p) >= 1 && static_cast<unsigned char>(*p) <= 32) ++p;
  FieldSpan text{p, std::strlen(p)};
  StoreField(ctx, entry.text, sizeof entry.text, text, PlanField::kProjectText);
  return p + text.length;
}

const char* ReadClassLine(const LineContext& ctx, NodeClass& entry) {
  const char* cursor = ctx.line;
  int16_t flag = 1;
  int64_t value;
  entry.line = ctx.lineNumber;
  if (ConvertText(ctx, &cursor, entry.name, sizeof entry.name, PlanField::kClassName) &&
      ConvertText(ctx, &cursor, entry.borderColor, sizeof entry.borderColor, PlanField::kClassBorderColour) &&
      ConvertText(ctx, &cursor, entry.style, sizeof entry.style, PlanField::kClassStyle) &&
      ScanLong(&cursor, &value)) {
    flag = static_cast<int16_t>(value);
  }
  entry.labelFlag = flag;
  return cursor;
}

const char* ReadRelationLine(const LineContext& ctx, RelationType& entry) {
  const char* cursor = ctx.line;
  int16_t flag = 0;
  int64_t value;
  entry.line = ctx.lineNumber;
  if (ConvertText(ctx, &cursor, entry.name, sizeof entry.name, PlanField::kRelationName) &&
      ConvertText(ctx, &cursor, entry.color, sizeof entry.color, PlanField::kRelationColour) &&
      ConvertText(ctx, &cursor, entry.style, sizeof entry.style, PlanField::kRelationStyle) &&
      ScanLong(&cursor, &value)) {
    flag = static_cast<int16_t>(value);
  }
  entry.labelFlag = flag;
  return cursor;
}

// Appends text to a zero-terminated buffer of `width` bytes, never past its end.
void Append(char* dst, size_t width, size_t* used, const char* text) {
  size_t n = std::strlen(text);
  if (n > width - 1 - *used) n = width - 1 - *used;
  std::memcpy(dst + *used, text, n);
  *used += n;
  dst[*used] = '\0';
}

// The title anchor the page shows for a node: a link to its address around
// its label or, for a picture, around the picture.
void SetAnchor(NodeEntry& entry, const char* linkTarget, const char* address, const char* inner,
               bool image) {
  char* t = entry.title;
  const size_t w = sizeof entry.title;
  size_t used = 0;
  Append(t, w, &used, kAnchorOpen);
  Append(t, w, &used, address);
  Append(t, w, &used, kAnchorTarget);
  Append(t, w, &used, linkTarget);
  Append(t, w, &used, image ? kAnchorImageOpen : kAnchorTextOpen);
  Append(t, w, &used, inner);
  Append(t, w, &used, image ? kAnchorImageClose : kAnchorTextClose);
}

const char* ReadNodeLine(const LineContext& ctx, NodeEntry& entry, const char* linkTarget) {
  char address[kAddressWidth] = "";
  char image[kImageWidth] = "";
  int32_t number = 0;
  int n = 0;
  const char* cursor = ctx.line;
  entry.imageNode = 0;
  entry.line = ctx.lineNumber;
  entry.classColumn = 0;
  if (ConvertText(ctx, &cursor, entry.id, sizeof entry.id, PlanField::kNodeId)) {
    n = 1;
    char* targets[] = {entry.className, entry.label, address, image};
    const size_t widths[] = {sizeof entry.className, sizeof entry.label, sizeof address, sizeof image};
    const PlanField names[] = {PlanField::kNodeClassName, PlanField::kNodeLabel, PlanField::kReferenceAddress,
                               PlanField::kImageAddress};
    int64_t* columns[] = {&entry.classColumn, nullptr, nullptr, nullptr};
    for (int i = 0; i < 4 && ConvertText(ctx, &cursor, targets[i], widths[i], names[i], columns[i]); ++i) ++n;
    int64_t value;
    if (n == 5 && ScanLong(&cursor, &value)) {
      number = static_cast<int32_t>(value);
      n = 6;
    }
  }

  switch (n) {
    case 1:
      std::strcpy(entry.className, "dummy");
      std::strcpy(entry.label, "unnamed");
      break;
    case 2:
      std::strcpy(entry.label, "unnamed");
      break;
    case 3:
      std::memcpy(entry.title, entry.label, sizeof entry.label);
      break;
    case 4:
      SetAnchor(entry, linkTarget, address, entry.label, false);
      break;
    case 5:
      SetAnchor(entry, linkTarget, address, image, true);
      break;
    case 6:
      if (number == 0) {
        SetAnchor(entry, linkTarget, address, image, true);
      } else if (number == 1) {
        SetAnchor(entry, linkTarget, address, entry.label, false);
        entry.imageNode = 1;
      }
      break;
    default:
      break;
  }
  if (n >= 4) {
    std::memcpy(entry.url, address, sizeof address);
  } else {
    entry.url[0] = '\0';
  }
  // Without an image the page shows its placeholder; the field stays empty.
  std::memcpy(entry.image, image, sizeof image);
  return cursor;
}

const char* ReadLinkLine(const LineContext& ctx, LinkEntry& entry) {
  const char* cursor = ctx.line;
  entry.line = ctx.lineNumber;
  entry.fromColumn = entry.toColumn = entry.relationColumn = 0;
  if (ConvertText(ctx, &cursor, entry.fromId, sizeof entry.fromId, PlanField::kLinkFromId, &entry.fromColumn) &&
      ConvertText(ctx, &cursor, entry.toId, sizeof entry.toId, PlanField::kLinkToId, &entry.toColumn)) {
    ConvertText(ctx, &cursor, entry.relation, sizeof entry.relation, PlanField::kLinkRelationName,
                &entry.relationColumn);
  }
  return cursor;
}

int32_t* CountOf(OntologyModel& model, int section) {
  switch (section) {
    case kProject: return &model.projectCount;
    case kClass: return &model.classCount;
    case kRelation: return &model.relationCount;
    case kNodes: return &model.nodeCount;
    case kLinks: return &model.linkCount;
    default: return nullptr;
  }
}

int CapacityOf(int section) {
  switch (section) {
    case kProject: return kProjectCapacity;
    case kClass: return kClassCapacity;
    case kRelation: return kRelationCapacity;
    case kNodes: return kNodeCapacity;
    case kLinks: return kLinkCapacity;
    default: return 0;
  }
}

// Reports a trap of the plan format that loses or changes content without a
// word; the main program shows none of them, the checker all.
void Trap(const LineContext& ctx, DiagnosticCode code, const char* at, int32_t field = 0, int32_t limit = 0,
          const char* subject = nullptr) {
  if (!ctx.traps) return;
  Diagnostic d{};
  d.severity = Severity::kWarning;
  d.code = code;
  d.line = ctx.lineNumber;
  d.column = ctx.ColumnOf(at);
  d.subject = subject != nullptr ? subject : "";
  d.field = field;
  d.limit = limit;
  ctx.diagnostics->Report(d);
}

// Whether the byte before a piece's line feed is a KS lead byte without its
// trail, pairing bytes from the start of the piece.
bool LeadByteBeforeLineFeed(const char* piece, size_t length) {
  if (length < 2 || static_cast<unsigned char>(piece[length - 2]) < 0x80) return false;
  size_t i = 0;
  while (i < length - 2) i += static_cast<unsigned char>(piece[i]) >= 0x80 ? 2 : 1;
  return i == length - 2;
}

// Fields after `rest`, which the line's section does not read.
void ReportExtraFields(const LineContext& ctx, int section, const char* rest) {
  FieldSpan field;
  if (!ctx.traps || !ScanFieldBefore(&rest, ctx.end, &field)) return;
  const char* first = field.start;
  int32_t count = 1;
  while (ScanFieldBefore(&rest, ctx.end, &field)) ++count;
  Trap(ctx, DiagnosticCode::kExtraFields, first, section, count);
}

// Whether a line (ending in its line feed) could open a section: its first
// field starts with '#'. A line that cannot is dropped whole wherever lines
// are not stored.
bool MayOpenSection(const unsigned char* line) {
  while (*line != '\n' && IsBlank(*line)) ++line;
  return *line == '#';
}

// A line short enough to be read as one piece: its line feed stands among its
// first kPieceLimit - 1 bytes.
constexpr size_t kLongestWholeLine = kPieceLimit - 1;

// Moves past the lines that the loop below would read only to drop them, in
// a section that stores nothing more and for a caller that wants no word
// about them: whole lines short enough to be one piece, until the first one
// that could open a section. Nothing is copied out of the reader, and the line
// feeds are found 64 bytes at a time, so a long run of lines past a section's
// capacity costs little more than reading it. Returns the number of lines
// passed.
int64_t SkipDroppedLines(BufferedReader& reader) {
  int64_t lines = 0;
  for (;;) {
    const size_t ahead = reader.Peek(kPieceLimit);
    size_t ignored;
    const unsigned char* span = reader.Span(&ignored);
    size_t at = 0;          // start of the first line not passed
    bool handOver = false;  // that line is one for the line loop
    for (size_t block = 0; !handOver && block + 64 <= ahead; block += 64) {
      for (uint64_t feeds = ByteMask64(span + block, '\n'); feeds != 0; feeds &= feeds - 1) {
        const size_t end = block + static_cast<size_t>(std::countr_zero(feeds)) + 1;
        handOver = end - at > kLongestWholeLine || MayOpenSection(span + at);
        if (handOver) break;
        at = end;
        ++lines;
      }
      handOver = handOver || block + 64 - at > kLongestWholeLine;
    }
    // The last bytes, fewer than a block, a line at a time.
    while (!handOver) {
      const size_t left = ahead - at;
      const void* lf = std::memchr(span + at, '\n', left < kLongestWholeLine ? left : kLongestWholeLine);
      if (lf == nullptr) {
        // Too long for one piece, or cut off by the end of the buffer (then
        // read on) or of the plan.
        handOver = left >= kLongestWholeLine;
        break;
      }
      handOver = MayOpenSection(span + at);
      if (handOver) break;
      at = static_cast<size_t>(static_cast<const unsigned char*>(lf) - span) + 1;
      ++lines;
    }
    reader.Skip(at);
    if (handOver || at == 0) return lines;
  }
}

const char* const kHeaders[] = {"#PROJECT", "#CLASS", "#RELATION", "#NODES", "#LINKS"};

}  // namespace

const char* SectionHeader(int section) { return section >= 1 && section <= 5 ? kHeaders[section - 1] : ""; }

// Section of a header line's first field: 1 PROJECT .. 5 LINKS, 6 unknown.
int HeaderSection(const char* field, size_t length) {
  // Only the first five bytes decide, upper-cased; a shorter field compares
  // its end as a zero byte and so matches nothing.
  char head[6] = {0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < 5 && i < length; ++i) {
    const char c = field[i];
    head[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  for (int s = 0; s < 5; ++s) {
    if (std::strncmp(head, kHeaders[s], 5) == 0) return s + 1;
  }
  return kUnknown;
}

const char* PlanFieldName(PlanField field) {
  static const char* const kNames[] = {
      "project tag",     "project text",      "class name",     "class border colour",
      "class style",     "relation name",     "relation colour", "relation style",
      "node id",         "node class name",   "node label",      "reference address",
      "image address",   "link node 1 ID",    "link node 2 ID",  "link relation name",
  };
  static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(PlanField::kLinkRelationName) + 1);
  return kNames[static_cast<int>(field)];
}

StreamStatus ReadPlan(ByteSource& plan, OntologyModel& model, const char* linkTarget, DiagnosticSink& diagnostics,
                    PlanLineWatcher* watcher) {
  static_assert(kPieceLimit <= kLineBuffer);
  char line[kLineBuffer];
  char header[kHeaderFieldWidth];
  BufferedReader reader(plan);
  int section = kNone;
  int next = 0;
  unsigned seen = 0;  // sections whose header has been read, a bit each
  int64_t lineNumber = 1;
  int64_t pieceOffset = 0;
  const bool traps = diagnostics.WantsTraps();
  // Lines a section cannot store go unseen unless someone listens for them.
  const bool quiet = !traps && watcher == nullptr;
  size_t got;
  for (;;) {
    if (quiet && (CountOf(model, section) == nullptr || next >= CapacityOf(section))) {
      const int64_t skipped = SkipDroppedLines(reader);
      if (skipped > 0) {
        lineNumber += skipped;
        pieceOffset = 0;
      }
    }
    if ((got = reader.ReadLine(line, kPieceLimit)) == 0) break;
    const LineContext ctx{line, line + got, lineNumber, pieceOffset, &diagnostics, traps};
    if (watcher != nullptr) watcher->PieceRead(line, got, lineNumber, pieceOffset);
    if (pieceOffset > 0) Trap(ctx, DiagnosticCode::kLinePiece, line);
    if (line[got - 1] == '\n') {
      ++lineNumber;
      pieceOffset = 0;
      if (traps && LeadByteBeforeLineFeed(line, got)) Trap(ctx, DiagnosticCode::kLeadByteAtLineEnd, line + got - 2);
    } else {
      pieceOffset += static_cast<int64_t>(got);
    }

    const char* cursor = line;
    FieldSpan first;
    const bool hasField = ScanFieldBefore(&cursor, line + got, &first);
    if (ShorterThan(line, kShortestLine)) {
      if (hasField) Trap(ctx, DiagnosticCode::kShortLine, first.start);
      continue;
    }
    if (hasField && first.start[0] == '#') {
      if (int32_t* count = CountOf(model, section)) *count = next;
      const int before = section;
      section = HeaderSection(first.start, first.length);
      next = 0;
      if (watcher != nullptr) watcher->HeaderRead(section);
      if (section == kUnknown) {
        CopyField(header, sizeof header, first.start, first.length);
        Trap(ctx, DiagnosticCode::kUnknownHeader, first.start, before, 0, header);
      } else if ((seen & (1u << section)) != 0) {
        Trap(ctx, DiagnosticCode::kSectionRepeated, first.start, section);
      }
      seen |= 1u << section;
      continue;
    }
    int32_t* count = CountOf(model, section);
    if (count == nullptr) {
      if (hasField) Trap(ctx, DiagnosticCode::kIgnoredLine, first.start, section);
      continue;
    }
    if (next >= CapacityOf(section)) {
      Trap(ctx, DiagnosticCode::kPastCapacity, hasField ? first.start : line, section);
      continue;
    }
    if (!hasField) Trap(ctx, DiagnosticCode::kBlankEntry, line, section);
    const char* rest = nullptr;
    switch (section) {
      case kProject: rest = ReadProjectLine(ctx, model.projects[next]); break;
      case kClass: rest = ReadClassLine(ctx, model.classes[next]); break;
      case kRelation: rest = ReadRelationLine(ctx, model.relations[next]); break;
      case kNodes: rest = ReadNodeLine(ctx, model.nodes[next], linkTarget); break;
      case kLinks: rest = ReadLinkLine(ctx, model.links[next]); break;
    }
    ReportExtraFields(ctx, section, rest);
    if (watcher != nullptr) watcher->EntryStored(section, next);
    ++next;
    *count = next;
  }
  return reader.Failed() ? StreamStatus::kReadFailed : StreamStatus::kDone;
}

}  // namespace plotweave
