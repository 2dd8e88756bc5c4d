#include "export/export_model.h"

#include <cstring>

#include "io/stream.h"
#include "kscode/page_encoder.h"
#include "plan/name_index.h"

namespace plotweave {

namespace {

// Keeps what the encoder writes, up to its capacity.
class BoundedSink final : public ByteSink {
 public:
  void Reset(char* buffer, size_t capacity) {
    buf_ = buffer;
    capacity_ = capacity;
    used_ = 0;
  }
  bool Write(const void* data, size_t count) override {
    const size_t n = capacity_ - used_ < count ? capacity_ - used_ : count;
    std::memcpy(buf_ + used_, data, n);
    used_ += n;
    return n == count;
  }
  size_t used() const { return used_; }

 private:
  char* buf_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

BoundedSink gSink;
BufferedWriter gWriter(gSink);
NameIndexes gNames;

// Drops the backslash of \' \" and \\ in place, as a script string reads
// them; every other backslash stays. UTF-8 puts no ASCII byte inside a
// character, so the bytes can be taken one by one.
size_t Unescape(char* text, size_t n) {
  size_t to = 0;
  for (size_t from = 0; from < n; ++from) {
    if (text[from] == '\\' && from + 1 < n &&
        (text[from + 1] == '\'' || text[from + 1] == '"' || text[from + 1] == '\\')) {
      ++from;
    }
    text[to++] = text[from];
  }
  return to;
}

void Kind(ExportKind& out, const char* name, const char* colour, const char* style, int flag) {
  ToUtf8(name, PageText::kAsWritten, out.name, sizeof out.name);
  ToUtf8(colour, PageText::kAsWritten, out.colour, sizeof out.colour);
  ToUtf8(style, PageText::kAsWritten, out.style, sizeof out.style);
  out.labelFlag = flag;
}

}  // namespace

void ToUtf8(const char* ks, PageText where, char* out, int width) {
  // The writer's buffer is large enough for any field, so the one flush at
  // the end hands the whole text over.
  gSink.Reset(out, static_cast<size_t>(width) - 1);
  EncodeChunk(ks, gWriter);
  gWriter.Flush();
  size_t n = gSink.used();
  if (n == static_cast<size_t>(width) - 1) {
    while (n > 0 && (static_cast<unsigned char>(out[n]) & 0xC0) == 0x80) --n;
  }
  if (where == PageText::kCaption) {
    while (n > 0 && (out[n - 1] == '\n' || out[n - 1] == '\r')) --n;
  } else if (where == PageText::kScriptString) {
    n = Unescape(out, n);
  }
  out[n] = '\0';
}

void BuildExportModel(const OntologyModel& model, ExportModel* out) {
  BuildNameIndexes(model, &gNames);
  out->captionCount = model.projectCount;
  for (int i = 0; i < model.projectCount; ++i) {
    ToUtf8(model.projects[i].tag, PageText::kAsWritten, out->captions[i].tag, sizeof out->captions[i].tag);
    ToUtf8(model.projects[i].text, PageText::kCaption, out->captions[i].text, sizeof out->captions[i].text);
  }
  out->classCount = model.classCount;
  for (int i = 0; i < model.classCount; ++i) {
    const NodeClass& c = model.classes[i];
    Kind(out->classes[i], c.name, c.borderColor, c.style, c.labelFlag);
  }
  out->relationCount = model.relationCount;
  for (int i = 0; i < model.relationCount; ++i) {
    const RelationType& r = model.relations[i];
    Kind(out->relations[i], r.name, r.color, r.style, r.labelFlag);
  }
  out->nodeCount = model.nodeCount;
  for (int i = 0; i < model.nodeCount; ++i) {
    const NodeEntry& n = model.nodes[i];
    ExportNode& e = out->nodes[i];
    ToUtf8(n.id, PageText::kAsWritten, e.id, sizeof e.id);
    ToUtf8(n.className, PageText::kAsWritten, e.className, sizeof e.className);
    ToUtf8(n.label, PageText::kScriptString, e.label, sizeof e.label);
    ToUtf8(n.url, PageText::kAsWritten, e.address, sizeof e.address);
    ToUtf8(n.image, PageText::kAsWritten, e.image, sizeof e.image);
    e.picture = n.imageNode == 1 ? 1 : 0;
    e.classIndex = n.classIndex;
    e.first = FindNode(gNames, model, n.id) == i;
    e.line = n.line;
  }
  out->linkCount = model.linkCount;
  for (int i = 0; i < model.linkCount; ++i) {
    const LinkEntry& l = model.links[i];
    ExportLink& e = out->links[i];
    ToUtf8(l.fromId, PageText::kAsWritten, e.source, sizeof e.source);
    ToUtf8(l.toId, PageText::kAsWritten, e.target, sizeof e.target);
    ToUtf8(l.relation, PageText::kScriptString, e.text, sizeof e.text);
    e.from = FindNode(gNames, model, l.fromId);
    e.to = FindNode(gNames, model, l.toId);
    e.relation = l.relationIndex;
  }
}

}  // namespace plotweave
