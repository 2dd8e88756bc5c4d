// Write failures for real: a file size limit that fails a write in the
// middle of a file, as a full disk does, a page name that leads to /dev/full,
// where every write fails, and a directory the run may not write. A run that cannot write a file says so once, prints no
// success line, and leaves no partial file behind; a failed conversion keeps
// the complete intermediate page.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kscode/kscode.h"
#include "tests/robust/robust_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::PageName;

// A valid plan whose page (some 250 KB) is far larger than any write buffer,
// so that writes fail in the middle of the page and not only at the close.
std::string LargePagePlan() {
  std::string plan = "#CLASS\nPlace blue dot 1\n#RELATION\nnear gray line 1\n#NODES\n";
  for (int i = 0; i < 400; ++i) {
    plan += "k" + std::to_string(i) + " Place Label_" + std::to_string(i) + " /" + std::string(200, 'u') + "\n";
  }
  plan += "#LINKS\n";
  for (int i = 1; i < 400; ++i) plan += "k" + std::to_string(i - 1) + " k" + std::to_string(i) + " near\n";
  return plan;
}

const std::string kUtf8Mark = "\xEF\xBB\xBF";

std::string RunPlan(const Build& build, const TempDir& dir, const std::string& arg) {
  const testing::ChildResult r = RunChild(build.program, dir.path(), {arg});
  EXPECT_EQ(r.exitStatus, 0) << "signal " << r.signal;
  return r.output;
}

// The names as a folder listing shows them: sorted, separated by blanks.
std::string ListingOf(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string listing;
  for (const std::string& name : names) listing += (listing.empty() ? "" : " ") + name;
  return listing;
}

// A run on a disk with room for `room` bytes of any one file.
std::string RunWithRoom(const Build& build, const TempDir& dir, const std::string& arg, long room) {
  testing::ChildOptions options;
  options.fileSizeLimit = room;
  const testing::ChildResult r = RunChild(build.program, dir.path(), {arg}, options);
  EXPECT_EQ(r.exitStatus, 0) << "signal " << r.signal;
  return r.output;
}

// Room for the scratch copy of LargePagePlan (some 90 KB) but not for its
// page (some 250 KB).
constexpr long kRoomForThePlanOnly = 150 * 1024;

TEST(WriteFailure, ScratchFileOnAFullDiskEndsTheRunBeforeValidation) {
  struct Case {
    std::string plan;
    long room;
  };
  // Writes that fail in the middle of the file, and the last write of a
  // small one.
  const Case cases[] = {{kUtf8Mark + LargePagePlan(), 64 * 1024},
                        {std::string("\xFF\xFE#\0N\0O\0D\0E\0S\0\n\0", 16), 1}};
  for (const Build* b : kBuilds) {
    for (const Case& c : cases) {
      TempDir dir;
      WriteFileBytes(dir / "p.lst", c.plan);
      EXPECT_EQ(RunWithRoom(*b, dir, "p.lst", c.room),
                kBanner + "Scratch File p.asc Write Error! The plan was not converted.\n");
      // No half a scratch file is left.
      EXPECT_EQ(dir.Listing(), "p.lst");
      EXPECT_EQ(ReadFileBytes(dir / "p.lst"), c.plan);
    }
  }
}

TEST(WriteFailure, IntermediatePageOnAFullDiskIsReportedAndRemoved) {
  for (const Build* b : kBuilds) {
    TempDir dir;
    WriteFileBytes(dir / "p.lst", LargePagePlan());
    EXPECT_EQ(RunWithRoom(*b, dir, "p.lst", kRoomForThePlanOnly),
              kBanner + AnsiLines("p.lst") + "Intermediate File p.out Write Error! No page was created.\n");
    EXPECT_EQ(dir.Listing(), "p.lst");

    // The same from a Unicode plan: its scratch file is gone as well.
    WriteFileBytes(dir / "u.lst", kUtf8Mark + LargePagePlan());
    EXPECT_EQ(RunWithRoom(*b, dir, "u.lst", kRoomForThePlanOnly),
              kBanner + EncodingLine(1) + "Intermediate File u.out Write Error! No page was created.\n");
    EXPECT_EQ(dir.Listing(), "p.lst u.lst");
  }
}

TEST(WriteFailure, VisualizationPageOnAFullDiskIsAFailedConversion) {
  for (const Build* b : kBuilds) {
    TempDir dir;
    const std::string page = PageName(b->setting, "p");
    WriteFileBytes(dir / "p.lst", LargePagePlan());

    // What a successful run writes, for comparison: its intermediate page is
    // kept by a conversion that cannot create its output.
    ASSERT_EQ(mkdir((dir / page).c_str(), 0755), 0);
    RunPlan(*b, dir, "p.lst");
    const std::string intermediate = ReadFileBytes(dir / "p.out");
    ASSERT_GT(intermediate.size(), 200000u);
    ASSERT_EQ(rmdir((dir / page).c_str()), 0);
    ASSERT_EQ(std::remove((dir / "p.out").c_str()), 0);

    // A page name that is the runner's own link to a device is written in
    // place; when that fails, the link is not the run's to remove.
    ASSERT_EQ(symlink("/dev/full", (dir / page).c_str()), 0);
    EXPECT_EQ(RunPlan(*b, dir, "p.lst"),
              kBanner + AnsiLines("p.lst") + Creating(page) + "Output File Encoding Conversion Error.\n");
    // No success line; the intermediate page is whole, and the link stays.
    EXPECT_EQ(dir.Listing(), ListingOf({"p.lst", "p.out", page}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / page));
    EXPECT_EQ(ReadFileBytes(dir / "p.out"), intermediate);
  }
}

// A page from an earlier run outlives a failed conversion (the full-disk test
// under tests/safety/ fails the page at every point of its writing).
TEST(WriteFailure, FailedConversionKeepsTheEarlierPage) {
  const std::string earlier = "\xEF\xBB\xBF<html><body>yesterday's page</body></html>\n";
  for (const Build* b : kBuilds) {
    const std::string page = PageName(b->setting, "p");
    const std::string failed = kBanner + AnsiLines("p.lst") + "\nInput File p.out Not Found!\n\nOutput File " +
                               page + " Creation Error!\nOutput File Encoding Conversion Error.\n";
    // The page's temporary file cannot be made: a folder stands at its name
    // (and stays, empty as it is).
    TempDir dir;
    WriteFileBytes(dir / "p.lst", LargePagePlan());
    WriteFileBytes(dir / page, earlier);
    ASSERT_EQ(mkdir((dir / (page + ".tmp")).c_str(), 0755), 0);
    EXPECT_EQ(RunPlan(*b, dir, "p.lst"), failed);
    EXPECT_EQ(ReadFileBytes(dir / page), earlier);
    EXPECT_EQ(dir.Listing(), ListingOf({"p.lst", "p.out", page, page + ".tmp"}));
  }
}

// A directory that the run may not write. Permission bits do not stop root,
// so a root test run runs the program as nobody.
TEST(WriteFailure, UnwritableDirectoryCreatesNothing) {
  TempDir dir;
  WriteFileBytes(dir / "k.lst", LargePagePlan());
  WriteFileBytes(dir / "u.lst", kUtf8Mark + LargePagePlan());
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  testing::ChildOptions options;
  options.asOtherUser = geteuid() == 0;
  for (const Build* b : kBuilds) {
    const testing::ChildResult k = RunChild(b->program, dir.path(), {"k.lst"}, options);
    if (k.execFailed) {
      chmod(dir.path().c_str(), 0755);
      GTEST_SKIP() << "user nobody cannot run " << b->program;
    }
    EXPECT_EQ(k.output, kBanner + AnsiLines("k.lst") + "Intermediate File k.out Creation Error!\n");
    const testing::ChildResult u = RunChild(b->program, dir.path(), {"u.lst"}, options);
    EXPECT_EQ(u.output, kBanner + "Scratch File Creation Error: -2\n");
    EXPECT_EQ(k.exitStatus, 0);
    EXPECT_EQ(u.exitStatus, 0);
  }
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  EXPECT_EQ(dir.Listing(), "k.lst u.lst");
}

}  // namespace
}  // namespace plotweave
