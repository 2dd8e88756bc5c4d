// Where the copy goes: standard output, the program's own descriptors and
// devices, all written in place and never replaced or removed; and the bound
// on the copy's size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bundle/run_bundle.h"
#include "tests/bundle/bundle_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace plotweave {
namespace {

using testing::BundleRun;
using testing::NodeRow;
using testing::ReadFileBytes;

class DestinationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteKit(dir_ / "kit");
    testing::WriteFileBytes(dir_ / "a.png", testing::kPngBytes);
    testing::WriteFileBytes(dir_ / "p.htm", page_);
  }
  BundleRun Bundle(std::vector<std::string> args) {
    args.insert(args.begin(), {"--kit", dir_ / "kit", dir_ / "p.htm"});
    return testing::RunBundleHere(args);
  }
  const std::string page_ = testing::PageWith({}, {NodeRow("a", "a", "a.png")});
  const std::string copy_ = testing::CopyWith({NodeRow("a", "a", testing::kPngUri)});
  testing::TempDir dir_;
};

TEST_F(DestinationTest, StandardOutputTakesTheCopyAndNothingIsCreated) {
  const BundleRun run = Bundle({"-o", "-"});
  EXPECT_EQ(run.status, kBundleOk) << run.err;
  EXPECT_EQ(run.out, copy_);
  EXPECT_EQ(run.err, "plotweave-bundle: wrote standard output\n");
  EXPECT_EQ(dir_.Listing(), "a.png kit p.htm");
}

#ifndef _WIN32
// The shell's own redirections stay as the user wrote them: ">>" appends to
// the log, a pipe carries the copy, and no file is put in the place of
// either.
TEST_F(DestinationTest, NamesOfTheProgramsOwnDescriptorsAreWrittenInPlace) {
  const std::string log = dir_ / "app.log";
  for (const char* name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "stdout-link"}) {
    SCOPED_TRACE(name);
    std::filesystem::remove(dir_ / "stdout-link");
    ASSERT_EQ(symlink("/dev/stdout", (dir_ / "stdout-link").c_str()), 0);
    testing::WriteFileBytes(log, "earlier line\n");
    const std::string command = "cd " + dir_.path() + " && " + PLOTWEAVE_BUNDLE_PROGRAM + " --kit kit p.htm -o " +
                                name + " >> app.log 2> err.txt";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFileBytes(dir_ / "err.txt");
    EXPECT_EQ(ReadFileBytes(log), "earlier line\n" + copy_);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "stdout-link"));

    int code = -1;
    const std::string piped = testing::RunProgram(PLOTWEAVE_BUNDLE_PROGRAM, dir_.path(),
                                                  {"--kit", "kit", "p.htm", "-o", name}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(piped, copy_);
  }
  EXPECT_EQ(dir_.Listing(), "a.png app.log err.txt kit p.htm stdout-link");
}

// A device named as the copy is written where it is, and a failure leaves it
// there: nothing the run did not create is ever removed.
TEST_F(DestinationTest, ADeviceSurvivesAFailedCopy) {
  std::string full = "/dev/full";
  if (geteuid() == 0) {
    // A device of the test's own, so that the real one is never at stake.
    full = dir_ / "full";
    ASSERT_EQ(mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    const int fd = open(full.c_str(), O_WRONLY);
    if (fd < 0) GTEST_SKIP() << "no device works in " << dir_.path() << " (mounted nodev)";
    close(fd);
  }
  const BundleRun run = Bundle({"-o", full});
  EXPECT_EQ(run.status, kBundleWriteFailed);
  EXPECT_EQ(run.err, "plotweave-bundle: cannot write " + full + ": No space left on device\n");
  struct stat st;
  ASSERT_EQ(stat(full.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, makedev(1, 7));
}
#endif

TEST_F(DestinationTest, ACopyOverTheLimitIsNotWritten) {
  testing::WriteFileBytes(dir_ / "old.htm", "old copy");
  const std::string bytes = std::to_string(copy_.size());
  BundleRun run = Bundle({"--max-size", std::to_string(copy_.size() - 1), "-o", dir_ / "old.htm"});
  EXPECT_EQ(run.status, kBundleTooLarge);
  EXPECT_EQ(run.err, "plotweave-bundle: the copy would be larger than " + std::to_string(copy_.size() - 1) +
                         " bytes; nothing was written (--max-size)\n");
  EXPECT_EQ(ReadFileBytes(dir_ / "old.htm"), "old copy");
  EXPECT_EQ(dir_.Listing(), "a.png kit old.htm p.htm") << "no part file is left";

  // A copy of exactly the limit is written.
  run = Bundle({"--max-size=" + bytes, "-o", dir_ / "old.htm"});
  EXPECT_EQ(run.status, kBundleOk) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_ / "old.htm"), copy_);

  // On standard output what went out stays, and the status says it is cut.
  run = Bundle({"--max-size", "100", "-o", "-"});
  EXPECT_EQ(run.status, kBundleTooLarge);
  EXPECT_LE(run.out.size(), 100u);
  EXPECT_EQ(copy_.compare(0, run.out.size(), run.out), 0);
  EXPECT_EQ(run.err, "plotweave-bundle: the copy is larger than 100 bytes; standard output has only its beginning "
                     "(--max-size)\n");
}

// However many distinct addresses a page leaves as they were, each is named
// once, and only once.
TEST_F(DestinationTest, EveryAddressLeftIsNamedOnce) {
  constexpr int kAddresses = 5000;
  std::vector<std::string> rows;
  for (int i = 0; i < kAddresses; ++i) {
    const std::string address = "missing/" + std::to_string(i) + ".png";
    rows.push_back(NodeRow("n" + std::to_string(i), "<img src=\"" + address + "\"/>", address));
  }
  testing::WriteFileBytes(dir_ / "p.htm", testing::PageWith({}, rows));
  const BundleRun run = Bundle({"-o", "-"});
  EXPECT_EQ(run.status, kBundleOk);
  std::string want;
  for (int i = 0; i < kAddresses; ++i) {
    want += "plotweave-bundle: image not found, it stays as it is: missing/" + std::to_string(i) + ".png\n";
  }
  EXPECT_EQ(run.err, want + "plotweave-bundle: wrote standard output\n");
}

}  // namespace
}  // namespace plotweave
