// Images that change under the bundler, and images it may not read.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "bundle/run_bundle.h"
#include "bundle/run_files.h"
#include "tests/bundle/bundle_support.h"

namespace plotweave {
namespace {

using testing::BundleRun;
using testing::NodeRow;
using testing::PageWith;
using testing::RunBundleHere;
using testing::TempDir;
using testing::WriteFileBytes;

// img/x.gif is swapped, by rename, between a file of the folder, a link to a
// file outside it and a FIFO while copies are made: no copy may hold a byte
// of the outside file, and none may wait on the FIFO.
TEST(ImageRace, ASwappedImageNeverBringsInAnOutsideFileNorHangs) {
  TempDir dir;
  testing::WriteKit(dir / "kit");
  WriteFileBytes(dir / "secret.gif", "GIF89a outside secret");
  std::filesystem::create_directories(dir / "page/img");
  WriteFileBytes(dir / "page/p.htm", PageWith({}, {NodeRow("x", "<img src=\"img/x.gif\"/>", "img/x.gif")}));
  const std::string secretUri = "data:image/gif;base64,R0lGODlhIG91dHNpZGUgc2VjcmV0";
  const std::string insideUri = "data:image/gif;base64,R0lGODlhIGluc2lkZQ==";

  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    const std::string next = dir / "page/img/next";
    const std::string image = dir / "page/img/x.gif";
    for (unsigned i = 0; !stop; ++i) {
      switch (i % 3) {
        case 0:
          WriteFileBytes(next, "GIF89a inside");
          break;
        case 1:
          symlink((dir / "secret.gif").c_str(), next.c_str());
          break;
        case 2:
          mkfifo(next.c_str(), 0600);
          break;
      }
      std::rename(next.c_str(), image.c_str());
    }
  });
  // A copy that waits on the FIFO ends the test instead of hanging it.
  alarm(600);
  int inlined = 0;
  int leftAsItWas = 0;
  constexpr int kRuns = 1200;
  for (int run = 0; run < kRuns; ++run) {
    OpenImagesStepByStep(run % 2 == 1);
    const BundleRun copy = RunBundleHere({"--kit", dir / "kit", dir / "page/p.htm", "-o", "-"});
    ASSERT_EQ(copy.status, kBundleOk) << copy.err;
    ASSERT_EQ(copy.out.find(secretUri), std::string::npos) << "run " << run;
    if (copy.out.find(insideUri) != std::string::npos) ++inlined;
    if (copy.out.find("'img/x.gif'") != std::string::npos) ++leftAsItWas;
  }
  alarm(0);
  OpenImagesStepByStep(false);
  stop = true;
  swapper.join();
  // Both outcomes were met, so the swaps did race with the copies.
  EXPECT_GT(inlined, 0);
  EXPECT_GT(leftAsItWas, 0);
}

// An image that is there but may not be read is a read failure, not a
// missing image.
TEST(ImageRace, AnImageThatMayNotBeReadIsAReadFailure) {
  TempDir dir;
  testing::WriteKit(dir / "kit");
  WriteFileBytes(dir / "p.htm", PageWith({}, {NodeRow("a", "a", "locked.png")}));
  WriteFileBytes(dir / "locked.png", testing::kPngBytes);
  ASSERT_EQ(chmod((dir / "locked.png").c_str(), 0), 0);
  const std::string want = "plotweave-bundle: cannot read image " + (dir / "locked.png") + ": Permission denied\n";
  if (geteuid() != 0) {
    const BundleRun run = RunBundleHere({"--kit", dir / "kit", dir / "p.htm", "-o", "-"});
    EXPECT_EQ(run.status, kBundleUnreadable);
    EXPECT_EQ(run.err, want);
    return;
  }
  // Root reads any file: the program runs as nobody.
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string err = dir / "err.txt";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int nullFd = open("/dev/null", O_WRONLY);
    if (errFd < 0 || nullFd < 0 || dup2(errFd, 2) < 0 || dup2(nullFd, 1) < 0) _exit(100);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(101);
    execl(PLOTWEAVE_BUNDLE_PROGRAM, "plotweave-bundle", "--kit", (dir / "kit").c_str(), (dir / "p.htm").c_str(),
          "-o", "-", static_cast<char*>(nullptr));
    _exit(102);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kBundleUnreadable);
  EXPECT_EQ(testing::ReadFileBytes(err), want);
}

}  // namespace
}  // namespace plotweave
#endif
