// The programs end to end: plan files in, console text, files left behind and
// page bytes out, in both builds.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::PageName;

using testing::FileExists;
using testing::NativeLines;
using testing::ReadFileBytes;
using testing::SourceDir;
using testing::TempDir;
using testing::WriteFileBytes;

struct Build {
  const char* program;
  const BuildSetting& setting;
};

const Build kSelf{PLOTWEAVE_SELF_PROGRAM, kSameWindowBuild};
const Build kBlank{PLOTWEAVE_BLANK_PROGRAM, kNewWindowBuild};

const char kBanner[] =
    "\nVisualization Script Converter 2.1 (2017/09/19)\nJorin Vale, Quillon Laboratory, Vantor\n\n";

// Runs a program in `dir` and returns what it printed; its exit status must be 0.
std::string RunProgram(const Build& build, const std::string& dir, const std::vector<std::string>& args) {
  int status = -1;
  std::string out = testing::RunProgram(build.program, dir, args, &status);
  EXPECT_EQ(status, 0);
  return out;
}

// Console text is given here with LF line ends; the program's standard output
// is a text stream, so on Windows each line end must arrive as CR LF.
#define EXPECT_CONSOLE(run, text) EXPECT_EQ(run, NativeLines(text))

// Golden pages are kept once, with LF; on Windows the page is a text file
// written with CR LF line ends, and otherwise the same bytes.
std::string Golden(const std::string& name) {
  return NativeLines(testing::WithBuildHosts(ReadFileBytes(SourceDir() + "/tests/golden/" + name)));
}

// The example's page for a build. The two builds differ only in the target of
// the title anchors, so one golden page serves both.
std::string ExampleGolden(const Build& build) {
  std::string page = Golden("ontology.htm");
  const std::string from = "target=\"_self\"";
  const std::string to = std::string("target=\"") + build.setting.linkTarget + "\"";
  int anchors = 0;
  for (size_t at = page.find(from); at != std::string::npos; at = page.find(from, at + to.size())) {
    page.replace(at, from.size(), to);
    ++anchors;
  }
  EXPECT_EQ(anchors, 7);  // the example's seven titles with an address
  return page;
}

// Compares a page with its golden file. With PLOTWEAVE_UPDATE_GOLDEN=1 a
// same-window page that differs is written over its golden file instead, in
// the form golden text is kept (LF line ends, the default hosts), and
// `git diff tests/golden` shows what changed; the comparison still fails, once.
void ExpectGoldenPage(const std::string& page, const std::string& name, const Build& build) {
  const std::string expected = name == "ontology.htm" ? ExampleGolden(build) : Golden(name);
  EXPECT_EQ(page, expected) << name;
  const char* update = std::getenv("PLOTWEAVE_UPDATE_GOLDEN");
  if (page != expected && update != nullptr && std::string(update) == "1" &&
      &build.setting == &kSameWindowBuild) {
    WriteFileBytes(SourceDir() + "/tests/golden/" + name, testing::WithDefaultHosts(testing::LfLines(page)));
  }
}
std::string Example(const std::string& name) { return ReadFileBytes(SourceDir() + "/examples/" + name); }

std::string Success(const std::string& encodingLines, const std::string& page) {
  return std::string(kBanner) + encodingLines + "Creating " + page +
         " .... Encoding: KSX -> UTF-8\nVisualization Script " + page + " has been Created.\n";
}

std::string AnsiLines(const std::string& plan) {
  return "Input Text Ecoding: ANSI or UTF-8 without BOM.\nSystem regards " + plan +
         " as ANSI encoding.\nText Encoding of LST file: 0 [0:ANSI 1:UTF-8 2:UTF-16(BE) "
         "3:UTF-16(LE)]\n";
}

std::string EncodingLine(int code) {
  return "Text Encoding of LST file: " + std::to_string(code) +
         " [0:ANSI 1:UTF-8 2:UTF-16(BE) 3:UTF-16(LE)]\n";
}

TEST(RunFlow, UsageBannerAndNamesWithoutAPlan) {
  TempDir dir;
  for (const Build* b : {&kSelf, &kBlank}) {
    EXPECT_CONSOLE(RunProgram(*b, dir.path(), {}), "\nUsage: Plotweave <Ontology Data File> \n");
    EXPECT_CONSOLE(RunProgram(*b, dir.path(), {"plan"}), kBanner);
    EXPECT_CONSOLE(RunProgram(*b, dir.path(), {".lst"}), kBanner);
    EXPECT_CONSOLE(RunProgram(*b, dir.path(), {"missing.lst"}),
              std::string(kBanner) + "Ontology Plan \"missing.lst\" Not Found!\n");
  }
  EXPECT_EQ(dir.Listing(), "");
}

TEST(RunFlow, ExamplePlanInEveryEncodingGivesTheGoldenPage) {
  struct Plan {
    const char* file;
    std::string lines;
  };
  const Plan plans[] = {
      {"ontology.lst", AnsiLines("ontology.lst")},
      {"ontology-utf8.lst", EncodingLine(1)},
      {"ontology-utf16le.lst", EncodingLine(3)},
  };
  for (const Build* b : {&kSelf, &kBlank}) {
    for (const Plan& p : plans) {
      TempDir dir;
      WriteFileBytes(dir / p.file, Example(p.file));
      const std::string base = std::string(p.file).substr(0, std::string(p.file).find('.'));
      const std::string page = PageName(b->setting, base);
      EXPECT_CONSOLE(RunProgram(*b, dir.path(), {p.file}), Success(p.lines, page)) << p.file;
      SCOPED_TRACE(std::string(p.file));
      ExpectGoldenPage(ReadFileBytes(dir / page), "ontology.htm", *b);
      // Only the plan and the page remain: no scratch file, no intermediate page.
      const bool pageFirst = page < std::string(p.file);
      EXPECT_EQ(dir.Listing(), pageFirst ? page + " " + p.file : std::string(p.file) + " " + page);
    }
  }
}

TEST(RunFlow, HangulPlanPathsWork) {
  // Users name plans and folders in Korean: the names must reach the program
  // whole and the page must land next to the plan under the derived name.
  const std::string folder = "\xEC\x9E\x90\xEB\xA3\x8C";  // "jaryo", materials
  const std::string base = "\xEC\xA7\x80\xEB\x8F\x84";    // "jido", map
  for (const Build* b : {&kSelf, &kBlank}) {
    for (const char* example : {"ontology.lst", "ontology-utf8.lst"}) {
      TempDir dir;
      ASSERT_TRUE(std::filesystem::create_directory(
          std::filesystem::path(reinterpret_cast<const char8_t*>((dir / folder).c_str()))));
      const std::string plan = folder + "/" + base + ".lst";
      const std::string page = PageName(b->setting, folder + "/" + base);
      WriteFileBytes(dir / plan, Example(example));
      const std::string lines = std::string(example) == "ontology.lst" ? AnsiLines(plan) : EncodingLine(1);
      EXPECT_CONSOLE(RunProgram(*b, dir.path(), {plan}), Success(lines, page)) << example;
      SCOPED_TRACE(std::string(example));
      ExpectGoldenPage(ReadFileBytes(dir / page), "ontology.htm", *b);
      EXPECT_EQ(dir.Listing(), folder);
      EXPECT_TRUE(FileExists(dir / plan));
      EXPECT_FALSE(FileExists(dir / (folder + "/" + base + ".asc")));
      EXPECT_FALSE(FileExists(dir / (folder + "/" + base + ".out")));
    }
  }
}

TEST(RunFlow, EmptyPlanGivesTheBarePage) {
  TempDir dir;
  WriteFileBytes(dir / "e.lst", "");
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {"e.lst"}), Success(AnsiLines("e.lst"), "e_self.htm"));
  ExpectGoldenPage(ReadFileBytes(dir / "e_self.htm"), "empty_self.htm", kSelf);
}

TEST(RunFlow, ArgumentsAreJoinedAndCutAtTheFirstDot) {
  TempDir dir;
  const std::string plan = "#CLASS\nPlace blue dot\n#NODES\nk001 Place Here\n";
  WriteFileBytes(dir / "my plan.lst", plan);
  EXPECT_CONSOLE(RunProgram(kBlank, dir.path(), {"my", "plan.lst"}),
            Success(AnsiLines("my plan.lst"), "my plan.htm"));
  EXPECT_TRUE(FileExists(dir / "my plan.htm"));

  // Whatever follows the first '.' is replaced, a '.' in a folder name included.
  WriteFileBytes(dir / "work.lst", plan);
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {"work.old/plan.txt"}),
            Success(AnsiLines("work.lst"), "work_self.htm"));
  EXPECT_TRUE(FileExists(dir / "work_self.htm"));
}

TEST(RunFlow, OverlongPathsAreRefusedBeforeAnythingIsTouched) {
  TempDir dir;
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {std::string(124, 'a') + ".lst"}),
            std::string(kBanner) + "Plan path is longer than 127 bytes; nothing was read or written.\n");
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {std::string(119, 'a') + ".lst"}),
            std::string(kBanner) + "Base name is longer than 118 bytes; nothing was read or written.\n");
  // The new-window page name is shorter, so the same base name fits there.
  EXPECT_CONSOLE(RunProgram(kBlank, dir.path(), {std::string(119, 'a') + ".lst"}),
            std::string(kBanner) + "Ontology Plan \"" + std::string(119, 'a') + ".lst\" Not Found!\n");
  EXPECT_EQ(dir.Listing(), "");
}

TEST(RunFlow, InvalidPlanWritesNothingAndRemovesTheScratchFile) {
  TempDir dir;
  WriteFileBytes(dir / "bad.lst", "\xEF\xBB\xBF#NODES\nk001 Person Jane\n#LINKS\nk001 k002 knows\n");
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {"bad.lst"}),
            std::string(kBanner) + EncodingLine(1) + "Class Name Person in the Node List is Invalid!\n");
  EXPECT_EQ(dir.Listing(), "bad.lst");
}

TEST(RunFlow, FailedConversionLeavesTheIntermediatePage) {
  TempDir dir;
  WriteFileBytes(dir / "p.lst", "");
  ASSERT_TRUE(std::filesystem::create_directory(dir / "p_self.htm"));
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {"p.lst"}),
            std::string(kBanner) + AnsiLines("p.lst") +
                "\nInput File p.out Not Found!\n\nOutput File p_self.htm Creation Error!\n"
                "Output File Encoding Conversion Error.\n");
  const std::string intermediate = ReadFileBytes(dir / "p.out");
  EXPECT_EQ(intermediate.rfind("<!DOCTYPE HTML PUBLIC", 0), 0u);
  EXPECT_EQ(intermediate.substr(intermediate.size() - NativeLines("</html>\n").size()), NativeLines("</html>\n"));
  EXPECT_EQ(dir.Listing(), "p.lst p.out p_self.htm");
}

TEST(RunFlow, OverlongFieldIsCutWithAWarningAndTheRunGoesOn) {
  TempDir dir;
  WriteFileBytes(dir / "p.lst", "#CLASS\nPlace blue dot\n#NODES\nk001 Place " + std::string(45, 'L') + "\n");
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {"p.lst"}),
            std::string(kBanner) + AnsiLines("p.lst") +
                "Warning: plan line 4: node label is longer than 39 bytes and has been cut.\n"
                "Creating p_self.htm .... Encoding: KSX -> UTF-8\n"
                "Visualization Script p_self.htm has been Created.\n");
  EXPECT_NE(ReadFileBytes(dir / "p_self.htm").find("'" + std::string(39, 'L') + "'"), std::string::npos);
}

TEST(RunFlow, EveryFieldCutIsNamedInItsWarning) {
  TempDir dir;
  const std::string name = std::string(45, 'N');
  const std::string shortField = std::string(20, 's');
  WriteFileBytes(dir / "p.lst", "#PROJECT\n" + std::string(20, 'T') + " " + std::string(300, 'x') + "\n" +
                                    "#CLASS\n" + name + " " + shortField + " " + shortField + "\n" +
                                    "#RELATION\n" + name + " " + shortField + " " + shortField + "\n" +
                                    "#NODES\n" + std::string(45, 'i') + " " + name + " " + std::string(45, 'l') +
                                    " /" + std::string(300, 'a') + " /" + std::string(200, 'm') + "\n" +
                                    "#LINKS\n" + std::string(45, 'i') + " " + std::string(45, 'i') + " " + name +
                                    "\n");
  EXPECT_CONSOLE(RunProgram(kSelf, dir.path(), {"p.lst"}),
                 std::string(kBanner) + AnsiLines("p.lst") +
                     "Warning: plan line 2: project tag is longer than 15 bytes and has been cut.\n"
                     "Warning: plan line 2: project text is longer than 255 bytes and has been cut.\n"
                     "Warning: plan line 4: class name is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 4: class border colour is longer than 15 bytes and has been cut.\n"
                     "Warning: plan line 4: class style is longer than 15 bytes and has been cut.\n"
                     "Warning: plan line 6: relation name is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 6: relation colour is longer than 15 bytes and has been cut.\n"
                     "Warning: plan line 6: relation style is longer than 15 bytes and has been cut.\n"
                     "Warning: plan line 8: node id is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 8: node class name is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 8: node label is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 8: reference address is longer than 255 bytes and has been cut.\n"
                     "Warning: plan line 8: image address is longer than 127 bytes and has been cut.\n"
                     "Warning: plan line 10: link node 1 ID is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 10: link node 2 ID is longer than 39 bytes and has been cut.\n"
                     "Warning: plan line 10: link relation name is longer than 39 bytes and has been cut.\n"
                     "Creating p_self.htm .... Encoding: KSX -> UTF-8\n"
                     "Visualization Script p_self.htm has been Created.\n");
}

TEST(RunFlow, BrokenLinksAndRelationsAreNamedInOrder) {
  TempDir dir;
  const std::string nodes = "#CLASS\nP red box\n#RELATION\nnear gray line\n#NODES\nk001 P\nk002 P\n";
  WriteFileBytes(dir / "ends.lst", nodes + "#LINKS\nk001 x002 near\nx001 k002 far\nk001 k002 far\n");
  EXPECT_CONSOLE(RunProgram(kBlank, dir.path(), {"ends.lst"}),
                 std::string(kBanner) + AnsiLines("ends.lst") +
                     "Node 1 ID x001 in the Link List is Invalid!\n"
                     "Node 2 ID x002 in the Link List is Invalid!\n");
  WriteFileBytes(dir / "rel.lst", nodes + "#LINKS\nk001 k002 far\nk002 k001 near\nk002 k001 close\n");
  EXPECT_CONSOLE(RunProgram(kBlank, dir.path(), {"rel.lst"}),
                 std::string(kBanner) + AnsiLines("rel.lst") +
                     "Relation Name far in the Link List is Invalid!\n"
                     "Relation Name close in the Link List is Invalid!\n");
  EXPECT_EQ(dir.Listing(), "ends.lst rel.lst");
}

}  // namespace
}  // namespace plotweave
