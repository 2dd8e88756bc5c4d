// plotweave-bundle as a program: its own output, paths with blanks and
// Hangul, and folders it cannot write.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bundle/run_bundle.h"
#include "tests/bundle/bundle_support.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace plotweave {
namespace {

using testing::BundleRun;
using testing::ReadFileBytes;
using testing::RunBundleHere;
using testing::TempDir;
using testing::WriteFileBytes;

int ExitCode(int status) {
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::filesystem::path Fs(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

std::string RunIn(const std::string& program, const std::string& dir, const std::vector<std::string>& args, int* code) {
  int status = -1;
  const std::string out = testing::LfLines(testing::RunProgram(program, dir, args, &status));
  *code = ExitCode(status);
  return out;
}

TEST(BundleProgram, HelpAndVersionOnStandardOutputOnly) {
  TempDir dir;
  int code = -1;
  EXPECT_EQ(RunIn(PLOTWEAVE_BUNDLE_PROGRAM, dir.path(), {"--version"}, &code), "plotweave-bundle 2.1\n");
  EXPECT_EQ(code, 0);
  const std::string help = RunIn(PLOTWEAVE_BUNDLE_PROGRAM, dir.path(), {"-h"}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(help.rfind("Usage: plotweave-bundle [OPTIONS] PAGE\n", 0), 0u);
  EXPECT_NE(help.find("  4  not a Plotweave page\n"), std::string::npos);
  // Refusals print nothing on standard output.
  EXPECT_EQ(RunIn(PLOTWEAVE_BUNDLE_PROGRAM, dir.path(), {}, &code), "");
  EXPECT_EQ(code, kBundleUsage);
  EXPECT_EQ(RunIn(PLOTWEAVE_BUNDLE_PROGRAM, dir.path(), {"missing.htm"}, &code), "");
  EXPECT_EQ(code, kBundleUnreadable);
}

#ifndef _WIN32
TEST(BundleProgram, HelpThatCannotBeWrittenIsAFailure) {
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  const testing::ScratchFile err;
  const char* argv[] = {"plotweave-bundle", "--help"};
  EXPECT_EQ(RunBundle(2, argv, "", nullptr, full, err.get()), kBundleWriteFailed);
  std::fclose(full);
  EXPECT_EQ(err.Text(), "plotweave-bundle: cannot write standard output: No space left on device\n");
}
#endif

TEST(BundleProgram, PathsWithBlanksAndHangul) {
  TempDir dir;
  testing::WriteKit(dir / "kit");
  const std::string folder = dir / "빈 칸 폴더";
  std::filesystem::create_directories(Fs(folder + "/img"));
  const std::string examples = testing::SourceDir() + "/examples";
  WriteFileBytes(folder + "/한글 계획.lst", ReadFileBytes(examples + "/ontology.lst"));
  for (const char* image : {"sungnyemun.png", "heunginjimun.png", "sukjeongmun.png"}) {
    WriteFileBytes(folder + "/img/" + image, ReadFileBytes(examples + "/img/" + image));
  }
  int code = -1;
  RunIn(PLOTWEAVE_SELF_PROGRAM, folder, {"한글 계획.lst"}, &code);
  const std::string page = ReadFileBytes(folder + "/한글 계획_self.htm");
  ASSERT_NE(page.find("'img/sungnyemun.png'"), std::string::npos);

  RunIn(PLOTWEAVE_BUNDLE_PROGRAM, folder, {"--kit", dir / "kit", "한글 계획_self.htm"}, &code);
  EXPECT_EQ(code, 0);
  const std::string copy = ReadFileBytes(folder + "/한글 계획_self.standalone.htm");
  // Every example image is inside the copy, once, though Sukjeongmun's title
  // and image value both use it; so is the placeholder, which six nodes use.
  EXPECT_EQ(testing::Occurrences(copy, "data:image/png;base64,iVBORw0KGgo"), 3u);
  EXPECT_NE(copy.find("\n\"img/sukjeongmun.png\": \"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
  EXPECT_EQ(testing::Occurrences(copy, testing::kPlaceholderUri), 1u);
  EXPECT_EQ(copy.find("/jsapi"), std::string::npos);

  // The same from another folder, by a full path, to a name of one's own.
  RunIn(PLOTWEAVE_BUNDLE_PROGRAM, dir.path(), {"--kit", "kit", folder + "/한글 계획_self.htm", "-o", "다른 사본.htm"},
      &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFileBytes(dir / "다른 사본.htm"), copy);
  EXPECT_EQ(ReadFileBytes(folder + "/한글 계획_self.htm"), page);
}

#ifndef _WIN32
// The copy's name may be a link: what it leads to takes the copy, and the
// link (or the device behind it) is never replaced by a plain file.
TEST(BundleProgram, ACopyNamedThroughALinkKeepsTheLink) {
  TempDir dir;
  testing::WriteKit(dir / "kit");
  const std::string page = testing::PageWith({}, {testing::NodeRow("a", "a", "")});
  WriteFileBytes(dir / "p.htm", page);
  ASSERT_TRUE(std::filesystem::create_directory(dir / "store"));
  ASSERT_EQ(symlink("store/copy.htm", (dir / "copy.htm").c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", (dir / "null.htm").c_str()), 0);

  BundleRun run = RunBundleHere({"--kit", dir / "kit", "-o", dir / "copy.htm", dir / "p.htm"});
  EXPECT_EQ(run.status, kBundleOk) << run.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "copy.htm"));
  const std::string copy = ReadFileBytes(dir / "store/copy.htm");
  EXPECT_NE(copy.find("<html"), std::string::npos);

  run = RunBundleHere({"--kit", dir / "kit", "-o", dir / "null.htm", dir / "p.htm"});
  EXPECT_EQ(run.status, kBundleOk) << run.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "null.htm"));
  struct stat null;
  ASSERT_EQ(stat("/dev/null", &null), 0);
  EXPECT_TRUE(S_ISCHR(null.st_mode));
  EXPECT_EQ(dir.Listing(), "copy.htm kit null.htm p.htm store");
  EXPECT_EQ(ReadFileBytes(dir / "p.htm"), page);
}

// A tmpfs of its own, for a folder that refuses writes for root as well, or
// a disk that fills up; unmounted at the end.
class SmallMount {
 public:
  SmallMount(const std::string& path, const char* options, unsigned long flags) : path_(path) {
    std::filesystem::create_directories(path);
    mounted_ = geteuid() == 0 && mount("tmpfs", path.c_str(), "tmpfs", flags, options) == 0;
  }
  ~SmallMount() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

class BundleWriteFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteKit(dir_ / "kit");
    // An image large enough that its copy fills a small disk half way.
    WriteFileBytes(dir_ / "big.png", testing::kPngBytes + std::string(300000, 'z'));
    WriteFileBytes(dir_ / "p.htm", testing::PageWith({}, {testing::NodeRow("a", "a", "big.png")}));
  }
  void ExpectRefused(const std::string& folder, const std::string& reason) {
    const BundleRun run = RunBundleHere({"--kit", dir_ / "kit", "-o", folder + "/copy.htm", dir_ / "p.htm"});
    EXPECT_EQ(run.status, kBundleWriteFailed);
    EXPECT_EQ(run.err, "plotweave-bundle: cannot write " + folder + "/copy.htm: " + reason + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no copy and no temporary file is left";
    EXPECT_EQ(ReadFileBytes(dir_ / "p.htm"), testing::PageWith({}, {testing::NodeRow("a", "a", "big.png")}));
  }
  TempDir dir_;
};

TEST_F(BundleWriteFailure, UnwritableFolder) {
  const std::string folder = dir_ / "locked";
  if (geteuid() != 0) {
    std::filesystem::create_directories(folder);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    ExpectRefused(folder, "Permission denied");
    chmod(folder.c_str(), 0755);
    return;
  }
  // Permission bits do not stop root; a read-only file system does.
  SmallMount mount(folder, "size=64k", MS_RDONLY);
  if (!mount.mounted()) GTEST_SKIP() << "cannot mount a read-only tmpfs here";
  ExpectRefused(folder, "Read-only file system");
}

TEST_F(BundleWriteFailure, FullDisk) {
  if (geteuid() != 0) GTEST_SKIP() << "a full disk needs a small tmpfs, which only root can mount";
  const std::string folder = dir_ / "small";
  SmallMount mount(folder, "size=64k", 0);
  if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  ExpectRefused(folder, "No space left on device");
}
#endif

}  // namespace
}  // namespace plotweave
