#include "bundle/standalone.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bundle/inline_copy.h"
#include "bundle/seen_addresses.h"
#include "page/page_contract.h"

namespace plotweave {

namespace {

// The full address of the placeholder image of a page with this lab host.
class PlaceholderAddress {
 public:
  explicit PlaceholderAddress(const char* labHost) {
    const size_t n = std::strlen(labHost);
    std::memcpy(text_, labHost, n);
    std::memcpy(text_ + n, kPlaceholderPath, sizeof kPlaceholderPath);
    size_ = n + sizeof kPlaceholderPath - 1;
  }
  Span span() const { return Span{text_, size_}; }

 private:
  char text_[kHostCapacity + sizeof kPlaceholderPath];
  size_t size_;
};

// The addresses a node row's images are given by: those of its title's
// pictures, then its image value.
template <typename Fn>
bool ForEachRowImage(const NodeRowValues& values, Fn fn) {
  Span address;
  for (size_t from = 0; NextTitleImage(values.title, from, &address);
       from = static_cast<size_t>(address.data + address.size - values.title.data)) {
    if (!fn(address)) return false;
  }
  return fn(values.image);
}

// How an element written for a script line stands: with the line's
// indentation and line end, and inside it the same line end (a LF when the
// page's last line has none).
struct ElementLines {
  explicit ElementLines(Span line) {
    const Span body = LineBody(line);
    Span host;
    MatchScriptLine(body, &host, &indent);
    eol = Span{body.data + body.size, line.size - body.size};
    innerEol = eol.size > 0 ? eol : Span{"\n", 1};
  }
  Span indent;
  Span eol;
  Span innerEol;
};

// What became of an image that more than one use shares.
enum class Shared : uint8_t { kUndecided, kInTable, kLeftAsItWas };

class CopyWriter {
 public:
  CopyWriter(const PageShape& shape, BundleFiles& files, ByteSink& out, ImageNoteSink& notes, BundleReport* report)
      : shape_(shape),
        files_(files),
        out_(out),
        notes_(notes),
        report_(report),
        placeholder_(shape.labHost),
        shared_(shape.images.count(), Shared::kUndecided),
        why_(shape.images.count(), ImageNote::kMissing) {}

  StreamStatus Copy(ByteSource& page) {
    PageLineReader reader(page);
    Span line;
    bool whole = false;
    for (long index = 0; reader.Next(&line, &whole); ++index) {
      StreamStatus status = StreamStatus::kDone;
      if (index == shape_.loaderLine) {
        status = InlineScript(line, kKitLoader, false);
      } else if (index == shape_.networkLine) {
        status = InlineScript(line, kKitNetwork, true);
        if (status == StreamStatus::kDone) status = ImageTable(line);
      } else {
        NodeRowValues values;
        if (whole && FindNodeRowValues(LineBody(line), &values)) {
          status = NodeRow(line, values);
        } else {
          Put(line);
        }
      }
      if (status == StreamStatus::kDone && out_.Failed()) status = StreamStatus::kWriteFailed;
      if (status != StreamStatus::kDone) return status;
    }
    if (reader.Failed()) return ReadFailed(BundleInput::kPage);
    return out_.Flush() ? StreamStatus::kDone : StreamStatus::kWriteFailed;
  }

 private:
  void Put(const char* text) { out_.Write(text); }
  void Put(Span s) { out_.Write(s.data, s.size); }

  StreamStatus ReadFailed(BundleInput input) {
    report_->failedInput = input;
    return StreamStatus::kReadFailed;
  }

  // Copies the file last opened with `copy`, closing it after; a read
  // failure is one of `input`.
  template <typename CopyFn>
  StreamStatus Take(ByteSource& file, BundleInput input, CopyFn copy) {
    const StreamStatus status = copy(file);
    files_.Close();
    return status == StreamStatus::kReadFailed ? ReadFailed(input) : status;
  }

  // The script line becomes an inline script element with the kit file in it,
  // keeping the line's indentation and line end. The network script works out
  // the placeholder image from its own address, which an inline script has
  // not; it is told it through an attribute.
  StreamStatus InlineScript(Span line, const char* kitName, bool withPlaceholder) {
    const ElementLines lines(line);
    Put(lines.indent);
    Put("<script type=\"text/javascript\"");
    if (withPlaceholder) {
      Put(" data-placeholder-image=\"");
      const StreamStatus placeholder = Placeholder();
      if (placeholder != StreamStatus::kDone) return placeholder;
      Put("\"");
    }
    Put(">");
    Put(lines.innerEol);
    ByteSource* script = files_.OpenKitFile(kitName);
    if (script == nullptr) return ReadFailed(BundleInput::kKitFile);
    bool endsWithLineEnd = false;
    const StreamStatus copied = Take(*script, BundleInput::kKitFile, [&](ByteSource& in) {
      return CopyInlineScript(in, out_, &endsWithLineEnd);
    });
    if (copied != StreamStatus::kDone) return copied;
    if (!endsWithLineEnd) Put(lines.innerEol);
    return EndScript(lines);
  }

  StreamStatus EndScript(const ElementLines& lines) {
    Put(lines.indent);
    Put("</script>");
    Put(lines.eol);
    return StreamStatus::kDone;
  }

  // Writes `text` as a JSON string. The addresses taken in hold no quote,
  // backslash, angle bracket or control byte; should one ever get here, it is
  // escaped all the same, "<" too, so that the element cannot be ended early.
  void JsonString(Span text) {
    Put("\"");
    for (size_t i = 0; i < text.size; ++i) {
      const unsigned char c = static_cast<unsigned char>(text.data[i]);
      if (c == '"' || c == '\\') {
        out_.Put('\\');
        out_.Put(c);
      } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
        Put(escaped);
      } else {
        out_.Put(c);
      }
    }
    Put("\"");
  }

  // After the network script: the table of the images that more than one
  // use shares, each taken in once, and the placeholder's address when rows
  // use it; nothing when there are none. `line` is the network script line,
  // whose indentation and line end the element takes.
  StreamStatus ImageTable(Span line) {
    bool shared = shape_.placeholderUses > 0;
    for (size_t i = 0; i < shape_.images.count() && !shared; ++i) shared = shape_.images.Uses(i) > 1;
    if (!shared) return StreamStatus::kDone;
    const ElementLines lines(line);
    const Span innerEol = lines.innerEol;
    Put(lines.indent);
    Put("<script type=\"application/json\" ");
    Put(kImageTableAttribute);
    Put(">");
    Put(innerEol);
    Put("{");
    if (shape_.placeholderUses > 0) {
      Put("\"placeholder\": ");
      JsonString(placeholder_.span());
      placeholderInTable_ = true;
      Put(",");
      Put(innerEol);
    }
    Put("\"images\": {");
    bool first = true;
    for (size_t i = 0; i < shape_.images.count(); ++i) {
      if (shape_.images.Uses(i) < 2) continue;
      const Span address = shape_.images.Text(i);
      ByteSource* image = nullptr;
      switch (files_.OpenImage(address, &image, &why_[i])) {
        case ImageOpen::kOpened:
          break;
        case ImageOpen::kUnreadable:
          return ReadFailed(BundleInput::kImage);
        case ImageOpen::kLeftAsItWas:
          // Reported where the rows first use it, as every other address is.
          shared_[i] = Shared::kLeftAsItWas;
          continue;
      }
      if (!first) Put(",");
      first = false;
      Put(innerEol);
      JsonString(address);
      Put(": \"");
      const StreamStatus status = DataUri(*image, BundleInput::kImage);
      if (status != StreamStatus::kDone) return status;
      Put("\"");
      shared_[i] = Shared::kInTable;
      if (out_.Failed()) return StreamStatus::kWriteFailed;
    }
    Put(innerEol);
    Put("}}");
    Put(innerEol);
    return EndScript(lines);
  }

  StreamStatus DataUri(ByteSource& image, BundleInput input) {
    const StreamStatus status = Take(image, input, [&](ByteSource& in) {
      return WriteDataUri(in, files_.Path(), out_);
    });
    if (status == StreamStatus::kDone) ++report_->inlinedImages;
    return status;
  }

  StreamStatus Placeholder() {
    ByteSource* image = files_.OpenKitFile(kKitPlaceholder);
    if (image == nullptr) return ReadFailed(BundleInput::kKitFile);
    return DataUri(*image, BundleInput::kKitFile);
  }

  void Note(ImageNote why, Span address) {
    if (seen_.First(address)) notes_.Note(why, address);
  }

  // Writes `address`, or the data: URI that stands for it.
  StreamStatus Image(Span address) {
    switch (ClassifyImageAddress(address, placeholder_.span())) {
      case ImageAddress::kPlaceholder:
        if (placeholderInTable_) break;
        return Placeholder();
      case ImageAddress::kNetwork:
        Note(ImageNote::kNetwork, address);
        break;
      case ImageAddress::kAbsolutePath:
        Note(ImageNote::kAbsolutePath, address);
        break;
      case ImageAddress::kOtherScheme:
        Note(ImageNote::kOtherScheme, address);
        break;
      case ImageAddress::kUnusual:
        Note(ImageNote::kUnusual, address);
        break;
      case ImageAddress::kRelative:
        return RelativeImage(address);
      case ImageAddress::kEmpty:
      case ImageAddress::kInline:
        break;
    }
    Put(address);
    return StreamStatus::kDone;
  }

  StreamStatus RelativeImage(Span address) {
    const size_t shared = shape_.images.Find(address);
    if (shared != SeenAddresses::kNotSeen && shared_[shared] != Shared::kUndecided) {
      if (shared_[shared] == Shared::kLeftAsItWas) Note(why_[shared], address);
      Put(address);
      return StreamStatus::kDone;
    }
    ByteSource* image = nullptr;
    ImageNote why = ImageNote::kMissing;
    switch (files_.OpenImage(address, &image, &why)) {
      case ImageOpen::kOpened:
        return DataUri(*image, BundleInput::kImage);
      case ImageOpen::kUnreadable:
        return ReadFailed(BundleInput::kImage);
      case ImageOpen::kLeftAsItWas:
        break;
    }
    Note(why, address);
    Put(address);
    return StreamStatus::kDone;
  }

  // A node row with the images of its title and its image value replaced.
  StreamStatus NodeRow(Span line, const NodeRowValues& values) {
    const char* cursor = line.data;
    StreamStatus status = StreamStatus::kDone;
    ForEachRowImage(values, [&](Span address) {
      out_.Write(cursor, static_cast<size_t>(address.data - cursor));
      cursor = address.data + address.size;
      status = Image(address);
      return status == StreamStatus::kDone;
    });
    if (status != StreamStatus::kDone) return status;
    out_.Write(cursor, static_cast<size_t>(line.data + line.size - cursor));
    return StreamStatus::kDone;
  }

  const PageShape& shape_;
  BundleFiles& files_;
  BufferedWriter out_;
  ImageNoteSink& notes_;
  BundleReport* report_;
  const PlaceholderAddress placeholder_;
  SeenAddresses seen_;
  // By the number of a shared image in shape_.images: what became of it, and
  // why it was left as it was.
  std::vector<Shared> shared_;
  std::vector<ImageNote> why_;
  bool placeholderInTable_ = false;
};

// Counts the images of the node rows after the network script line.
void CountRowImages(PageLineReader& reader, PageShape* shape) {
  const PlaceholderAddress placeholder(shape->labHost);
  Span line;
  bool whole = false;
  while (reader.Next(&line, &whole)) {
    NodeRowValues values;
    if (!whole || !FindNodeRowValues(LineBody(line), &values)) continue;
    ForEachRowImage(values, [&](Span address) {
      switch (ClassifyImageAddress(address, placeholder.span())) {
        case ImageAddress::kPlaceholder:
          ++shape->placeholderUses;
          break;
        case ImageAddress::kRelative:
          shape->images.Offer(address, true);
          break;
        default:
          break;
      }
      return true;
    });
  }
}

}  // namespace

PageCheck RecognisePage(ByteSource& page, PageShape* shape) {
  *shape = PageShape{};
  PageLineReader reader(page);
  Span line;
  bool whole = false;
  for (long index = 0; reader.Next(&line, &whole); ++index) {
    Span host;
    Span indent;
    if (!whole) continue;
    const ScriptLine kind = MatchScriptLine(LineBody(line), &host, &indent);
    if (kind == ScriptLine::kLoader && shape->loaderLine < 0) {
      shape->loaderLine = index;
    } else if (kind == ScriptLine::kNetwork && shape->loaderLine >= 0) {
      shape->networkLine = index;
      std::memcpy(shape->labHost, host.data, host.size);
      shape->labHost[host.size] = '\0';
      CountRowImages(reader, shape);
      return reader.Failed() ? PageCheck::kReadFailed : PageCheck::kPage;
    }
  }
  if (reader.Failed()) return PageCheck::kReadFailed;
  return shape->loaderLine < 0 ? PageCheck::kNoLoader : PageCheck::kNoNetwork;
}

StreamStatus WriteStandalone(ByteSource& page, const PageShape& shape, BundleFiles& files, ByteSink& out,
                             ImageNoteSink& notes, BundleReport* report) {
  CopyWriter writer(shape, files, out, notes, report);
  return writer.Copy(page);
}

}  // namespace plotweave
