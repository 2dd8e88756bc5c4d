#include "plan/reader.h"

#include <cstdio>
#include <cstring>

#include "kscode/text_stream.h"
#include "plan/fields.h"

#ifndef PLOTWEAVE_LAB_HOST
#define PLOTWEAVE_LAB_HOST "http://localhost:8000"
#endif

namespace plotweave {

const char kPlaceholderImage[] = PLOTWEAVE_LAB_HOST "/VR/style/noimage.png";

namespace {

enum Section { kNone = 0, kProject, kClass, kRelation, kNodes, kLinks, kUnknown };

// A read takes at most 999 bytes; a longer line arrives in pieces.
constexpr size_t kLineBuffer = 1024;
constexpr size_t kPieceLimit = 1000;
constexpr size_t kShortestLine = 5;
constexpr int kWorkAddressWidth = 256;
constexpr int kWorkImageWidth = 128;

struct LineContext {
  const char* line;
  long lineNumber;
};

// Stores one field and warns when it had to be cut.
void StoreField(const LineContext& ctx, char* dst, size_t width, const FieldSpan& field,
                const char* what) {
  if (CopyField(dst, width, field.start, field.length)) {
    std::printf("Warning: plan line %ld: %s is longer than %d bytes and has been cut.\n",
                ctx.lineNumber, what, static_cast<int>(width - 1));
  }
}

// Converts the next field as "%s" into dst. False when the line has no more.
bool ConvertText(const LineContext& ctx, const char** cursor, char* dst, size_t width,
                 const char* what) {
  FieldSpan field;
  if (!ScanField(cursor, &field)) return false;
  StoreField(ctx, dst, width, field, what);
  return true;
}

void ReadProjectLine(const LineContext& ctx, ProjectLine& entry) {
  const char* cursor = ctx.line;
  FieldSpan tag{ctx.line, 0};
  if (ScanField(&cursor, &tag)) StoreField(ctx, entry.tag, sizeof entry.tag, tag, "project tag");
  // The text starts after as many bytes as the tag has, counted from the start
  // of the line: a caption line begins with its tag in the first column.
  const char* p = ctx.line + tag.length;
  while (static_cast<unsigned char>(*p) >= 1 && static_cast<unsigned char>(*p) <= 32) ++p;
  FieldSpan text{p, std::strlen(p)};
  StoreField(ctx, entry.text, sizeof entry.text, text, "project text");
}

void ReadClassLine(const LineContext& ctx, NodeClass& entry) {
  const char* cursor = ctx.line;
  int16_t flag = 1;
  int64_t value;
  if (ConvertText(ctx, &cursor, entry.name, sizeof entry.name, "class name") &&
      ConvertText(ctx, &cursor, entry.borderColor, sizeof entry.borderColor, "class border colour") &&
      ConvertText(ctx, &cursor, entry.style, sizeof entry.style, "class style") &&
      ScanInteger(&cursor, &value)) {
    flag = static_cast<int16_t>(value);
  }
  entry.labelFlag = flag;
}

void ReadRelationLine(const LineContext& ctx, RelationType& entry) {
  const char* cursor = ctx.line;
  int16_t flag = 0;
  int64_t value;
  if (ConvertText(ctx, &cursor, entry.name, sizeof entry.name, "relation name") &&
      ConvertText(ctx, &cursor, entry.color, sizeof entry.color, "relation colour") &&
      ConvertText(ctx, &cursor, entry.style, sizeof entry.style, "relation style") &&
      ScanInteger(&cursor, &value)) {
    flag = static_cast<int16_t>(value);
  }
  entry.labelFlag = flag;
}

// Appends text to a zero-terminated buffer of `width` bytes, never past its end.
void Append(char* dst, size_t width, size_t* used, const char* text) {
  size_t n = std::strlen(text);
  if (n > width - 1 - *used) n = width - 1 - *used;
  std::memcpy(dst + *used, text, n);
  *used += n;
  dst[*used] = '\0';
}

// The title anchor: <a href="ADDRESS" target="TARGET">INNER</a>, where INNER is
// the label or, for a picture, <img src="IMAGE"/>.
void SetAnchor(NodeEntry& entry, const char* linkTarget, const char* address, const char* inner,
               bool image) {
  char* t = entry.title;
  const size_t w = sizeof entry.title;
  size_t used = 0;
  Append(t, w, &used, "<a href=\"");
  Append(t, w, &used, address);
  Append(t, w, &used, "\" target=\"");
  Append(t, w, &used, linkTarget);
  Append(t, w, &used, image ? "\"><img src=\"" : "\">");
  Append(t, w, &used, inner);
  Append(t, w, &used, image ? "\"/></a>" : "</a>");
}

void ReadNodeLine(const LineContext& ctx, NodeEntry& entry, const char* linkTarget) {
  char address[kWorkAddressWidth] = "";
  char image[kWorkImageWidth] = "";
  int32_t number = 0;
  int n = 0;
  const char* cursor = ctx.line;
  entry.imageNode = 0;
  if (ConvertText(ctx, &cursor, entry.id, sizeof entry.id, "node id")) {
    n = 1;
    char* targets[] = {entry.className, entry.label, address, image};
    const size_t widths[] = {sizeof entry.className, sizeof entry.label, sizeof address, sizeof image};
    const char* names[] = {"node class name", "node label", "reference address", "image address"};
    for (int i = 0; i < 4 && ConvertText(ctx, &cursor, targets[i], widths[i], names[i]); ++i) ++n;
    int64_t value;
    if (n == 5 && ScanInteger(&cursor, &value)) {
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
  if (n >= 5) {
    std::memcpy(entry.image, image, sizeof image);
  } else {
    CopyField(entry.image, sizeof entry.image, kPlaceholderImage, sizeof kPlaceholderImage - 1);
  }
}

void ReadLinkLine(const LineContext& ctx, LinkEntry& entry) {
  const char* cursor = ctx.line;
  if (ConvertText(ctx, &cursor, entry.fromId, sizeof entry.fromId, "link node 1 ID") &&
      ConvertText(ctx, &cursor, entry.toId, sizeof entry.toId, "link node 2 ID")) {
    ConvertText(ctx, &cursor, entry.relation, sizeof entry.relation, "link relation name");
  }
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

}  // namespace

int HeaderSection(const char* field, size_t length) {
  // Only the first five bytes decide, upper-cased; a shorter field compares
  // its end as a zero byte and so matches nothing.
  static const char* const kHeaders[] = {"#PROJECT", "#CLASS", "#RELATION", "#NODES", "#LINKS"};
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

bool ReadPlan(FILE* stream, OntologyModel& model, const char* linkTarget) {
  static_assert(kPieceLimit <= kLineBuffer);
  char line[kLineBuffer];
  TextReader reader(stream);
  int section = kNone;
  int next = 0;
  long lineNumber = 1;
  size_t got;
  while ((got = reader.ReadLine(line, kPieceLimit)) > 0) {
    const LineContext ctx{line, lineNumber};
    if (line[got - 1] == '\n') ++lineNumber;
    if (std::strlen(line) < kShortestLine) continue;

    const char* cursor = line;
    FieldSpan first;
    const bool hasField = ScanField(&cursor, &first);
    if (hasField && first.start[0] == '#') {
      if (int32_t* count = CountOf(model, section)) *count = next;
      section = HeaderSection(first.start, first.length);
      next = 0;
      continue;
    }
    int32_t* count = CountOf(model, section);
    if (count == nullptr || next >= CapacityOf(section)) continue;
    switch (section) {
      case kProject: ReadProjectLine(ctx, model.projects[next]); break;
      case kClass: ReadClassLine(ctx, model.classes[next]); break;
      case kRelation: ReadRelationLine(ctx, model.relations[next]); break;
      case kNodes: ReadNodeLine(ctx, model.nodes[next], linkTarget); break;
      case kLinks: ReadLinkLine(ctx, model.links[next]); break;
    }
    ++next;
    *count = next;
  }
  return !reader.Failed();
}

}  // namespace plotweave
