#include "bundle/run_bundle.h"

#include <cerrno>
#include <cstring>

#include "bundle/kit.h"
#include "bundle/options.h"
#include "bundle/output_file.h"
#include "bundle/standalone.h"
#include "build_config.h"
#include "io/file.h"
#include "io/replacing_file.h"

namespace plotweave {

namespace {

constexpr char kName[] = "plotweave-bundle";

constexpr char kHelp[] =
    "Usage: plotweave-bundle [OPTIONS] PAGE\n"
    "\n"
    "Writes a copy of a Plotweave page that opens from disk with no network: the\n"
    "script loader stand-in, the network script and the placeholder image come\n"
    "from the laboratory-server kit, and every image the page names by a relative\n"
    "path is taken in as a data: URI. Images at http(s) addresses stay as they are\n"
    "and are listed on standard error. The page itself is never changed.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    the copy's name (default: PAGE.standalone.htm beside PAGE)\n"
    "      --kit DIR        the kit: web/site, or web/ with a built site/ in it\n"
    "      --allow-outside  also take in images outside the page's folder\n"
    "                       (paths with .. and links that lead out of it)\n"
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
    "  6  the copy cannot be written\n";

// Writes text from the page with control bytes shown as "?", so that an
// address cannot move the cursor or recolour the terminal.
void PutPlain(FILE* err, const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    std::fputc(c < 0x20 || c == 0x7f ? '?' : c, err);
  }
}

void PrintNote(void* context, ImageNote why, Span address) {
  FILE* err = static_cast<FILE*>(context);
  const char* text = "";
  switch (why) {
    case ImageNote::kNetwork:
      text = "image stays at its network address (the copy needs the network for it)";
      break;
    case ImageNote::kAbsolutePath:
      text = "image stays as it is (a path from the root of the page's server)";
      break;
    case ImageNote::kOtherScheme:
      text = "image stays as it is (not a file beside the page)";
      break;
    case ImageNote::kUnusual:
      text = "image stays as it is (quote, backslash, angle bracket or control character in the address)";
      break;
    case ImageNote::kOutside:
      text = "image stays as it is (outside the page's folder; --allow-outside takes it in)";
      break;
    case ImageNote::kMissing:
      text = "image not found, it stays as it is";
      break;
    case ImageNote::kTooLong:
      text = "image path too long, it stays as it is";
      break;
  }
  std::fprintf(err, "%s: %s: ", kName, text);
  PutPlain(err, address.data, address.size);
  std::fputc('\n', err);
}

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
  if (SameFile(options.page, output)) {
    std::fprintf(err, "%s: %s is the page itself; name the copy with -o FILE\n", kName, output);
    return kBundleUsage;
  }

  if (!IsRegularFile(options.page)) {
    return CannotRead(err, options.page, IsSpecialFile(options.page) ? "not a regular file" : std::strerror(ENOENT));
  }
  FileHandle page(options.page, "rb");
  if (!page) return CannotRead(err, options.page, std::strerror(errno));
  PageShape shape;
  const PageCheck check = RecognisePage(page.get(), &shape);
  if (check == PageCheck::kReadFailed || std::fseek(page.get(), 0, SEEK_SET) != 0) {
    return CannotRead(err, options.page, std::strerror(errno));
  }
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
  BundleSources sources;
  sources.kit = &kit;
  sources.pageFolder = folder;
  sources.allowOutside = options.allowOutside;
  NoteSink notes;
  notes.note = PrintNote;
  notes.context = err;

  // Bundling takes no lock, so two runs for one copy each write a temporary
  // file of their own; the last to finish leaves a whole copy.
  ReplacingFile copy(output, "wb", TempName::kUnique);
  if (!copy) return CannotWrite(err, output, errno);
  BundleReport report;
  const BundleResult result = WriteStandalone(page.get(), shape, sources, copy.get(), notes, &report);
  const int error = errno;
  switch (result) {
    case BundleResult::kOk:
      break;
    case BundleResult::kPageReadFailed:
      return CannotRead(err, options.page, std::strerror(error));
    case BundleResult::kImageReadFailed:
      std::fprintf(err, "%s: cannot read image %s: %s\n", kName, report.failedPath, std::strerror(error));
      return kBundleUnreadable;
    case BundleResult::kKitReadFailed:
      std::fprintf(err, "%s: cannot read kit file %s: %s\n", kName, report.failedPath, std::strerror(error));
      return kBundleNoKit;
    case BundleResult::kWriteFailed:
      return CannotWrite(err, output, error);
  }
  if (!copy.Commit()) return CannotWrite(err, output, errno);
  std::fprintf(err, "%s: wrote %s\n", kName, output);
  return kBundleOk;
}

}  // namespace plotweave
