// The standalone copy, run in this process: what becomes of the script lines
// and of each kind of image address, which pages are refused, and where the
// kit is looked for.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bundle/kit.h"
#include "bundle/run_bundle.h"
#include "bundle/run_files.h"
#include "tests/bundle/bundle_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace plotweave {
namespace {

using testing::BundleRun;
using testing::CopyWith;
using testing::kPlaceholderUri;
using testing::kPngBytes;
using testing::kPngUri;
using testing::NodeRow;
using testing::PageHosts;
using testing::PageWith;
using testing::ReadFileBytes;
using testing::RunBundleHere;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Anchor(const std::string& target, const std::string& inner) {
  return "<a href=\"/x.html\" target=\"" + target + "\">" + inner + "</a>";
}

class StandaloneTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteKit(kit()); }
  std::string kit() const { return dir_ / "kit"; }
  // Writes the page into page/ and bundles it with the test kit.
  BundleRun Bundle(const std::string& page, std::vector<std::string> extra = {}) {
    std::filesystem::create_directories(dir_ / "page");
    WriteFileBytes(dir_ / "page/p.htm", page);
    extra.insert(extra.begin(), {"--kit", kit(), dir_ / "page/p.htm"});
    return RunBundleHere(extra);
  }
  std::string Copy() const { return ReadFileBytes(dir_ / "page/p.standalone.htm"); }

  TempDir dir_;
};

TEST_F(StandaloneTest, PagesOfBothBuildsWithAnyHostsAndLineEnds) {
  const PageHosts hostSets[] = {
      {},
      {"http://localhost:8000", "http://localhost:8000"},
      {"https://lab.example.org:8443/kit", "https://lab.example.org:8443/kit"},
      {"https://www.google.com", "http://lab.example/k?a=1&b=2"},
  };
  for (const PageHosts& hosts : hostSets) {
    for (const char* target : {"_self", "_blank"}) {
      for (const char* eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(hosts.lab + " " + target + (eol[1] ? " CRLF" : " LF"));
        const std::string placeholder = hosts.lab + "/VR/style/noimage.png";
        const std::string page = PageWith(
            hosts, {NodeRow("a", Anchor(target, "A"), placeholder), NodeRow("b", "B_b", placeholder)}, eol);
        const BundleRun run = Bundle(page);
        EXPECT_EQ(run.status, kBundleOk) << run.err;
        EXPECT_EQ(run.err, "plotweave-bundle: wrote " + (dir_ / "page/p.standalone.htm") + "\n");
        // The placeholder is carried once, by the network script; the
        // rows keep its address, which the table names.
        // The table's strings are JSON with "&" and angle brackets escaped.
        std::string named = placeholder;
        if (named.find('&') != std::string::npos) named.replace(named.find('&'), 1, "\\u0026");
        EXPECT_EQ(Copy(), CopyWith({NodeRow("a", Anchor(target, "A"), placeholder), NodeRow("b", "B_b", placeholder)},
                                   eol, testing::ImageTable(named, {}, eol)));
        EXPECT_EQ(ReadFileBytes(dir_ / "page/p.htm"), page);
      }
    }
  }
}

TEST_F(StandaloneTest, EachKindOfImageAddress) {
  std::filesystem::create_directories(dir_ / "page/img");
  std::filesystem::create_directories(dir_ / "page/my pics");
  WriteFileBytes(dir_ / "page/img/a.png", kPngBytes);
  WriteFileBytes(dir_ / "page/my pics/b.png", kPngBytes);
  WriteFileBytes(dir_ / "page/img/c.jpg", "\xff\xd8\xff\xe0jpeg");
  WriteFileBytes(dir_ / "page/img/d.svg", "<svg/>");
  WriteFileBytes(dir_ / "outside.png", kPngBytes);
  const std::string outsideNote =
      "plotweave-bundle: image stays as it is (outside the page's folder; --allow-outside takes it in): "
      "../outside.png\n";
  auto rows = [](const std::string& outside) {
    const std::string dataUri = "data:image/gif;base64,R0lGODlhIQ==";
    return std::vector<std::string>{
        NodeRow("r1", "<a href=\"/r1\" target=\"_self\"><img src=\"img/a.png\"/></a>", "img/a.png"),
        NodeRow("r2", "r2", "my%20pics/b.png?v=2#top"),
        NodeRow("r3", "r3", "/img/a.png"),
        NodeRow("r4", "r4", "http://example.org/x.png"),
        NodeRow("r5", "<a href=\"/r5\" target=\"_self\"><img src=\"HTTPS://example.org/x.png\"/></a>",
                "http://example.org/x.png"),
        NodeRow("r6", "r6", "img/missing.png"),
        NodeRow("r7", "r7", outside),
        NodeRow("r8", "r8", dataUri),
        NodeRow("r9", "r9", "img/c.jpg"),
        NodeRow("r10", "r10", "img/d.svg"),
    };
  };
  const std::string page = PageWith({}, rows("../outside.png"));
  std::vector<std::string> want = rows("../outside.png");
  // The picture of r1's title and image value is taken in once, into the
  // table; the images used once stand where they were used.
  const std::string table = testing::ImageTable("", {{"img/a.png", kPngUri}});
  want[1] = NodeRow("r2", "r2", kPngUri);
  want[8] = NodeRow("r9", "r9", "data:image/jpeg;base64,/9j/4GpwZWc=");
  want[9] = NodeRow("r10", "r10", "data:image/svg+xml;base64,PHN2Zy8+");

  BundleRun run = Bundle(page);
  EXPECT_EQ(run.status, kBundleOk);
  EXPECT_EQ(Copy(), CopyWith(want, "\n", table));
  // Each address left as it was is named once, in the order met.
  EXPECT_EQ(run.err,
            "plotweave-bundle: image stays as it is (a path from the root of the page's server): /img/a.png\n"
            "plotweave-bundle: image stays at its network address (the copy needs the network for it): "
            "http://example.org/x.png\n"
            "plotweave-bundle: image stays at its network address (the copy needs the network for it): "
            "HTTPS://example.org/x.png\n"
            "plotweave-bundle: image not found, it stays as it is: img/missing.png\n" +
                outsideNote + "plotweave-bundle: wrote " + (dir_ / "page/p.standalone.htm") + "\n");

  // Asked for, an image outside the folder is taken in too.
  run = Bundle(page, {"--allow-outside"});
  EXPECT_EQ(run.err.find(outsideNote), std::string::npos);
  want[6] = NodeRow("r7", "r7", kPngUri);
  EXPECT_EQ(Copy(), CopyWith(want, "\n", table));
}

// However many rows use an image, the copy carries it once, and --max-size
// counts the copy as it is written. A shared image that is not taken in is
// reported once, where it is first used; a page whose images are each used
// once keeps them where they were.
TEST_F(StandaloneTest, SharedImagesAreTakenInOnce) {
  std::filesystem::create_directories(dir_ / "page/img");
  std::string big = kPngBytes;
  for (uint32_t i = 0; big.size() < 300000; ++i) big += static_cast<char>(i * 7919u >> 3);
  WriteFileBytes(dir_ / "page/img/big.png", big);
  WriteFileBytes(dir_ / "page/img/once.png", kPngBytes);
  const std::string placeholder = "http://localhost:8000/VR/style/noimage.png";
  auto rows = [&](const std::string& once) {
    std::vector<std::string> rows = {NodeRow("m1", "m1", "img/gone.png"), NodeRow("o", "o", once)};
    for (int i = 0; i < 100; ++i) {
      const std::string id = "n" + std::to_string(i);
      rows.push_back(NodeRow(id, i % 2 ? id : "<a href=\"/x\" target=\"_self\"><img src=\"img/big.png\"/></a>",
                             i % 3 ? "img/big.png" : placeholder));
    }
    rows.push_back(NodeRow("m2", "m2", "img/gone.png"));
    return rows;
  };
  const std::string page = PageWith({}, rows("img/once.png"));
  BundleRun run = Bundle(page);
  ASSERT_EQ(run.status, kBundleOk) << run.err;
  // The URI of the big image, from a copy of a page that uses it once.
  const std::string bigPage = PageWith({}, {NodeRow("b", "b", "img/big.png")});
  WriteFileBytes(dir_ / "page/b.htm", bigPage);
  ASSERT_EQ(RunBundleHere({"--kit", kit(), dir_ / "page/b.htm", "-o", dir_ / "b.copy.htm"}).status, kBundleOk);
  const std::string singleCopy = ReadFileBytes(dir_ / "b.copy.htm");
  const size_t uriAt = singleCopy.find("data:image/png;base64,", singleCopy.find("addRow"));
  const std::string bigUri = singleCopy.substr(uriAt, singleCopy.find('\'', uriAt) - uriAt);

  const std::string copy = Copy();
  EXPECT_EQ(copy, CopyWith(rows(kPngUri), "\n", testing::ImageTable(placeholder, {{"img/big.png", bigUri}})));
  EXPECT_EQ(testing::Occurrences(copy, bigUri), 1u);
  EXPECT_LT(copy.size(), bigUri.size() + page.size() + 1000);
  EXPECT_EQ(run.err, "plotweave-bundle: image not found, it stays as it is: img/gone.png\nplotweave-bundle: wrote " +
                         (dir_ / "page/p.standalone.htm") + "\n");

  // The bound is the copy's own size.
  run = Bundle(page, {"--max-size", std::to_string(copy.size())});
  EXPECT_EQ(run.status, kBundleOk) << run.err;
  run = Bundle(page, {"--max-size", std::to_string(copy.size() - 1)});
  EXPECT_EQ(run.status, kBundleTooLarge) << run.err;
  EXPECT_EQ(testing::Listing(dir_ / "page"), "b.htm img p.htm p.standalone.htm");
}

#ifndef _WIN32
// Only regular files reached without a link are read, whether the kernel
// resolves the path or the program goes one step at a time; a FIFO is
// refused without waiting for a writer.
TEST_F(StandaloneTest, NoLinkIsFollowedAndOnlyRegularFilesAreRead) {
  std::filesystem::create_directories(dir_ / "page/img");
  WriteFileBytes(dir_ / "secret.png", kPngBytes + "secret");
  WriteFileBytes(dir_ / "page/img/a.png", kPngBytes);
  std::filesystem::create_symlink(dir_ / "secret.png", dir_ / "page/out.png");
  std::filesystem::create_symlink("img/a.png", dir_ / "page/in.png");
  std::filesystem::create_directory_symlink("img", dir_ / "page/via");
  ASSERT_EQ(mkfifo((dir_ / "page/fifo.png").c_str(), 0600), 0);
  const std::vector<std::string> addresses = {"out.png", "in.png", "via/a.png", "fifo.png", "img", "img/a.png"};
  std::vector<std::string> rows;
  for (const std::string& address : addresses) rows.push_back(NodeRow(address, address, address));
  const std::string page = PageWith({}, rows);
  const std::string secretUri = "data:image/png;base64,iVBORw0KGgpBc2VjcmV0";

  for (const bool stepByStep : {false, true}) {
    SCOPED_TRACE(stepByStep ? "step by step" : "resolved by the kernel");
    OpenImagesStepByStep(stepByStep);
    BundleRun run = Bundle(page);
    EXPECT_EQ(run.status, kBundleOk) << run.err;
    std::vector<std::string> want = rows;
    want[5] = NodeRow("img/a.png", "img/a.png", kPngUri);
    EXPECT_EQ(Copy(), CopyWith(want));
    const std::string link = "plotweave-bundle: image stays as it is (reached through a symbolic link; "
                             "--allow-outside takes it in): ";
    const std::string other = "plotweave-bundle: image stays as it is (not a regular file): ";
    EXPECT_EQ(run.err, link + "out.png\n" + link + "in.png\n" + link + "via/a.png\n" + other + "fifo.png\n" + other +
                           "img\nplotweave-bundle: wrote " + (dir_ / "page/p.standalone.htm") + "\n");

    // Asked for, links are followed; a FIFO is still no file.
    run = Bundle(page, {"--allow-outside"});
    EXPECT_EQ(run.status, kBundleOk) << run.err;
    want[0] = NodeRow("out.png", "out.png", secretUri);
    want[1] = NodeRow("in.png", "in.png", kPngUri);
    want[2] = NodeRow("via/a.png", "via/a.png", kPngUri);
    EXPECT_EQ(Copy(), CopyWith(want));
    EXPECT_NE(run.err.find(other + "fifo.png\n"), std::string::npos);
  }
  OpenImagesStepByStep(false);
}
#endif

TEST_F(StandaloneTest, PagesNotRecognisedAreRefusedAndNothingIsWritten) {
  const std::string page = PageWith({}, {NodeRow("a", "a", "x.png")});
  const std::string loader = "    <script type=\"text/javascript\" src=\"https://www.google.com/jsapi\"></script>\n";
  const std::string network =
      "    <script type=\"text/javascript\" src=\"http://localhost:8000/Graph/network/network.js\"></script>\n";
  auto without = [&](const std::string& line, const std::string& instead) {
    std::string edited = page;
    edited.replace(edited.find(line), line.size(), instead);
    return edited;
  };
  const struct {
    std::string page;
    const char* missing;
  } cases[] = {
      {without(loader, ""), "loader"},
      {without(loader, "    <script type='text/javascript' src='https://www.google.com/jsapi'></script>\n"), "loader"},
      {without(network, ""), "network"},
      {without(network, "    <script type=\"text/javascript\" src=\"http://localhost:8000/network.js\"></script>\n"),
       "network"},
      // The network line above the loader line.
      {without(loader, "") + loader, "network"},
      {"", "loader"},
      {CopyWith({NodeRow("a", "a", "x.png")}), "loader"},
  };
  for (const auto& c : cases) {
    const BundleRun run = Bundle(c.page);
    EXPECT_EQ(run.status, kBundleNotAPage);
    EXPECT_EQ(run.err, "plotweave-bundle: " + (dir_ / "page/p.htm") + ": not a Plotweave page: no " + c.missing +
                           " script line\n");
    EXPECT_EQ(ReadFileBytes(dir_ / "page/p.htm"), c.page);
    EXPECT_EQ(testing::Listing(dir_ / "page"), "p.htm");
  }

  const BundleRun missing = RunBundleHere({"--kit", kit(), dir_ / "none.htm"});
  EXPECT_EQ(missing.status, kBundleUnreadable);
  EXPECT_EQ(missing.err.rfind("plotweave-bundle: cannot read " + (dir_ / "none.htm") + ": ", 0), 0u) << missing.err;
  const BundleRun folder = RunBundleHere({"--kit", kit(), dir_.path()});
  EXPECT_EQ(folder.status, kBundleUnreadable);
  EXPECT_EQ(folder.err, "plotweave-bundle: cannot read " + dir_.path() + ": not a regular file\n");
}

TEST_F(StandaloneTest, TheCopyNeverReplacesThePage) {
  const std::string page = PageWith({}, {});
  BundleRun run = Bundle(page, {"-o", dir_ / "page/p.htm"});
  EXPECT_EQ(run.status, kBundleUsage);
  EXPECT_EQ(run.err, "plotweave-bundle: " + (dir_ / "page/p.htm") + " is the page itself; name the copy with -o FILE\n");
  run = Bundle(page, {"-o", dir_ / "page/../page/p.htm"});
  EXPECT_EQ(run.status, kBundleUsage);
#ifndef _WIN32
  std::filesystem::create_hard_link(dir_ / "page/p.htm", dir_ / "page/q.htm");
  run = Bundle(page, {"-o", dir_ / "page/q.htm"});
  EXPECT_EQ(run.status, kBundleUsage);
  std::filesystem::remove(dir_ / "page/q.htm");
#endif
  EXPECT_EQ(ReadFileBytes(dir_ / "page/p.htm"), page);
  EXPECT_EQ(dir_.Listing(), "kit page");

  // Another file of that name is replaced, and no temporary file stays.
  WriteFileBytes(dir_ / "page/copy.htm", "old");
  run = Bundle(page, {"--output=" + (dir_ / "page/copy.htm")});
  EXPECT_EQ(run.status, kBundleOk);
  EXPECT_EQ(ReadFileBytes(dir_ / "page/copy.htm"), CopyWith({}));
  EXPECT_EQ(testing::Listing(dir_ / "page"), "copy.htm p.htm");
}

TEST(KitSearch, LooksInTheGivenOrderAndSaysWhere) {
  TempDir dir;
  const std::string page = PageWith({}, {});
  WriteFileBytes(dir / "p.htm", page);

  // Nothing anywhere: every place is named, with the way to a kit.
  const std::string program = dir / "prefix/bin/plotweave-bundle";
  std::filesystem::create_directories(dir / "prefix/bin");
  BundleRun run = RunBundleHere({dir / "p.htm"}, nullptr, program);
  EXPECT_EQ(run.status, kBundleNoKit);
  EXPECT_EQ(run.err,
            "plotweave-bundle: no laboratory-server kit found; looked in:\n"
            "  --kit          not given\n"
            "  PLOTWEAVE_KIT  not set\n"
            "  installed kit  " + (dir / "prefix/bin/../share/plotweave/web/site") + " (no jsapi there)\n"
            "  source tree    none above the program's folder\n"
            "Build the kit with \"npm ci && npm run build\" in the web/ folder of the source tree\n"
            "(make demo does this), or name a built kit with --kit DIR or PLOTWEAVE_KIT=DIR.\n");
  EXPECT_EQ(dir.Listing(), "p.htm prefix");

  // A kit named but incomplete ends the search there.
  testing::WriteKit(dir / "prefix/share/plotweave/web/site");
  testing::WriteKit(dir / "env");
  testing::WriteKit(dir / "partial");
  std::filesystem::remove(dir / "partial/Graph/network/network.js");
  run = RunBundleHere({"--kit", dir / "partial", dir / "p.htm"}, (dir / "env").c_str(), program);
  EXPECT_EQ(run.status, kBundleNoKit);
  EXPECT_NE(run.err.find("  --kit          " + (dir / "partial") + " (no Graph/network/network.js there)\n"),
            std::string::npos);
  EXPECT_EQ(run.err.find("PLOTWEAVE_KIT"), run.err.rfind("PLOTWEAVE_KIT=DIR")) << "the variable was not looked at";

  KitSearch search;
  FindKit(nullptr, (dir / "env").c_str(), program.c_str(), &search);
  EXPECT_EQ(search.found, 1);
  FindKit("", "", program.c_str(), &search);
  EXPECT_EQ(search.found, 2);
  EXPECT_EQ(std::string(search.places[2].path), dir / "prefix/bin/../share/plotweave/web/site");

  // A source tree: the program in build/bundle/ below the folder with web/.
  testing::WriteKit(dir / "tree/web/site");
  WriteFileBytes(dir / "tree/web/build.mjs", "");
  FindKit(nullptr, nullptr, (dir / "tree/build/bundle/plotweave-bundle").c_str(), &search);
  EXPECT_EQ(search.found, 3);
  EXPECT_EQ(std::string(search.places[3].path), dir / "tree/web/site");
  // The web/ folder stands for its built site/.
  FindKit((dir / "tree/web").c_str(), nullptr, program.c_str(), &search);
  EXPECT_EQ(search.found, 0);
  EXPECT_EQ(std::string(search.places[0].path), dir / "tree/web/site");
}

}  // namespace
}  // namespace plotweave
