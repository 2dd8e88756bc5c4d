// Plan names and files that are not what a plan usually is: blanks, several
// dots, leading dots, bytes beyond ASCII, symbolic links, names at the length
// limits, and plans or derived files that are directories, FIFOs or devices.
// Every run ends (a time limit kills a hung one) and says what it did.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/robust/robust_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::PageName;

const std::string kPlan = "#CLASS\nPlace blue dot\n#NODES\nk001 Place Here\n";
const std::string kUtf8Plan = "\xEF\xBB\xBF" + kPlan;

std::string RunPlan(const Build& build, const std::string& dir, const std::vector<std::string>& args) {
  testing::ChildOptions options;
  options.timeLimitSeconds = 20;
  const ChildResult r = RunChild(build.program, dir, args, options);
  EXPECT_EQ(r.signal, 0) << "the run did not end by itself";
  EXPECT_EQ(r.exitStatus, 0);
  return r.output;
}

std::string Success(const std::string& plan, const std::string& page) {
  return kBanner + AnsiLines(plan) + Creating(page) + Created(page);
}

TEST(HostilePaths, BlanksDotsAndBytesBeyondAscii) {
  struct Case {
    std::string arg;   // the one argument
    std::string plan;  // the plan file it names
    std::string base;  // base of the page name
  };
  const Case cases[] = {
      {"two  blanks.lst", "two  blanks.lst", "two  blanks"},
      {"plan.v2.final.lst", "plan.lst", "plan"},
      {"sub dir/plan.lst", "sub dir/plan.lst", "sub dir/plan"},
      {"\xEA\xB3\x84\xED\x9A\x8D.lst", "\xEA\xB3\x84\xED\x9A\x8D.lst", "\xEA\xB3\x84\xED\x9A\x8D"},
      {"\xB0\xE8\xC8\xB9 \xFF\x80.lst", "\xB0\xE8\xC8\xB9 \xFF\x80.lst", "\xB0\xE8\xC8\xB9 \xFF\x80"},
      // A leading dot leaves an empty base name: the files are ".lst" and so on.
      {".hidden.lst", ".lst", ""},
      {"./plan.lst", ".lst", ""},
  };
  for (const Build* b : kBuilds) {
    for (const Case& c : cases) {
      TempDir dir;
      ASSERT_EQ(mkdir((dir / "sub dir").c_str(), 0755), 0);
      WriteFileBytes(dir / c.plan, kPlan);
      const std::string page = PageName(b->setting, c.base);
      EXPECT_EQ(RunPlan(*b, dir.path(), {c.arg}), Success(c.plan, page)) << c.arg;
      EXPECT_EQ(ReadFileBytes(dir / page).substr(0, 3), "\xEF\xBB\xBF") << c.arg;
      EXPECT_FALSE(FileExists(dir / (c.base + ".out"))) << c.arg;
    }
  }
}

TEST(HostilePaths, NamesAtTheLengthLimits) {
  TempDir dir;
  // The longest base names whose derived names still fit 127 bytes.
  const std::string selfBase(118, 's');
  const std::string blankBase(123, 'b');
  WriteFileBytes(dir / (selfBase + ".lst"), kPlan);
  WriteFileBytes(dir / (blankBase + ".lst"), kPlan);
  EXPECT_EQ(RunPlan(testing::kSelfBuild, dir.path(), {selfBase + ".lst"}),
            Success(selfBase + ".lst", selfBase + "_self.htm"));
  EXPECT_EQ(RunPlan(testing::kBlankBuild, dir.path(), {blankBase + ".lst"}),
            Success(blankBase + ".lst", blankBase + ".htm"));
  EXPECT_TRUE(FileExists(dir / (selfBase + "_self.htm")));
  EXPECT_TRUE(FileExists(dir / (blankBase + ".htm")));

  // One byte more is refused before any file is touched.
  const std::string before = dir.Listing();
  EXPECT_EQ(RunPlan(testing::kBlankBuild, dir.path(), {blankBase + "b.x"}),
            kBanner + "Base name is longer than 123 bytes; nothing was read or written.\n");
  EXPECT_EQ(RunPlan(testing::kSelfBuild, dir.path(), {selfBase + "s.lst"}),
            kBanner + "Base name is longer than 118 bytes; nothing was read or written.\n");
  // Arguments longer than any path buffer, alone and joined.
  EXPECT_EQ(RunPlan(testing::kSelfBuild, dir.path(), {std::string(5000, 'x') + ".lst"}),
            kBanner + "Plan path is longer than 127 bytes; nothing was read or written.\n");
  EXPECT_EQ(RunPlan(testing::kSelfBuild, dir.path(), std::vector<std::string>(100, "ab.lst")),
            kBanner + "Plan path is longer than 127 bytes; nothing was read or written.\n");
  EXPECT_EQ(dir.Listing(), before);
}

TEST(HostilePaths, SymbolicLinks) {
  for (const Build* b : kBuilds) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "store").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "work").c_str(), 0755), 0);
    WriteFileBytes(dir / "store/real.lst", kUtf8Plan);
    // A plan that is a link: it is read through the link and never changed;
    // the derived files are named after the link, next to it.
    ASSERT_EQ(symlink("../store/real.lst", (dir / "work/plan.lst").c_str()), 0);
    const std::string page = PageName(b->setting, "plan");
    EXPECT_EQ(RunPlan(*b, dir / "work", {"plan.lst"}),
              kBanner + EncodingLine(1) + Creating(page) + Created(page));
    EXPECT_EQ(ReadFileBytes(dir / "store/real.lst"), kUtf8Plan);
    EXPECT_TRUE(FileExists(dir / ("work/" + page)));

    // A folder reached through a link.
    ASSERT_EQ(symlink("store", (dir / "via").c_str()), 0);
    EXPECT_EQ(RunPlan(*b, dir.path(), {"via/real.lst"}),
              kBanner + EncodingLine(1) + Creating(PageName(b->setting, "via/real")) +
                  Created(PageName(b->setting, "via/real")));
    EXPECT_TRUE(FileExists(dir / (PageName(b->setting, "store/real"))));

    // A link to nothing is a plan that is not there.
    ASSERT_EQ(symlink("nowhere.lst", (dir / "dangling.lst").c_str()), 0);
    EXPECT_EQ(RunPlan(*b, dir.path(), {"dangling.lst"}), kBanner + "Ontology Plan \"dangling.lst\" Not Found!\n");
  }
}

TEST(HostilePaths, PlanThatIsNoRegularFileIsRefused) {
  for (const Build* b : kBuilds) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "folder.lst").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((dir / "fifo.lst").c_str(), 0644), 0);
    // Endless input, and a device that reads empty.
    ASSERT_EQ(symlink("/dev/zero", (dir / "zero.lst").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (dir / "null.lst").c_str()), 0);
    for (const char* name : {"folder", "fifo", "zero", "null"}) {
      const std::string plan = std::string(name) + ".lst";
      EXPECT_EQ(RunPlan(*b, dir.path(), {plan}), kBanner + "Ontology Plan \"" + plan + "\" Cannot be Read!\n");
    }
    EXPECT_EQ(dir.Listing(), "fifo.lst folder.lst null.lst zero.lst");
  }
}

TEST(HostilePaths, DerivedFileThatIsAFifoIsNotOpened) {
  for (const Build* b : kBuilds) {
    const std::string page = PageName(b->setting, "p");
    {
      TempDir dir;
      WriteFileBytes(dir / "p.lst", kUtf8Plan);
      ASSERT_EQ(mkfifo((dir / "p.asc").c_str(), 0644), 0);
      EXPECT_EQ(RunPlan(*b, dir.path(), {"p.lst"}), kBanner + "Scratch File Creation Error: -2\n");
    }
    {
      TempDir dir;
      WriteFileBytes(dir / "p.lst", kPlan);
      ASSERT_EQ(mkfifo((dir / "p.out").c_str(), 0644), 0);
      EXPECT_EQ(RunPlan(*b, dir.path(), {"p.lst"}),
                kBanner + AnsiLines("p.lst") + "Intermediate File p.out Creation Error!\n");
    }
    {
      TempDir dir;
      WriteFileBytes(dir / "p.lst", kPlan);
      ASSERT_EQ(mkfifo((dir / page).c_str(), 0644), 0);
      EXPECT_EQ(RunPlan(*b, dir.path(), {"p.lst"}),
                kBanner + AnsiLines("p.lst") + "\nInput File p.out Not Found!\n\nOutput File " + page +
                    " Creation Error!\nOutput File Encoding Conversion Error.\n");
      EXPECT_TRUE(testing::FileExists(dir / "p.out"));
      EXPECT_EQ(dir.Listing().size(), std::string("p.lst p.out ").size() + page.size());
    }
  }
}

// Found by the whole-run fuzz target: a scratch name that is a link to a
// device was read as the scratch copy, and /dev/full or /dev/zero never end.
// Now a link at a derived name is no place for the run's file at all: the
// step fails and the link stays (tests/safety tries every kind of thing at
// every name).
TEST(HostilePaths, DerivedNameThatIsALinkIsNeitherFollowedNorRemoved) {
  for (const Build* b : kBuilds) {
    for (const char* device : {"/dev/zero", "/dev/full"}) {
      TempDir dir;
      WriteFileBytes(dir / "p.lst", kUtf8Plan);
      ASSERT_EQ(symlink(device, (dir / "p.asc").c_str()), 0);
      EXPECT_EQ(RunPlan(*b, dir.path(), {"p.lst"}), kBanner + "Scratch File Creation Error: -2\n");
      EXPECT_EQ(dir.Listing(), "p.asc p.lst") << device;
    }
    TempDir dir;
    WriteFileBytes(dir / "p.lst", kPlan);
    ASSERT_EQ(symlink("/dev/zero", (dir / "p.out").c_str()), 0);
    EXPECT_EQ(RunPlan(*b, dir.path(), {"p.lst"}),
              kBanner + AnsiLines("p.lst") + "Intermediate File p.out Creation Error!\n");
    EXPECT_EQ(dir.Listing(), "p.lst p.out");
  }
}

}  // namespace
}  // namespace plotweave
