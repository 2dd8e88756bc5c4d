#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plan/reader.h"
#include "plan/validate.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

struct Checked {
  std::unique_ptr<OntologyModel> model;
  bool valid;
  std::string findings;
};

Checked Check(const std::string& plan) {
  Checked c{testing::EmptyModel(), false, ""};
  MemorySource source(plan.data(), plan.size());
  testing::FindingList readFindings;
  EXPECT_EQ(ReadPlan(source, *c.model, "_self", readFindings), StreamStatus::kDone);
  testing::FindingList findings;
  c.valid = ValidateModel(*c.model, findings) == ValidateStatus::kValid;
  c.findings = findings.Text();
  return c;
}

TEST(ValidateModel, ClassFaultsStopBeforeAnyLinkIsChecked) {
  Checked c = Check("#NODES\nk001 person Jane\nk002 Person John\nk003\n#LINKS\nk001 k009 knows\n");
  EXPECT_FALSE(c.valid);
  // A node line without a class has "dummy" and no column for it.
  EXPECT_EQ(c.findings,
            "2:6 class person\n"
            "3:6 class Person\n"
            "4:0 class dummy\n");
}

TEST(ValidateModel, AllFirstEndsAreReportedBeforeSecondEndsThenStop) {
  Checked c = Check("#LINKS\na001 b001 knows\na002 b002 knows\n");
  EXPECT_FALSE(c.valid);
  EXPECT_EQ(c.findings,
            "2:1 node 1 a001\n"
            "3:1 node 1 a002\n"
            "2:6 node 2 b001\n"
            "3:6 node 2 b002\n");
}

TEST(ValidateModel, RelationFaultsComeLastAndAMissingRelationPrintsEmpty) {
  Checked c = Check(
      "#CLASS\nPerson red box\n#RELATION\npart_of gray line 1\n#NODES\nk001 Person A\nk002 Person B\n"
      "#LINKS\nk001 k002 part_of\nk001 k002 part-of\nk002 k001\n");
  EXPECT_FALSE(c.valid);
  EXPECT_EQ(c.findings,
            "10:11 relation part-of\n"
            "11:0 relation \n");
  // A failed model keeps its underscores: the display rewrite comes only after every check.
  EXPECT_STREQ(c.model->links[0].relation, "part_of");
}

TEST(ValidateModel, ValidModelIsResolvedAndItsDisplayTextsLoseUnderscores) {
  Checked c = Check(
      "#PROJECT\nh1 Map_of_Sites\n#CLASS\nPlace blue dot 0\nPerson red box 7\nPerson green dot 3\n"
      "#RELATION\npart_of gray dash-line 1\npart_of red line 0\n#NODES\nk_01 Person Grand_Hall\n"
      "k_02 Place Old_Town /a_b.html /i_c.png 1\nk_01 Place Dup\n#LINKS\nk_01 k_02 part_of\n");
  ASSERT_TRUE(c.valid);
  EXPECT_EQ(c.findings, "");
  const OntologyModel& m = *c.model;
  EXPECT_STREQ(m.projects[0].text, "Map of Sites\n");
  EXPECT_STREQ(m.nodes[0].label, "Grand Hall");
  EXPECT_STREQ(m.nodes[0].title, "Grand_Hall");
  EXPECT_STREQ(m.nodes[0].id, "k_01");
  // The first of two classes with one name supplies position and flag.
  EXPECT_EQ(m.nodes[0].classIndex, 1);
  EXPECT_EQ(m.nodes[0].classLabelFlag, 7);
  EXPECT_EQ(m.nodes[1].classIndex, 0);
  EXPECT_EQ(m.nodes[1].classLabelFlag, 0);
  EXPECT_STREQ(m.nodes[1].title, "<a href=\"/a_b.html\" target=\"_self\">Old_Town</a>");
  EXPECT_STREQ(m.links[0].relation, "part of");
  EXPECT_EQ(m.links[0].relationIndex, 0);
  EXPECT_EQ(m.links[0].relationLabelFlag, 1);
  EXPECT_STREQ(m.relations[0].name, "part_of");
}

TEST(ValidateModel, FullTablesResolveToTheFirstEntryOfEachName) {
  std::string plan = "#CLASS\n";
  for (int i = 0; i < 99; ++i) plan += "c" + std::to_string(100 + i) + " red dot " + std::to_string(i) + "\n";
  plan += "c100 blue box 500\n#RELATION\nr1 gray line 1\nr1 red arrow 0\n#NODES\n";
  for (int i = 0; i < 512; ++i) plan += "n" + std::to_string(1000 + i) + " c" + std::to_string(100 + i % 99) + "\n";
  plan += "#LINKS\n";
  for (int i = 0; i < 800; ++i) {
    plan += "n" + std::to_string(1000 + i % 512) + " n" + std::to_string(1000 + (i * 7) % 512) + " r1\n";
  }
  Checked c = Check(plan);
  ASSERT_TRUE(c.valid) << c.findings;
  EXPECT_EQ(c.model->classCount, 100);
  for (int i = 0; i < 512; ++i) {
    ASSERT_EQ(c.model->nodes[i].classIndex, i % 99) << i;
    ASSERT_EQ(c.model->nodes[i].classLabelFlag, i % 99) << i;
  }
  EXPECT_EQ(c.model->links[799].relationIndex, 0);
  EXPECT_EQ(c.model->links[799].relationLabelFlag, 1);
  // One unknown end among 800 links is still found.
  plan += "n1000 n9999 r1\n";
  EXPECT_EQ(Check(plan).findings, "");  // the 801st link is not read
  const std::string link400 = "\nn" + std::to_string(1000 + 400 % 512) + " n" + std::to_string(1000 + 2800 % 512) + " r1\n";
  plan.replace(plan.find(link400), link400.size(), "\nn1400 n9999 r1\n");
  const size_t line = 1 + 100 + 1 + 2 + 1 + 512 + 1 + 401;
  EXPECT_EQ(Check(plan).findings, std::to_string(line) + ":7 node 2 n9999\n");
}

TEST(ValidateModel, UnderscoreRewriteLeavesTrailBytesAlone) {
  // A1 5F is an extended hanja whose trail byte is the underscore's byte.
  Checked c = Check("#PROJECT\nh1 a_\xA1\x5F_b\n#CLASS\nC red dot\n#NODES\nk001 C x_\xA1\x5F_y\n");
  ASSERT_TRUE(c.valid);
  EXPECT_STREQ(c.model->nodes[0].label, "x \xA1\x5F y");
  EXPECT_STREQ(c.model->projects[0].text, "a \xA1\x5F b\n");
}

TEST(ValidateModel, DummyNodeNeedsADummyClassAndEmptyPlanIsValid) {
  EXPECT_TRUE(Check("#CLASS\ndummy white dot\n#NODES\nk001\n").valid);
  EXPECT_TRUE(Check("").valid);
  EXPECT_TRUE(Check("#CLASS\nPlace blue dot\n#NODES\nk001 Place\n").valid);
}

}  // namespace
}  // namespace plotweave
