// The page is put in place whole or not at all, and runs of one plan exclude
// each other while runs of other plans do not.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "io/replacing_file.h"
#include "io/run_lock.h"
#include "io/work_file.h"
#include "io/write_target.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

void Put(ReplacingFile& file, const std::string& bytes) {
  ASSERT_TRUE(file);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
}

TEST(ReplacingFile, TakesThePlaceOfTheOldFileOnlyWhenCommitted) {
  TempDir dir;
  const std::string page = dir / "p_self.htm";
  WriteFileBytes(page, "old page");
  {
    ReplacingFile file(page.c_str(), "wb");
    Put(file, "new page, longer than the old");
    // Written, but not in place yet: a reader still sees the old page whole.
    EXPECT_EQ(ReadFileBytes(page), "old page");
    EXPECT_TRUE(file.Commit());
  }
  EXPECT_EQ(ReadFileBytes(page), "new page, longer than the old");
  EXPECT_EQ(dir.Listing(), "p_self.htm");

  // Dropped before the commit: the page stays as it was, and no file is left.
  {
    ReplacingFile file(page.c_str(), "wb");
    Put(file, "half");
  }
  EXPECT_EQ(ReadFileBytes(page), "new page, longer than the old");
  EXPECT_EQ(dir.Listing(), "p_self.htm");

  // With no page before, none after.
  {
    ReplacingFile file((dir / "q.htm").c_str(), "wb");
    Put(file, "half");
  }
  EXPECT_EQ(dir.Listing(), "p_self.htm");
}

TEST(ReplacingFile, TakesOverWhatAnInterruptedWriterLeft) {
  TempDir dir;
  const std::string page = dir / "p.htm";
  WriteFileBytes(page + ".tmp", std::string(5000, 'x'));
  ReplacingFile file(page.c_str(), "wb");
  Put(file, "whole");
  EXPECT_TRUE(file.Commit());
  EXPECT_EQ(ReadFileBytes(page), "whole");
  EXPECT_EQ(dir.Listing(), "p.htm");
}

TEST(ReplacingFile, FailedReplaceKeepsWhatStoodThere) {
  // A folder that is not empty cannot be replaced by a file on any system.
  TempDir dir;
  const std::string page = dir / "p.htm";
  ASSERT_TRUE(std::filesystem::create_directory(page));
  WriteFileBytes(page + "/inside", "kept");
  ReplacingFile file(page.c_str(), "wb");
  EXPECT_FALSE(file);
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(ReadFileBytes(page + "/inside"), "kept");
  EXPECT_EQ(dir.Listing(), "p.htm");
}

TEST(ReplacingFile, UniqueTemporaryNamesKeepWritersWithoutALockApart) {
  TempDir dir;
  const std::string copy = dir / "c.htm";
  // Something another writer has under the name the first attempt would take
  // is neither written into nor removed.
#ifdef _WIN32
  const long pid = _getpid();
#else
  const long pid = getpid();
#endif
  const std::string taken = copy + ".part-" + std::to_string(pid) + "-0";
  WriteFileBytes(taken, "another writer's");
  {
    ReplacingFile first(copy.c_str(), "wb", TempName::kUnique);
    ReplacingFile second(copy.c_str(), "wb", TempName::kUnique);
    Put(first, "first, longer");
    Put(second, "second");
    EXPECT_TRUE(first.Commit());
    EXPECT_EQ(ReadFileBytes(copy), "first, longer");
    EXPECT_TRUE(second.Commit());
  }
  EXPECT_EQ(ReadFileBytes(copy), "second");
  EXPECT_EQ(ReadFileBytes(taken), "another writer's");
  std::filesystem::remove(taken);
  EXPECT_EQ(dir.Listing(), "c.htm");

  // Dropped before the commit: the copy stays and no file is left.
  {
    ReplacingFile dropped(copy.c_str(), "wb", TempName::kUnique);
    Put(dropped, "half");
  }
  EXPECT_EQ(ReadFileBytes(copy), "second");
  EXPECT_EQ(dir.Listing(), "c.htm");
}

TEST(ReplacingFile, ErrnoTellsWhyNothingWasWritten) {
  TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir / "folder"));
  errno = 0;
  ReplacingFile onFolder((dir / "folder").c_str(), "wb", TempName::kUnique);
  EXPECT_FALSE(onFolder);
  EXPECT_EQ(errno, EISDIR);
  errno = 0;
  ReplacingFile inMissingFolder((dir / "missing/p.htm").c_str(), "wb");
  EXPECT_FALSE(inMissingFolder);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(dir.Listing(), "folder");
}

#ifndef _WIN32
TEST(ReplacingFile, ALinkStaysAndWhatItLeadsToIsReplaced) {
  TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir / "store"));
  WriteFileBytes(dir / "store/p.htm", "old");
  ASSERT_EQ(symlink("store/p.htm", (dir / "p.htm").c_str()), 0);
  {
    ReplacingFile file((dir / "p.htm").c_str(), "wb");
    Put(file, "new");
    EXPECT_TRUE(file.Commit());
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "p.htm"));
  EXPECT_EQ(ReadFileBytes(dir / "store/p.htm"), "new");
  EXPECT_EQ(dir.Listing(), "p.htm store");
  EXPECT_FALSE(FileExists(dir / "store/p.htm.tmp"));

  // A link to a file not made yet: the file is made where the link leads; a
  // link into a missing folder leads nowhere a file can be made.
  ASSERT_EQ(symlink("store/q.htm", (dir / "q.htm").c_str()), 0);
  ASSERT_EQ(symlink("missing/r.htm", (dir / "r.htm").c_str()), 0);
  {
    ReplacingFile file((dir / "q.htm").c_str(), "wb");
    Put(file, "made");
    EXPECT_TRUE(file.Commit());
    ReplacingFile nowhere((dir / "r.htm").c_str(), "wb");
    EXPECT_FALSE(nowhere);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "q.htm"));
  EXPECT_EQ(ReadFileBytes(dir / "store/q.htm"), "made");
  EXPECT_EQ(dir.Listing(), "p.htm q.htm r.htm store");
}
#endif

TEST(WorkFile, ReadsBackOnItsHandleAndRemovesOnlyItsOwnFile) {
  TempDir dir;
  const std::string name = dir / "p.out";
  // A hard-linked file under the name: it is replaced, and its other name
  // keeps what it held.
  WriteFileBytes(dir / "other", "kept");
  ASSERT_TRUE(std::filesystem::exists(dir / "other"));
  std::filesystem::create_hard_link(dir / "other", name);
  WorkFile file;
  ASSERT_TRUE(file.Create(name.c_str(), "wt"));
  ASSERT_GE(std::fputs("line one\nline two\n", file.handle().get()), 0);
  EXPECT_EQ(ReadFileBytes(dir / "other"), "kept");
  // Someone puts another file at the name: the run still reads what it
  // wrote, and leaves the other file alone.
  std::filesystem::rename(name, dir / "moved");
  WriteFileBytes(name, "someone else's");
  ASSERT_TRUE(file.Rewind());
  char text[64] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file.handle().get()), testing::NativeLines("line one\nline two\n").size());
  EXPECT_EQ(testing::LfLines(text), "line one\nline two\n");
  file.Remove();
  EXPECT_EQ(ReadFileBytes(name), "someone else's");
  EXPECT_TRUE(FileExists(dir / "moved"));
}

#ifndef _WIN32
TEST(ReplacingFile, AWriterWithoutALockRemovesTheDeadWritersPartsAndNothingElse) {
  TempDir dir;
  const std::string copy = dir / "c.htm";
  // No process has a number this large; the parent of this test is alive.
  const std::string dead = copy + ".part-999999999-0";
  const std::string alive = copy + ".part-" + std::to_string(getppid()) + "-3";
  WriteFileBytes(dead, "left by a killed writer");
  WriteFileBytes(alive, "being written");
  WriteFileBytes(dir / "outside", "outside");
  ASSERT_EQ(symlink("outside", (copy + ".part-999999998-0").c_str()), 0);
  WriteFileBytes(copy + ".part-999999997-x", "not a part file's name");
  WriteFileBytes(dir / "d.htm.part-999999999-0", "another copy's");
  {
    ReplacingFile file(copy.c_str(), "wb", TempName::kUnique);
    Put(file, "whole");
    EXPECT_TRUE(file.Commit());
  }
  EXPECT_FALSE(FileExists(dead));
  EXPECT_EQ(ReadFileBytes(alive), "being written");
  EXPECT_EQ(ReadFileBytes(dir / "outside"), "outside");
  EXPECT_TRUE(std::filesystem::is_symlink(copy + ".part-999999998-0"));
  EXPECT_TRUE(FileExists(copy + ".part-999999997-x"));
  EXPECT_TRUE(FileExists(dir / "d.htm.part-999999999-0"));
  EXPECT_EQ(ReadFileBytes(copy), "whole");
}

TEST(ReplacingFile, WhatIsWrittenInPlaceIsNeverRemoved) {
  TempDir dir;
  ASSERT_EQ(symlink("/dev/full", (dir / "full.htm").c_str()), 0);
  {
    // Buffered, so that the failure comes with the commit.
    ReplacingFile file((dir / "full.htm").c_str(), "wb");
    Put(file, "whole");
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(errno, ENOSPC);
  }
  {
    ReplacingFile dropped((dir / "full.htm").c_str(), "wb");
    Put(dropped, "half");
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "full.htm"));
  EXPECT_EQ(dir.Listing(), "full.htm");
}

// Names of open files are found by their spelling, through links of the
// user's own, and in procfs whatever the spelling; other names are not.
TEST(OpenFileLink, FoundByNameThroughLinksAndInProcFs) {
  TempDir dir;
  WriteFileBytes(dir / "plain.htm", "x");
  ASSERT_EQ(symlink("/dev/stdout", (dir / "out.htm").c_str()), 0);
  ASSERT_EQ(symlink("out.htm", (dir / "again.htm").c_str()), 0);
  ASSERT_EQ(symlink("plain.htm", (dir / "file.htm").c_str()), 0);
  ASSERT_EQ(symlink("missing.htm", (dir / "dangling.htm").c_str()), 0);
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/2";
  const struct {
    std::string name;
    bool found;
    int fd;
  } cases[] = {
      {"/dev/stdout", true, 1},  {"/dev/stderr", true, 2},        {"/dev/fd/7", true, 7},
      {"/proc/self/fd/0", true, 0}, {own, true, 2},              {dir / "out.htm", true, 1},
      {dir / "again.htm", true, 1}, {dir / "plain.htm", false, -1}, {dir / "file.htm", false, -1},
      {dir / "dangling.htm", false, -1}, {"/dev/fd/x", false, -1}, {"/dev/null", false, -1},
#ifdef __linux__
      // Another spelling of an open-file link names no descriptor of ours.
      {"/proc/self/../self/fd/1", true, -1},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const OpenFileLink link = OpenFileLinkBehind(c.name.c_str());
    EXPECT_EQ(link.found, c.found);
    EXPECT_EQ(link.fd, c.fd);
  }
}
#endif

TEST(PlanLock, RunsOfOneBaseNameExcludeEachOtherAndLeaveNoFile) {
  TempDir dir;
  WriteFileBytes(dir / "a.lst", "#NODES\n");
  WriteFileBytes(dir / "b.lst", "#NODES\n");
  {
    const PlanLock first((dir / "a").c_str(), PlanLock::Wait::kUntilFree);
    EXPECT_TRUE(first.held());
    // An editor saves the plan by renaming a new file over it: the base name
    // is still locked.
    WriteFileBytes(dir / "a.lst.new", "#NODES\nk1 C x\n");
    std::filesystem::rename(dir / "a.lst.new", dir / "a.lst");
    const PlanLock second((dir / "a").c_str(), PlanLock::Wait::kNo);
    EXPECT_FALSE(second.held());
    // Another plan in the same folder is free, and the plan stays readable.
    const PlanLock other((dir / "b").c_str(), PlanLock::Wait::kNo);
    EXPECT_TRUE(other.held());
    EXPECT_EQ(ReadFileBytes(dir / "a.lst"), "#NODES\nk1 C x\n");
  }
  {
    const PlanLock again((dir / "a").c_str(), PlanLock::Wait::kNo);
    EXPECT_TRUE(again.held());
  }
  // The lock files went with the last lock.
  EXPECT_EQ(dir.Listing(), "a.lst b.lst");
}

#ifndef _WIN32
TEST(PlanLock, WhatStandsAtTheLockNameIsLockedOrLeftButNeverLost) {
  TempDir dir;
  // A killed run's empty lock file is taken over and removed.
  WriteFileBytes(dir / "killed.lock", "");
  { const PlanLock lock((dir / "killed").c_str(), PlanLock::Wait::kNo); }
  // A file of the user's own under the name is locked, and kept.
  WriteFileBytes(dir / "notes.lock", "mine");
  {
    const PlanLock lock((dir / "notes").c_str(), PlanLock::Wait::kNo);
    EXPECT_TRUE(lock.held());
    EXPECT_FALSE(PlanLock((dir / "notes").c_str(), PlanLock::Wait::kNo).held());
  }
  EXPECT_EQ(ReadFileBytes(dir / "notes.lock"), "mine");
  // A link is not followed and a FIFO not opened: the folder is locked
  // instead, which still keeps the runs of the plan apart.
  WriteFileBytes(dir / "outside", "outside");
  ASSERT_EQ(symlink("outside", (dir / "linked.lock").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "fifo.lock").c_str(), 0644), 0);
  for (const char* base : {"linked", "fifo"}) {
    const PlanLock lock((dir / base).c_str(), PlanLock::Wait::kNo);
    EXPECT_TRUE(lock.held()) << base;
    EXPECT_FALSE(PlanLock((dir / base).c_str(), PlanLock::Wait::kNo).held()) << base;
  }
  EXPECT_EQ(ReadFileBytes(dir / "outside"), "outside");
  EXPECT_EQ(dir.Listing(), "fifo.lock linked.lock notes.lock outside");
}
#endif

}  // namespace
}  // namespace plotweave
