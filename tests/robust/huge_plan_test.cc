// Plans of hundreds of megabytes, far beyond what the tables hold. The model
// has a fixed size and no file is ever held whole, so the run finishes with
// the same peak memory as for a small plan.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/robust/robust_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::PageName;

// Room the run may take beyond a small plan's peak: buffers, never the plan.
constexpr long kSlackKb = 16 * 1024;

const char kHead[] = "#CLASS\nPlace blue dot 1\n#RELATION\nnear gray line 1\n#NODES\n";

// Streams `lines` node lines and then as many link lines into `path`, then a
// line of `longLine` bytes without a line end; UTF-16LE when `utf16`.
// Returns the number of bytes written.
long long WriteHugePlan(const std::string& path, long long lines, long long longLine, bool utf16) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  long long total = 0;
  std::string block;
  auto flush = [&](bool force) {
    if (!force && block.size() < (1u << 20)) return;
    if (utf16) {
      std::string wide;
      wide.reserve(block.size() * 2);
      for (char c : block) {
        wide += c;
        wide += '\0';
      }
      block.swap(wide);
    }
    if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) std::abort();
    total += static_cast<long long>(block.size());
    block.clear();
  };
  if (utf16) {
    if (std::fwrite("\xFF\xFE", 1, 2, f) != 2) std::abort();
    total += 2;
  }
  block += kHead;
  for (long long i = 0; i < lines; ++i) {
    block += "k" + std::to_string(i) + " Place Label_" + std::to_string(i) + " /pages/" + std::to_string(i) + ".html\n";
    flush(false);
  }
  block += "#LINKS\n";
  // Links among the nodes that fit the table, so that the plan stays valid.
  for (long long i = 1; i < lines; ++i) {
    block += "k" + std::to_string((i - 1) % 512) + " k" + std::to_string(i % 512) + " near\n";
    flush(false);
  }
  for (long long i = 0; i < longLine; ++i) {
    block += 'x';
    flush(false);
  }
  flush(true);
  if (std::fclose(f) != 0) std::abort();
  return total;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct SmallRun {
  long peakRssKb;
  size_t nodeRows;  // for 10 nodes
  size_t linkRows;  // for 9 links
};

SmallRun RunSmallPlan(const Build& b, const TempDir& dir) {
  WriteHugePlan(dir / "small.lst", 10, 0, false);
  const ChildResult r = RunChild(b.program, dir.path(), {"small.lst"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.output.find(" has been Created.\n"), std::string::npos) << r.output;
  const std::string page = ReadFileBytes(dir / (PageName(b.setting, "small")));
  return {r.peakRssKb, Count(page, "nodesTable.addRow("), Count(page, "linksTable.addRow(")};
}

TEST(HugePlan, KsPlanOfThreeHundredMegabytes) {
  TempDir dir;
  const long long bytes = WriteHugePlan(dir / "huge.lst", 4'500'000, 20'000'000, false);
  ASSERT_GT(bytes, 300'000'000LL);
  for (const Build* b : kBuilds) {
    const SmallRun small = RunSmallPlan(*b, dir);
    const ChildResult r = RunChild(b->program, dir.path(), {"huge.lst"});
    const std::string page = PageName(b->setting, "huge");
    EXPECT_EQ(r.exitStatus, 0) << "signal " << r.signal;
    EXPECT_EQ(r.output, kBanner + AnsiLines("huge.lst") + Creating(page) + Created(page));
    EXPECT_LE(r.peakRssKb, small.peakRssKb + kSlackKb) << "small plan: " << small.peakRssKb << " KB";
    // The tables are full: 512 nodes and 800 links made it into the page.
    const std::string html = ReadFileBytes(dir / page);
    EXPECT_EQ(Count(html, "nodesTable.addRow("), small.nodeRows - 10 + 512);
    EXPECT_EQ(Count(html, "linksTable.addRow("), small.linkRows - 9 + 800);
    EXPECT_NE(html.find("'k511'"), std::string::npos);
    EXPECT_EQ(html.find("'k512'"), std::string::npos);
  }
}

TEST(HugePlan, Utf16PlanGoesThroughTheScratchFileInPieces) {
  TempDir dir;
  const long long bytes = WriteHugePlan(dir / "wide.lst", 1'000'000, 5'000'000, true);
  ASSERT_GT(bytes, 100'000'000LL);
  for (const Build* b : kBuilds) {
    const SmallRun small = RunSmallPlan(*b, dir);
    const ChildResult r = RunChild(b->program, dir.path(), {"wide.lst"});
    const std::string page = PageName(b->setting, "wide");
    EXPECT_EQ(r.exitStatus, 0) << "signal " << r.signal;
    EXPECT_EQ(r.output, kBanner + EncodingLine(3) + Creating(page) + Created(page));
    EXPECT_LE(r.peakRssKb, small.peakRssKb + kSlackKb) << "small plan: " << small.peakRssKb << " KB";
    EXPECT_FALSE(testing::FileExists(dir / "wide.asc"));
    EXPECT_FALSE(testing::FileExists(dir / "wide.out"));
  }
}

}  // namespace
}  // namespace plotweave
