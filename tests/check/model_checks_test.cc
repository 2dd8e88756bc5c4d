// One plan per kind of finding, in KS code, UTF-8 and UTF-16: the line,
// column, severity and kind of each finding, and the text of some.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/plan_check.h"
#include "io/stream.h"
#include "tests/check/check_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

class Collect final : public FindingSink {
 public:
  void Report(const Finding& f) override {
    list.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + " " +
                   SeverityName(KindOf(f.code).severity) + " " + KindOf(f.code).name);
    messages.push_back(f.message);
  }
  std::vector<std::string> list;
  std::vector<std::string> messages;
};

constexpr PlanForm kForms[] = {PlanForm::kKs, PlanForm::kUtf8, PlanForm::kUtf16Le};

Collect Check(const std::string& utf8, PlanForm form, PlanSummary* summary = nullptr) {
  const std::string bytes = EncodePlan(utf8, form);
  MemorySource source(bytes.data(), bytes.size());
  Collect c;
  PlanSummary local;
  EXPECT_EQ(CheckPlan(source, c, summary != nullptr ? summary : &local), PlanCheckStatus::kChecked);
  return c;
}

// The same findings in every encoding: columns count characters, so a Hangul
// syllable is one column whether it takes two, three or two bytes.
void ExpectFindings(const std::string& utf8, const std::vector<std::string>& expected) {
  for (PlanForm form : kForms) {
    EXPECT_EQ(Check(utf8, form).list, expected) << "encoding " << static_cast<int>(form) << "\n" << utf8;
  }
}

const char kDeclarations[] = "#CLASS\nPerson red box\n#RELATION\nknows gray line\n";

TEST(CheckFindings, CleanExamplePlansHaveNone) {
  for (const char* name : {"ontology.lst", "ontology-utf8.lst", "ontology-utf16le.lst"}) {
    const std::string bytes = testing::ReadFileBytes(testing::SourceDir() + "/examples/" + name);
    ASSERT_FALSE(bytes.empty()) << name;
    MemorySource source(bytes.data(), bytes.size());
    Collect c;
    PlanSummary summary;
    ASSERT_EQ(CheckPlan(source, c, &summary), PlanCheckStatus::kChecked);
    EXPECT_EQ(c.list, std::vector<std::string>{}) << name;
    EXPECT_EQ(summary.nodes, 9);
    EXPECT_EQ(summary.links, 9);
    EXPECT_EQ(summary.classes, 4);
    EXPECT_EQ(summary.relations, 4);
  }
}

TEST(CheckFindings, EveryRefusalOfTheMainProgramWithItsPlace) {
  ExpectFindings(std::string(kDeclarations) +
                     "#NODES\n"
                     "k001 Person 홍길동\n"
                     "k002 사람 서울\n"     // line 7: an undeclared class
                     "k03\n"               // too short: skipped
                     "k004\n"              // id alone: class "dummy"
                     "#LINKS\n"
                     "k001 k009 knows\n"   // line 11
                     "홍길 k001 likes\n"   // line 12
                     "k001 k002\n",       // line 13: no relation
                 {"8:1 warning short-line", "7:6 error class-undeclared", "9:5 error class-undeclared",
                  "11:6 error second-node-unknown", "12:1 error first-node-unknown",
                  "12:9 error relation-undeclared", "13:10 error relation-undeclared",
                  "9:1 note node-without-links"});
  Collect c = Check(std::string(kDeclarations) + "#NODES\nk001 사람\n", PlanForm::kUtf8);
  ASSERT_FALSE(c.messages.empty());
  EXPECT_EQ(c.messages[0],
            "class \"사람\" is not declared under #CLASS, so no page is written; declare the class or "
            "correct the name");
}

TEST(CheckFindings, TextsThatBreakThePageScriptOrTheCaptionComment) {
  ExpectFindings(std::string(kDeclarations) +
                     "#NODES\n"
                     "k001 Person 홍길동's\n"            // 6: apostrophe at the 4th character of the label
                     "k002 Person 가\\'s /가\\\\\n"      // 7: escaped: fine
                     "k003 Person 끝\\\n"                // 8: trailing backslash
                     "k004 Person 가</SCRIPT>\n"        // 9
                     "k005 Person a&#39;b U+000A\n"    // 10: a reference and an escape that become characters
                     "k006 Person C:\\users\n"          // 11: \u without digits
                     "k007 Person 가U+00\n"             // 12: an escape without a number stays text
                     "#LINKS\n"
                     "k001 k002 knows\nk003 k004 knows\nk005 k006 knows\nk007 k001 knows\n"
                     "#PROJECT\n"
                     "h1 서울 --> 지도\n"                // 19: ends the comment
                     "b-- bold\n"                        // 20: so does "</b-->" after it
                     "p a--!>b\n",                       // 21: and "--!>"
                 {"19:7 error comment-end", "20:2 error comment-end", "21:4 error comment-end", "6:16 error apostrophe", "8:14 error trailing-backslash",
                  "9:14 error script-end", "10:14 error apostrophe", "10:21 error line-break",
                  "11:15 error invalid-escape"});
}

TEST(CheckFindings, ContentLostOrChangedWithoutAWord) {
  ExpectFindings("stray 줄\n"                        // 1: before any header
                 "#CLASS\n"
                 "Person red box 1 여분 more\n"       // 3: two extra fields
                 "Spare red dot\n"                   // 4: used by no node
                 "# NODES\n"                          // 5: names no section, swallows 6
                 "k009 Person 가\n"
                 "#NODES\n"
                 "k01\n"                              // 8: short
                 "k001 Person 가나다라마바사아자차카타파하가나다라마바사아\n"  // 9: label cut
                 "     \n"                            // 10: an empty node
                 "# 사람들\n"                          // 11: a comment, swallows 12
                 "k002 Person 나\n"
                 "#NODES\n"                           // 13: given again
                 "k001 Person 다\n"
                 "k001 Person 라\n"                   // 15: the id again
                 "#RELATION\nknows gray line 1\n#LINKS\nk001 k001 knows\n",
                 {"1:1 warning before-first-header", "3:18 warning extra-fields",
                  "5:1 warning unknown-header", "8:1 warning short-line", "9:13 warning field-cut",
                  "10:1 warning blank-entry", "11:1 warning comment-ends-section",
                  "13:1 warning section-repeated", "15:1 warning duplicate-node-id",
                  "4:1 note unused-class"});
  Collect c = Check("#NODES\n# people\nk1 a b\nk2 a b\n#CLASS\nx y z\n", PlanForm::kKs);
  EXPECT_EQ(c.messages.at(0),
            "the comment \"# people\" ends the #NODES section, so the 2 data lines after it are ignored; "
            "move the comment, or repeat #NODES after it");
}

TEST(CheckFindings, EntriesPastCapacityAreReportedOnceWithTheirCount) {
  std::string plan = "#CLASS\nC red dot\n#NODES\n";
  for (int i = 0; i < 515; ++i) plan += "n" + std::to_string(1000 + i) + " C\n";
  plan += "#RELATION\nr gray line\n#LINKS\n";
  for (int i = 0; i < 801; ++i) plan += "n1000 n1001 r\n";
  Collect c = Check(plan, PlanForm::kUtf8);
  std::vector<std::string> warnings;
  for (size_t i = 0; i < c.list.size(); ++i) {
    if (c.list[i].find("past-capacity") != std::string::npos) warnings.push_back(c.list[i] + " " + c.messages[i]);
  }
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "516:1 warning past-capacity a plan holds at most 512 nodes, so this line and the 2 "
                          "after it in the section are dropped; split the plan or leave entries out",
                          "1322:1 warning past-capacity a plan holds at most 800 links, so this line and the 0 "
                          "after it in the section are dropped; split the plan or leave entries out"}));
}

TEST(CheckFindings, OverlongLineIsReportedWhereEachPieceStarts) {
  // 1200 characters of Hangul: 2400 bytes in KS code, read as pieces of 999.
  std::string label;
  for (int i = 0; i < 1200; ++i) label += "가";
  const std::string plan = "#PROJECT\nh1 " + label + "\n";
  const Collect c = Check(plan, PlanForm::kKs);
  std::vector<std::string> pieces;
  for (const std::string& f : c.list) {
    if (f.find("long-line") != std::string::npos) pieces.push_back(f);
  }
  // Pieces start at bytes 999 and 1998 of the line. The first is the 500th
  // character after the tag and its blank (three bytes, then two bytes a
  // character); the second falls inside a character, which counts with the
  // piece it starts in, so the column is that of the next one.
  EXPECT_EQ(pieces, (std::vector<std::string>{"2:502 warning long-line", "2:1002 warning long-line"}));
}

TEST(CheckFindings, KsLeadByteBeforeTheLineFeed) {
  // Only a KS plan can hold a lone lead byte; a trail byte at the end is fine.
  const std::string plan = "#NODES\nk001 C \xB0\xA1\xB0\nk002 C \xB0\xA1\n#CLASS\nC red dot\n";
  MemorySource source(plan.data(), plan.size());
  Collect c;
  PlanSummary summary;
  ASSERT_EQ(CheckPlan(source, c, &summary), PlanCheckStatus::kChecked);
  EXPECT_EQ(c.list, (std::vector<std::string>{"2:9 warning lead-byte-at-line-end", "2:9 error quote-swallowed",
                                              "2:1 note node-without-links", "3:1 note node-without-links"}));
}

TEST(CheckFindings, UnreadablePlanIsToldApart) {
  testing::PieceSource failing("#NODES\nk001 C x\n", 4, true);
  Collect c;
  PlanSummary summary;
  EXPECT_EQ(CheckPlan(failing, c, &summary), PlanCheckStatus::kUnreadable);
}

}  // namespace
}  // namespace plotweave
