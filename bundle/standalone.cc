#include "bundle/standalone.h"

#include <cstring>

#include "bundle/inline_copy.h"
#include "bundle/seen_addresses.h"
#include "page/page_contract.h"

namespace plotweave {

namespace {

class CopyWriter {
 public:
  CopyWriter(const PageShape& shape, BundleFiles& files, ByteSink& out, ImageNoteSink& notes, BundleReport* report)
      : shape_(shape), files_(files), out_(out), notes_(notes), report_(report) {
    const size_t n = std::strlen(shape.labHost);
    std::memcpy(placeholder_, shape.labHost, n);
    std::memcpy(placeholder_ + n, kPlaceholderPath, sizeof kPlaceholderPath);
  }

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
    const Span body = LineBody(line);
    Span host;
    Span indent;
    MatchScriptLine(body, &host, &indent);
    const Span eol{body.data + body.size, line.size - body.size};
    const Span innerEol = eol.size > 0 ? eol : Span{"\n", 1};

    Put(indent);
    Put("<script type=\"text/javascript\"");
    if (withPlaceholder) {
      Put(" data-placeholder-image=\"");
      const StreamStatus placeholder = Placeholder();
      if (placeholder != StreamStatus::kDone) return placeholder;
      Put("\"");
    }
    Put(">");
    Put(innerEol);
    ByteSource* script = files_.OpenKitFile(kitName);
    if (script == nullptr) return ReadFailed(BundleInput::kKitFile);
    bool endsWithLineEnd = false;
    const StreamStatus copied = Take(*script, BundleInput::kKitFile, [&](ByteSource& in) {
      return CopyInlineScript(in, out_, &endsWithLineEnd);
    });
    if (copied != StreamStatus::kDone) return copied;
    if (!endsWithLineEnd) Put(innerEol);
    Put(indent);
    Put("</script>");
    Put(eol);
    return StreamStatus::kDone;
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
    switch (ClassifyImageAddress(address, Span{placeholder_, std::strlen(placeholder_)})) {
      case ImageAddress::kPlaceholder:
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
    auto replace = [&](Span address) {
      out_.Write(cursor, static_cast<size_t>(address.data - cursor));
      cursor = address.data + address.size;
      return Image(address);
    };
    Span address;
    for (size_t from = 0; NextTitleImage(values.title, from, &address);
         from = static_cast<size_t>(address.data + address.size - values.title.data)) {
      const StreamStatus status = replace(address);
      if (status != StreamStatus::kDone) return status;
    }
    const StreamStatus status = replace(values.image);
    if (status != StreamStatus::kDone) return status;
    out_.Write(cursor, static_cast<size_t>(line.data + line.size - cursor));
    return StreamStatus::kDone;
  }

  const PageShape& shape_;
  BundleFiles& files_;
  BufferedWriter out_;
  ImageNoteSink& notes_;
  BundleReport* report_;
  char placeholder_[kHostCapacity + sizeof kPlaceholderPath];
  SeenAddresses seen_;
};

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
      return PageCheck::kPage;
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
