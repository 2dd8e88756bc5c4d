#include "bundle/standalone.h"

#include <cstring>

#include "bundle/inline_copy.h"
#include "io/file.h"

namespace plotweave {

namespace {

constexpr char kPlaceholderPath[] = "/VR/style/noimage.png";

// Addresses already reported, by hash, so that an address that many nodes
// share is reported once. A page holds at most two per node.
class SeenAddresses {
 public:
  // True the first time `address` is offered (and always once the table is full).
  bool First(Span address) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < address.size; ++i) h = (h ^ static_cast<unsigned char>(address.data[i])) * 1099511628211ull;
    for (int i = 0; i < count_; ++i) {
      if (hashes_[i] == h) return false;
    }
    if (count_ < kCapacity) hashes_[count_++] = h;
    return true;
  }

 private:
  static constexpr int kCapacity = 2048;
  uint64_t hashes_[kCapacity];
  int count_ = 0;
};

class CopyWriter {
 public:
  CopyWriter(const PageShape& shape, const BundleSources& sources, FILE* out, const NoteSink& notes,
             BundleReport* report)
      : shape_(shape), sources_(sources), out_(out), notes_(notes), report_(report) {
    const size_t n = std::strlen(shape.labHost);
    std::memcpy(placeholder_, shape.labHost, n);
    std::memcpy(placeholder_ + n, kPlaceholderPath, sizeof kPlaceholderPath);
  }

  BundleResult Copy(FILE* page) {
    PageLineReader reader(page);
    Span line;
    bool whole = false;
    for (long index = 0; reader.Next(&line, &whole); ++index) {
      BundleResult result = BundleResult::kOk;
      if (index == shape_.loaderLine) {
        result = InlineScript(line, kKitLoader, false);
      } else if (index == shape_.networkLine) {
        result = InlineScript(line, kKitNetwork, true);
      } else {
        NodeRowValues values;
        if (whole && FindNodeRowValues(LineBody(line), &values)) {
          result = NodeRow(line, values);
        } else if (!Put(line.data, line.size)) {
          result = BundleResult::kWriteFailed;
        }
      }
      if (result != BundleResult::kOk) return result;
    }
    return reader.Failed() ? BundleResult::kPageReadFailed : BundleResult::kOk;
  }

 private:
  bool Put(const char* data, size_t n) { return std::fwrite(data, 1, n, out_) == n; }
  bool Put(const char* text) { return Put(text, std::strlen(text)); }
  bool Put(Span s) { return Put(s.data, s.size); }

  BundleResult Failed(CopyResult result, BundleResult readFailure, const char* path) {
    if (result == CopyResult::kWriteFailed) return BundleResult::kWriteFailed;
    std::memcpy(report_->failedPath, path, std::strlen(path) + 1);
    return readFailure;
  }

  // Opens the kit's file `name`; `path` receives its path.
  BundleResult OpenKitFile(const char* name, char (&path)[kPathCapacity], FileHandle* file) {
    if (!KitFile(*sources_.kit, name, path)) return Failed(CopyResult::kReadFailed, BundleResult::kKitReadFailed, name);
    if (!file->Open(path, "rb")) return Failed(CopyResult::kReadFailed, BundleResult::kKitReadFailed, path);
    return BundleResult::kOk;
  }

  // The script line becomes an inline script element with the kit file in it,
  // keeping the line's indentation and line end. The network script works out
  // the placeholder image from its own address, which an inline script has
  // not; it is told it through an attribute.
  BundleResult InlineScript(Span line, const char* kitName, bool withPlaceholder) {
    const Span body = LineBody(line);
    Span host;
    Span indent;
    MatchScriptLine(body, &host, &indent);
    const Span eol{body.data + body.size, line.size - body.size};
    const Span innerEol = eol.size > 0 ? eol : Span{"\n", 1};
    char path[kPathCapacity];
    FileHandle script;
    const BundleResult opened = OpenKitFile(kitName, path, &script);
    if (opened != BundleResult::kOk) return opened;

    if (!Put(indent) || !Put("<script type=\"text/javascript\"")) return BundleResult::kWriteFailed;
    if (withPlaceholder) {
      if (!Put(" data-placeholder-image=\"")) return BundleResult::kWriteFailed;
      const BundleResult placeholder = Placeholder();
      if (placeholder != BundleResult::kOk) return placeholder;
      if (!Put("\"")) return BundleResult::kWriteFailed;
    }
    if (!Put(">") || !Put(innerEol)) return BundleResult::kWriteFailed;
    bool endsWithLineEnd = false;
    const CopyResult copied = CopyInlineScript(script.get(), out_, &endsWithLineEnd);
    if (copied != CopyResult::kOk) return Failed(copied, BundleResult::kKitReadFailed, path);
    if (!endsWithLineEnd && !Put(innerEol)) return BundleResult::kWriteFailed;
    if (!Put(indent) || !Put("</script>") || !Put(eol)) return BundleResult::kWriteFailed;
    return BundleResult::kOk;
  }

  BundleResult Placeholder() {
    char path[kPathCapacity];
    FileHandle image;
    const BundleResult opened = OpenKitFile(kKitPlaceholder, path, &image);
    if (opened != BundleResult::kOk) return opened;
    const CopyResult copied = WriteDataUri(image.get(), path, out_);
    if (copied != CopyResult::kOk) return Failed(copied, BundleResult::kKitReadFailed, path);
    ++report_->inlinedImages;
    return BundleResult::kOk;
  }

  void Note(ImageNote why, Span address) {
    if (notes_.note != nullptr && seen_.First(address)) notes_.note(notes_.context, why, address);
  }

  // Writes `address`, or the data: URI that stands for it.
  BundleResult Image(Span address) {
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
    return Put(address) ? BundleResult::kOk : BundleResult::kWriteFailed;
  }

  BundleResult RelativeImage(Span address) {
    char path[kPathCapacity];
    FILE* opened = nullptr;
    const ImageFile found = OpenRelativeImage(sources_.pageFolder, address, sources_.allowOutside, path, &opened);
    if (found == ImageFile::kOpened) {
      const CopyResult copied = WriteDataUri(opened, path, out_);
      std::fclose(opened);
      if (copied != CopyResult::kOk) return Failed(copied, BundleResult::kImageReadFailed, path);
      ++report_->inlinedImages;
      return BundleResult::kOk;
    }
    Note(found == ImageFile::kOutside   ? ImageNote::kOutside
         : found == ImageFile::kTooLong ? ImageNote::kTooLong
                                        : ImageNote::kMissing,
         address);
    return Put(address) ? BundleResult::kOk : BundleResult::kWriteFailed;
  }

  // A node row with the images of its title and its image value replaced.
  BundleResult NodeRow(Span line, const NodeRowValues& values) {
    const char* cursor = line.data;
    auto replace = [&](Span address) {
      if (!Put(cursor, static_cast<size_t>(address.data - cursor))) return BundleResult::kWriteFailed;
      cursor = address.data + address.size;
      return Image(address);
    };
    Span address;
    for (size_t from = 0; NextTitleImage(values.title, from, &address);
         from = static_cast<size_t>(address.data + address.size - values.title.data)) {
      const BundleResult result = replace(address);
      if (result != BundleResult::kOk) return result;
    }
    const BundleResult result = replace(values.image);
    if (result != BundleResult::kOk) return result;
    return Put(cursor, static_cast<size_t>(line.data + line.size - cursor)) ? BundleResult::kOk
                                                                            : BundleResult::kWriteFailed;
  }

  const PageShape& shape_;
  const BundleSources& sources_;
  FILE* out_;
  const NoteSink& notes_;
  BundleReport* report_;
  char placeholder_[kHostCapacity + sizeof kPlaceholderPath];
  SeenAddresses seen_;
};

}  // namespace

PageCheck RecognisePage(FILE* page, PageShape* shape) {
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

BundleResult WriteStandalone(FILE* page, const PageShape& shape, const BundleSources& sources, FILE* out,
                             const NoteSink& notes, BundleReport* report) {
  CopyWriter writer(shape, sources, out, notes, report);
  return writer.Copy(page);
}

}  // namespace plotweave
