#include "bundle/run_bundle.h"

#include <cerrno>
#include <cstring>

#include "bundle/kit.h"
#include "bundle/options.h"
#include "bundle/output_file.h"
#include "bundle/run_files.h"
#include "bundle/run_output.h"
#include "bundle/standalone.h"
#include "build_config.h"

namespace plotweave {

namespace {

constexpr char kName[] = "plotweave-bundle";

constexpr char kHelp[] =
    "Usage: plotweave-bundle [OPTIONS] PAGE\n"
    "\n"
    "Writes a copy of a Plotweave page that opens from disk with no network: the\n"
    "script loader stand-in, the network script and the placeholder image come\n"
    "from the laboratory-server kit, and every image the page names by a relative\n"
    "path is taken in as a data: URI, once however many nodes use it. Images at\n"
    "http(s) addresses stay as they are and are listed on standard error. The page\n"
    "itself is never changed.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    the copy's name (default PAGE.standalone.htm beside PAGE)\n"
    "                       -o - writes it to standard output\n"
    "      --kit DIR        the kit: web/site, or web/ with a built site/ in it\n"
    "      --allow-outside  also take in images outside the page's folder\n"
    "                       (paths with .. and symbolic links)\n"
    "      --max-size BYTES the largest copy written; K, M or G count 1024s\n"
    "                       (default: 512M)\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "The kit is looked for in this order: --kit DIR, the PLOTWEAVE_KIT environment\n"
    "variable, share/plotweave/web/site beside the program's folder (the installed\n"
    "kit), and the web/site folder of the source tree the program was built in.\n"
    "\n"
    "Exit status:\n"
    "  0  the copy was written\n"
    "  2  usage error (or the copy would replace the page)\n"
    "  3  the page, or an image it names, cannot be read\n"
    "  4  not a Plotweave page\n"
    "  5  no kit found, or a file of it cannot be read\n"
    "  6  the copy cannot be written\n"
    "  7  the copy would be larger than --max-size\n";

// Writes text from the page with control bytes shown as "?", so that an
// address cannot move the cursor or recolour the terminal.
void PutPlain(FILE* err, const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    std::fputc(c < 0x20 || c == 0x7f ? '?' : c, err);
  }
}

// Why an image stays as it was, by ImageNote.
constexpr const char* kNoteTexts[] = {
    "image stays at its network address (the copy needs the network for it)",
    "image stays as it is (a path from the root of the page's server)",
    "image stays as it is (not a file beside the page)",
    "image stays as it is (quote, backslash, angle bracket or control character in the address)",
    "image stays as it is (outside the page's folder; --allow-outside takes it in)",
    "image stays as it is (reached through a symbolic link; --allow-outside takes it in)",
    "image stays as it is (not a regular file)",
    "image not found, it stays as it is",
    "image path too long, it stays as it is",
};
static_assert(sizeof kNoteTexts / sizeof kNoteTexts[0] == static_cast<size_t>(ImageNote::kTooLong) + 1,
              "a text for every ImageNote, in its order");

// Prints each image address left as it was, with the reason.
class NotePrinter final : public ImageNoteSink {
 public:
  explicit NotePrinter(FILE* err) : err_(err) {}
  void Note(ImageNote why, Span address) override {
    std::fprintf(err_, "%s: %s: ", kName, kNoteTexts[static_cast<size_t>(why)]);
    PutPlain(err_, address.data, address.size);
    std::fputc('\n', err_);
  }

 private:
  FILE* err_;
};

int Usage(FILE* err, const char* message) {
  std::fprintf(err, "%s: %s\nTry '%s --help' for more information.\n", kName, message, kName);
  return kBundleUsage;
}

int NoKit(FILE* err, const KitSearch& search) {
  std::fprintf(err, "%s: no laboratory-server kit found; looked in:\n", kName);
  static const char* const kLabels[] = {"--kit", "PLOTWEAVE_KIT", "installed kit", "source tree"};
  for (int i = 0; i < search.count; ++i) {
    const KitPlace& place = search.places[i];
    std::fprintf(err, "  %-14s ", kLabels[i]);
    switch (place.state) {
      case KitPlaceState::kNotGiven:
        std::fprintf(err, "%s\n", i == 0   ? "not given"
                                  : i == 1 ? "not set"
                                  : i == 2 ? "program folder unknown"
                                           : "none above the program's folder");
        break;
      case KitPlaceState::kFound:
        std::fprintf(err, "%s\n", place.path);
        break;
      case KitPlaceState::kMissingFile:
        std::fprintf(err, "%s (no %s there)\n", place.path, place.missing);
        break;
      case KitPlaceState::kTooLong:
        std::fprintf(err, "path too long\n");
        break;
    }
  }
  std::fprintf(err,
               "Build the kit with \"npm ci && npm run build\" in the web/ folder of the source tree\n"
               "(make demo does this), or name a built kit with --kit DIR or PLOTWEAVE_KIT=DIR.\n");
  return kBundleNoKit;
}

int CannotRead(FILE* err, const char* page, const char* reason) {
  std::fprintf(err, "%s: cannot read %s: %s\n", kName, page, reason);
  return kBundleUnreadable;
}

int CannotWrite(FILE* err, const char* output, int error) {
  std::fprintf(err, "%s: cannot write %s: %s\n", kName, output, std::strerror(error));
  return kBundleWriteFailed;
}

}  // namespace

int RunBundle(int argc, const char* const* argv, const char* program, const char* kitVariable, FILE* out,
              FILE* err) {
  BundleOptions options;
  char message[256];
  if (!ParseBundleOptions(argc, argv, &options, message, sizeof message)) return Usage(err, message);
  if (options.help || options.version) {
    if (options.help) {
      std::fputs(kHelp, out);
    } else {
      std::fprintf(out, "%s %s\n", kName, PLOTWEAVE_VERSION);
    }
    // Help that never arrived (a full disk, a closed pipe) is no success.
    if (std::fflush(out) != 0 || std::ferror(out)) return CannotWrite(err, "standard output", errno);
    return kBundleOk;
  }

  if (std::strlen(options.page) >= kPathCapacity) return Usage(err, "page name too long");
  char output[kPathCapacity];
  if (options.output != nullptr) {
    if (std::strlen(options.output) >= sizeof output) return Usage(err, "output name too long");
    std::memcpy(output, options.output, std::strlen(options.output) + 1);
  } else if (!DefaultOutputName(options.page, output)) {
    return Usage(err, "page name too long");
  }
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  const char* shownOutput = toStandardOutput ? "standard output" : output;
  if (!toStandardOutput && SameFile(options.page, output)) {
    std::fprintf(err, "%s: %s is the page itself; name the copy with -o FILE\n", kName, output);
    return kBundleUsage;
  }

  ReadFile page;
  switch (OpenRegularFile(options.page, &page)) {
    case OpenCheck::kOpened:
      break;
    case OpenCheck::kNotAFile:
      return CannotRead(err, options.page, "not a regular file");
    case OpenCheck::kFailed:
      return CannotRead(err, options.page, std::strerror(page.error()));
  }
  PageShape shape;
  const PageCheck check = RecognisePage(page, &shape);
  if (check == PageCheck::kReadFailed || !page.Rewind()) return CannotRead(err, options.page, std::strerror(page.error()));
  if (check != PageCheck::kPage) {
    std::fprintf(err, "%s: %s: not a Plotweave page: no %s script line\n", kName, options.page,
                 check == PageCheck::kNoLoader ? "loader" : "network");
    return kBundleNotAPage;
  }

  KitSearch kit;
  FindKit(options.kit, kitVariable, program, &kit);
  if (kit.found < 0) return NoKit(err, kit);

  char folder[kPathCapacity];
  FolderOf(options.page, folder);
  PageFolderFiles files(folder, kit, options.allowOutside);
  NotePrinter notes(err);

  CopyDestination copy(output, out);
  if (!copy.opened()) return CannotWrite(err, shownOutput, errno);
  const uint64_t maxSize = options.maxSize != 0 ? options.maxSize : kDefaultMaxCopySize;
  LimitedSink limited(copy.sink(), maxSize);
  BundleReport report;
  const StreamStatus status = WriteStandalone(page, shape, files, limited, notes, &report);
  const int error = errno;
  switch (status) {
    case StreamStatus::kDone:
      break;
    case StreamStatus::kReadFailed:
      switch (report.failedInput) {
        case BundleInput::kPage:
          return CannotRead(err, options.page, std::strerror(page.error()));
        case BundleInput::kImage:
          std::fprintf(err, "%s: cannot read image %s: %s\n", kName, files.Path(), std::strerror(files.error()));
          return kBundleUnreadable;
        case BundleInput::kKitFile:
          std::fprintf(err, "%s: cannot read kit file %s: %s\n", kName, files.Path(), std::strerror(files.error()));
          return kBundleNoKit;
      }
      break;
    case StreamStatus::kWriteFailed:
      if (limited.exceeded()) {
        if (copy.inPlace()) {
          // What went out before the limit cannot be taken back; the flush
          // makes what is there end where the limit was met.
          copy.Commit();
          std::fprintf(err, "%s: the copy is larger than %llu bytes; %s has only its beginning (--max-size)\n",
                       kName, static_cast<unsigned long long>(maxSize), shownOutput);
        } else {
          std::fprintf(err, "%s: the copy would be larger than %llu bytes; nothing was written (--max-size)\n",
                       kName, static_cast<unsigned long long>(maxSize));
        }
        return kBundleTooLarge;
      }
      return CannotWrite(err, shownOutput, error);
  }
  if (!copy.Commit()) return CannotWrite(err, shownOutput, errno);
  std::fprintf(err, "%s: wrote %s\n", kName, shownOutput);
  return kBundleOk;
}

}  // namespace plotweave
