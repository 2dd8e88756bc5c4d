// The preview's page against the standalone copy of the page plotweave writes
// for the same plan, the preview's reading of damaged plans, and the plan's
// file as the preview reads and stamps it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>

#include "bundle/kit.h"
#include "bundle/run_files.h"
#include "preview/page_build.h"
#include "preview/plan_file.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::TempDir;

class Quiet final : public FindingSink {
 public:
  void Report(const Finding&) override { ++count; }
  long count = 0;
};

// The preview's buffers are large; one set serves every test.
PreviewFindings gFindings;
PreviewPage gPage;

// The source tree's kit, built by npm run build in web/.
const KitSearch& Kit() {
  static KitSearch kit;
  static const std::string site = testing::SourceDir() + "/web/site";
  FindKit(site.c_str(), nullptr, nullptr, &kit);
  return kit;
}

PreviewOutcome Preview(const std::string& plan, const BuildSetting& build, long* reported = nullptr,
                       const char* folder = "") {
  Quiet quiet;
  PageFolderFiles files(folder, Kit(), false);
  const PreviewOutcome outcome = BuildPreview(reinterpret_cast<const unsigned char*>(plan.data()), plan.size(), build,
                                              "plan.lst", quiet, files, &gFindings, &gPage);
  if (reported != nullptr) *reported = quiet.count;
  return outcome;
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text->find(from, at)) != std::string::npos; at += to.size()) text->replace(at, from.size(), to);
}

// The served page without the preview's client.
std::string WithoutClient(std::string page) {
  ReplaceAll(&page, "<script type=\"text/javascript\" src=\"/preview/client.js\"></script>\n", "");
  return page;
}

// A plan at every table's capacity, Hangul (KS code) in its labels.
std::string FullPlan() {
  std::string plan = "#PROJECT\nh1 \xC7\xD1\xBE\xE7_full\n#CLASS\n";
  for (int c = 0; c < 100; ++c) plan += "C" + std::to_string(c) + " darkred box " + std::to_string(c % 2) + "\n";
  plan += "#RELATION\n";
  for (int r = 0; r < 100; ++r) plan += "R" + std::to_string(r) + " gray arrow " + std::to_string(r % 2) + "\n";
  plan += "#NODES\n";
  for (int n = 0; n < 512; ++n) {
    plan += "n" + std::to_string(n) + " C" + std::to_string(n % 100) + " \xB3\xEB\xB5\xE5_" + std::to_string(n) +
            " /ref/" + std::to_string(n) + ".html" + (n % 7 == 0 ? " img/p" + std::to_string(n % 3) + ".png 1" : "") + "\n";
  }
  plan += "#LINKS\n";
  for (int l = 0; l < 800; ++l) {
    plan += "n" + std::to_string(l % 512) + " n" + std::to_string((l * 7 + 1) % 512) + " R" + std::to_string(l % 100) + "\n";
  }
  return plan;
}

// Whatever plotweave writes for a plan, the preview serves that page's
// standalone copy, pictures and all, and refuses what plotweave refuses.
TEST(PreviewPage, IsTheStandaloneCopyOfThePagePlotweaveWrites) {
  if (Kit().found < 0) GTEST_SKIP() << "the kit is not built in web/site (npm run build in web/)";
  const std::string examples = testing::SourceDir() + "/examples/";
  std::string plans[] = {testing::ReadFileBytes(examples + "ontology.lst"),
                         testing::ReadFileBytes(examples + "ontology-utf8.lst"),
                         testing::ReadFileBytes(examples + "ontology-utf16le.lst"), FullPlan(), ""};
  plans[4] = plans[0];
  ReplaceAll(&plans[4], "\nPerson darkred", "\nPersonne darkred");  // a fault: an undeclared class
  const struct {
    const char* program;
    const BuildSetting& build;
  } builds[] = {{PLOTWEAVE_SELF_PROGRAM, kSameWindowBuild}, {PLOTWEAVE_BLANK_PROGRAM, kNewWindowBuild}};
  for (const auto& b : builds) {
    for (const std::string& plan : plans) {
      TempDir dir;
      testing::WriteFileBytes(dir / "plan.lst", plan);
      ASSERT_EQ(mkdir((dir / "img").c_str(), 0755), 0);
      for (const char* picture : {"sungnyemun.png", "heunginjimun.png", "sukjeongmun.png"}) {
        testing::WriteFileBytes(dir / ("img/" + std::string(picture)), testing::ReadFileBytes(examples + "img/" + picture));
      }
      testing::WriteFileBytes(dir / "img/p0.png", "GIF89a tiny");
      int status = 0;
      testing::RunProgram(b.program, dir.path(), {"plan.lst"}, &status);
      const std::string pageName = testing::PageName(b.build, "plan");
      const std::string pageFile = dir / pageName;
      const PreviewOutcome outcome = Preview(plan, b.build, nullptr, dir.path().c_str());
      if (!testing::FileExists(pageFile)) {
        EXPECT_EQ(outcome, PreviewOutcome::kRefused) << b.program;
        EXPECT_GT(gFindings.counts.errors, 0);
        continue;
      }
      ASSERT_EQ(outcome, PreviewOutcome::kDrawn) << b.program;
      testing::RunProgram(PLOTWEAVE_BUNDLE_PROGRAM, dir.path(),
                          {"--kit", testing::SourceDir() + "/web/site", pageName, "-o", "copy.htm"}, &status);
      ASSERT_EQ(status, 0) << b.program;
      const std::string served(reinterpret_cast<const char*>(gPage.bytes), gPage.size);
      EXPECT_NE(served.find("data:image/png;base64,"), std::string::npos);
      EXPECT_EQ(WithoutClient(served), testing::LfLines(testing::ReadFileBytes(dir / "copy.htm"))) << b.program;
    }
  }
}

// The panel's findings are the checker's, each tied to the node or link of
// its line.
TEST(PreviewPage, FindingsNameTheirNodeOrLink) {
  std::string plan = "#CLASS\nPerson red box\n#RELATION\nknows gray line\n#NODES\np1 Person A\np2 Persn B\n"
                     "#LINKS\np1 p2 knows\np1 p9 knows\n";
  ASSERT_EQ(Preview(plan, kNewWindowBuild), PreviewOutcome::kRefused);
  ASSERT_EQ(gFindings.outcome, PreviewOutcome::kRefused);
  ASSERT_GE(gFindings.shown, 1);
  EXPECT_EQ(gFindings.panel[0].finding.line, 7);
  EXPECT_STREQ(gFindings.panel[0].target.nodeId, "p2");
  bool linkFound = false;
  for (int i = 0; i < gFindings.shown; ++i) linkFound |= gFindings.panel[i].target.link == 1;
  EXPECT_TRUE(linkFound);
}

// Half-written plans, plans cut anywhere and random bytes: every one gives an
// outcome and findings, never a crash or a page past its buffer.
TEST(PreviewPage, DamagedPlansGiveAnOutcome) {
  const std::string plan = FullPlan();
  std::mt19937 rng(24);
  for (size_t cut = 0; cut < plan.size(); cut += 997) {
    const PreviewOutcome outcome = Preview(plan.substr(0, cut), kSameWindowBuild);
    if (outcome == PreviewOutcome::kDrawn) {
      EXPECT_LE(gPage.size, sizeof gPage.bytes);
    }
  }
  for (int round = 0; round < 40; ++round) {
    std::string bytes(1 + rng() % 20000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    if (round % 4 == 0) bytes.replace(0, 3, "\xEF\xBB\xBF");  // a UTF-8 mark, then garbage
    if (round % 4 == 1) bytes.replace(0, 2, "\xFF\xFE");      // UTF-16, odd length and all
    long reported = 0;
    const PreviewOutcome outcome = Preview(bytes, kNewWindowBuild, &reported);
    EXPECT_TRUE(outcome == PreviewOutcome::kDrawn || outcome == PreviewOutcome::kRefused ||
                outcome == PreviewOutcome::kUnreadable);
    EXPECT_LE(gFindings.shown, kPanelFindings);
    EXPECT_EQ(reported, gFindings.counts.errors + gFindings.counts.warnings + gFindings.counts.notes);
  }
}

TEST(PlanFile, ReadWholeOrRefused) {
  TempDir dir;
  static unsigned char buffer[64];
  size_t size = 0;
  EXPECT_EQ(ReadPlanFile((dir / "none.lst").c_str(), buffer, sizeof buffer, &size), PlanRead::kMissing);
  ASSERT_EQ(mkfifo((dir / "fifo.lst").c_str(), 0644), 0);
  EXPECT_EQ(ReadPlanFile((dir / "fifo.lst").c_str(), buffer, sizeof buffer, &size), PlanRead::kNotAFile);
  testing::WriteFileBytes(dir / "plan.lst", std::string(64, 'x'));
  ASSERT_EQ(ReadPlanFile((dir / "plan.lst").c_str(), buffer, sizeof buffer, &size), PlanRead::kRead);
  EXPECT_EQ(size, 64u);
  testing::WriteFileBytes(dir / "plan.lst", std::string(65, 'x'));
  EXPECT_EQ(ReadPlanFile((dir / "plan.lst").c_str(), buffer, sizeof buffer, &size), PlanRead::kTooLarge);

  // A save by rename with the same size and time still changes the stamp.
  const PlanStamp before = StampPlan((dir / "plan.lst").c_str());
  testing::WriteFileBytes(dir / "new.lst", std::string(65, 'y'));
  struct stat st;
  ASSERT_EQ(stat((dir / "plan.lst").c_str(), &st), 0);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "new.lst").c_str(), times, 0), 0);
  ASSERT_EQ(rename((dir / "new.lst").c_str(), (dir / "plan.lst").c_str()), 0);
  EXPECT_FALSE(StampPlan((dir / "plan.lst").c_str()) == before);
  EXPECT_FALSE(StampPlan((dir / "none.lst").c_str()).present);
}

}  // namespace
}  // namespace plotweave
