// The standalone copy on arbitrary page bytes, with a kit and an image beside
// the page: recognising the page and writing its copy never fail on a page
// that was recognised, and every line of the page keeps at least its line end.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "bundle/kit.h"
#include "bundle/run_files.h"
#include "bundle/standalone.h"
#include "fuzz/fuzz_support.h"

namespace {

std::string gDir;
plotweave::KitSearch gKit;

class CopySink final : public plotweave::ByteSink {
 public:
  bool Write(const void* data, size_t count) override {
    bytes.append(static_cast<const char*>(data), count);
    return true;
  }
  std::string bytes;
};

class NoNotes final : public plotweave::ImageNoteSink {
 public:
  void Note(plotweave::ImageNote, plotweave::Span) override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gDir = plotweave::fuzz::MakeScratchDir("plotweave-bundle-fuzz");
  for (const char* sub : {"/kit", "/kit/Graph", "/kit/Graph/network", "/kit/VR", "/kit/VR/style", "/img"}) {
    FUZZ_CHECK(mkdir((gDir + sub).c_str(), 0700) == 0);
  }
  plotweave::fuzz::WriteAll(gDir + "/kit/jsapi", "var google = {};\n");
  plotweave::fuzz::WriteAll(gDir + "/kit/Graph/network/network.js", "var s = '</script><!--';");
  plotweave::fuzz::WriteAll(gDir + "/kit/VR/style/noimage.png", "\x89PNG\r\n\x1a\nplaceholder");
  plotweave::fuzz::WriteAll(gDir + "/img/a.png", "\x89PNG\r\n\x1a\nimage");
  plotweave::FindKit((gDir + "/kit").c_str(), nullptr, nullptr, &gKit);
  FUZZ_CHECK(gKit.found == 0);
  std::atexit([] {
    for (const char* file : {"/kit/jsapi", "/kit/Graph/network/network.js", "/kit/VR/style/noimage.png",
                             "/img/a.png", "/kit/Graph/network", "/kit/Graph", "/kit/VR/style", "/kit/VR", "/kit",
                             "/img", ""}) {
      std::remove((gDir + file).c_str());
    }
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotweave;
  MemorySource in(data, size);
  PageShape shape;
  const PageCheck check = RecognisePage(in, &shape);
  FUZZ_CHECK(check != PageCheck::kReadFailed);
  if (check == PageCheck::kPage) {
    FUZZ_CHECK(shape.loaderLine >= 0 && shape.networkLine > shape.loaderLine);
    MemorySource again(data, size);
    PageFolderFiles files(gDir.c_str(), gKit, false);
    CopySink out;
    NoNotes notes;
    BundleReport report;
    FUZZ_CHECK(WriteStandalone(again, shape, files, out, notes, &report) == StreamStatus::kDone);
    const std::string& copy = out.bytes;
    const std::string page(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(std::count(copy.begin(), copy.end(), '\n') >= std::count(page.begin(), page.end(), '\n'));
    FUZZ_CHECK(report.inlinedImages >= 1);  // the placeholder, for the network script
  }
  return 0;
}
