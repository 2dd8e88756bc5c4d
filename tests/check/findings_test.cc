// The program's conventions: output forms, exit status, several plans, and
// that it writes nothing.
#include <gtest/gtest.h>

#include <string>

#include "tests/check/check_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::NativeLines;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Example(const std::string& name) {
  return testing::ReadFileBytes(testing::SourceDir() + "/examples/" + name);
}

TEST(CheckProgram, CleanExamplesPassSilentlyAndTheFolderIsLeftAsItWas) {
  TempDir dir;
  for (const char* name : {"ontology.lst", "ontology-utf8.lst", "ontology-utf16le.lst"}) {
    WriteFileBytes(dir / name, Example(name));
  }
  const std::string before = dir.Listing();
  const CheckRun run = RunCheck(dir.path(), {"ontology.lst", "ontology-utf8.lst", "ontology-utf16le.lst"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  // No scratch file, however briefly: the Unicode plans are read through
  // the normaliser in memory.
  EXPECT_EQ(dir.Listing(), before);
  const CheckRun json = RunCheck(dir.path(), {"--format=json", "ontology-utf16le.lst"});
  EXPECT_EQ(json.out, NativeLines("{\"plan\":\"ontology-utf16le.lst\",\"summary\":{\"nodes\":9,\"links\":9,"
                                  "\"classes\":4,\"relations\":4,\"errors\":0,\"warnings\":0,\"notes\":0}}\n"));
}

TEST(CheckProgram, ExitStatusFollowsTheWorstFindingAndStrictCountsWarnings) {
  TempDir dir;
  const std::string declarations = "#CLASS\nPerson red box\n#NODES\nk001 Person 가\nk002 Person 나\n"
                                   "#RELATION\nknows gray line\n#LINKS\nk001 k002 knows\n";
  WriteFileBytes(dir / "clean.lst", EncodePlan(declarations, PlanForm::kKs));
  WriteFileBytes(dir / "warned.lst", EncodePlan("stray line\n" + declarations, PlanForm::kKs));
  WriteFileBytes(dir / "broken.lst", EncodePlan(declarations + "k001 k003 knows\n", PlanForm::kKs));
  EXPECT_EQ(RunCheck(dir.path(), {"clean.lst"}).status, 0);
  const CheckRun warned = RunCheck(dir.path(), {"warned.lst"});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out, NativeLines("warned.lst:1:1: warning: 1 data line before the first section header is "
                                    "ignored; put it under a header [before-first-header]\n"));
  EXPECT_EQ(RunCheck(dir.path(), {"--strict", "warned.lst"}).status, 1);
  const CheckRun broken = RunCheck(dir.path(), {"clean.lst", "broken.lst", "warned.lst"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.out, NativeLines("broken.lst:10:6: error: the link ends at node \"k003\", which is not under "
                                    "#NODES, so no page is written; add the node or correct the id "
                                    "[second-node-unknown]\n") +
                            warned.out);
  // A plan that cannot be read outweighs errors; the others are still checked.
  const CheckRun missing = RunCheck(dir.path(), {"broken.lst", "missing.lst", "warned.lst"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, broken.out);
}

TEST(CheckProgram, UsageErrorsGoToStandardErrorWithStatusTwo) {
  TempDir dir;
  for (const auto& args : {std::vector<std::string>{}, {"--format=xml", "a.lst"}, {"--bogus", "a.lst"}}) {
    const CheckRun run = RunCheck(dir.path(), args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
  }
  const CheckRun help = RunCheck(dir.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: plotweave-check [OPTION]... PLAN..."), std::string::npos);
  const CheckRun version = RunCheck(dir.path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, NativeLines("plotweave-check (Plotweave) 2.1\n"));
#ifndef _WIN32
  // Help or a version that never arrived is no success.
  EXPECT_EQ(RunCheckIntoFullDisk("--help"), 2);
  EXPECT_EQ(RunCheckIntoFullDisk("--version"), 2);
#endif
}

TEST(CheckProgram, Utf16PlanColumnsFollowItsCharactersInJson) {
  TempDir dir;
  // A character beyond the BMP (two UTF-16 units) and Hangul before the fault.
  WriteFileBytes(dir / "plan.lst",
                 EncodePlan("#CLASS\n사람 red box\n#NODES\nk001 사람 \xF0\x9F\x98\x80가'\n", PlanForm::kUtf16Le));
  const CheckRun run = RunCheck(dir.path(), {"--format=json", "plan.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("{\"plan\":\"plan.lst\",\"line\":4,\"column\":11,\"severity\":\"error\","
                         "\"code\":\"apostrophe\",\"message\":\"the node label \\\"\xF0\x9F\x98\x80가'\\\" holds"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"summary\":{\"nodes\":1,\"links\":0,\"classes\":1,\"relations\":0,\"errors\":1,"
                         "\"warnings\":0,\"notes\":1}}"),
            std::string::npos)
      << run.out;
}

TEST(CheckProgram, NameThatTheMainProgramWouldReadAsAnotherPlan) {
  TempDir dir;
  WriteFileBytes(dir / "site.v2.lst", Example("ontology.lst"));
  const CheckRun run = RunCheck(dir.path(), {"site.v2.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, NativeLines("site.v2.lst:1:1: error: plotweave reads \"site.lst\" for this name, not this "
                                 "file; give the plan one \".\", before \"lst\" [plan-name]\n"));
}

}  // namespace
}  // namespace plotweave

namespace plotweave {
namespace {

TEST(CheckProgram, Cp949SyllablesInAKsPlanAreNamedWhereTheyStand) {
  TempDir dir;
  // "ANSI" from Korean Windows: 김똠이 with 똠 as 8C 63, and 뷁 (94 EE) after a
  // KS syllable whose trail byte is 0xA1 or more; KS text around them.
  const std::string ansi = std::string("#CLASS\nPerson red box\n#NODES\nk001 Person \xB1\xE8\x8C\x63\xC0\xCC\n") +
                           "k002 Person \xB0\xA1\x94\xEE\n#RELATION\nknows gray line\n#LINKS\nk001 k002 knows\n";
  WriteFileBytes(dir / "ansi.lst", ansi);
  const CheckRun run = RunCheck(dir.path(), {"ansi.lst"});
  EXPECT_EQ(run.status, 0);
  const std::string keep = "save the plan as UTF-8 with a byte-order mark to keep it [cp949-character]\n";
  EXPECT_EQ(run.out,
            NativeLines("ansi.lst:4:14: warning: the bytes 8C 63 are \"똠\" in CP949, the \"ANSI\" of Korean "
                        "Windows, which KS code lacks, so the page shows \"▣\" in its place; " + keep +
                        "ansi.lst:5:14: warning: the bytes 94 EE are \"뷁\" in CP949, the \"ANSI\" of Korean "
                        "Windows, which KS code lacks, so the page shows \"▣\" in its place; " + keep));
  EXPECT_EQ(RunCheck(dir.path(), {"--strict", "ansi.lst"}).status, 1);
  // The same syllables in UTF-8 are carried as references: nothing to find.
  WriteFileBytes(dir / "utf8.lst", EncodePlan("#CLASS\nPerson red box\n#NODES\nk001 Person 김똠이\n"
                                              "k002 Person 가뷁\n#RELATION\nknows gray line\n#LINKS\n"
                                              "k001 k002 knows\n",
                                              PlanForm::kUtf8));
  EXPECT_EQ(RunCheck(dir.path(), {"utf8.lst"}).out, "");

  // --fix-encoding writes the UTF-8 copy beside the plan, never over a file;
  // a lead byte at a line's end stays on its line.
  WriteFileBytes(dir / "ansi.lst", ansi + "k002 k001 knows\xB0\n");
  EXPECT_EQ(RunCheck(dir.path(), {"--fix-encoding", "utf8.lst"}).status, 0);
  EXPECT_EQ(dir.Listing(), "ansi.lst utf8.lst");
  // (The relation ends in the lead byte, and so is not declared: status 1.)
  EXPECT_EQ(RunCheck(dir.path(), {"--fix-encoding", "ansi.lst"}).status, 1);
  EXPECT_EQ(testing::ReadFileBytes(dir / "ansi.lst"), ansi + "k002 k001 knows\xB0\n");
  EXPECT_EQ(testing::ReadFileBytes(dir / "ansi-utf8.lst"),
            "\xEF\xBB\xBF#CLASS\nPerson red box\n#NODES\nk001 Person 김똠이\nk002 Person 가뷁\n#RELATION\n"
            "knows gray line\n#LINKS\nk001 k002 knows\nk002 k001 knows▣\n");
  const CheckRun again = RunCheck(dir.path(), {"--fix-encoding", "ansi.lst"});
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(dir.Listing(), "ansi-utf8.lst ansi.lst utf8.lst");
}

}  // namespace
}  // namespace plotweave
