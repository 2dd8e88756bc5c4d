#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kscode/plan_normaliser.h"
#include "plan/fields.h"
#include "plan/reader.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

struct ReadResult {
  std::unique_ptr<OntologyModel> model;
  std::string findings;
};

ReadResult Read(const std::string& plan, const char* target = "_self") {
  ReadResult r{testing::EmptyModel(), ""};
  MemorySource source(plan.data(), plan.size());
  testing::FindingList findings;
  EXPECT_EQ(ReadPlan(source, *r.model, target, findings), StreamStatus::kDone);
  r.findings = findings.Text();
  return r;
}

std::string Repeat(const std::string& line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += line;
  return out;
}

TEST(ReadPlanSections, EmptyPlanAndPlanWithoutHeadersGiveNothing) {
  for (const char* plan : {"", "k001 Person Jane\nk002 Place Town\n"}) {
    ReadResult r = Read(plan);
    EXPECT_EQ(r.model->projectCount + r.model->classCount + r.model->relationCount +
                  r.model->nodeCount + r.model->linkCount,
              0)
        << plan;
  }
}

TEST(ReadPlanSections, HeaderIsRecognisedByItsFirstFiveBytesUpperCased) {
  for (const char* header : {"#nodes\n", "#Nodes:\n", "#NODESET\n", "  #NODES trailing words\n"}) {
    ReadResult r = Read(std::string(header) + "k001 Person Jane\n");
    EXPECT_EQ(r.model->nodeCount, 1) << header;
  }
  // A blank after the '#' names no known section; a short header is ignored like any short line.
  EXPECT_EQ(Read("# NODES\nk001 Person Jane\n").model->nodeCount, 0);
  EXPECT_EQ(Read("#NOD\nk001 Person Jane\n").model->nodeCount, 0);
  EXPECT_EQ(Read("#rela\nnear gray line\n").model->relationCount, 1);
  EXPECT_EQ(Read("#RELATIONS\nnear gray line\n").model->relationCount, 1);
  EXPECT_EQ(Read("#LINKAGE\nk001 k002 near\n").model->linkCount, 1);
}

TEST(ReadPlanSections, CommentLineEndsTheSectionAndHashInLaterFieldIsData) {
  ReadResult r = Read(
      "#NODES\nk001 Person Jane /p.html#top\n# people\nk002 Person John\n#NODES\n#k003 Person X\n"
      "k004 Person Y\n");
  // A node line whose id begins with '#' is a header naming no section: the
  // second NODES section ends before it stored anything.
  EXPECT_EQ(r.model->nodeCount, 0);
  EXPECT_STREQ(r.model->nodes[0].id, "k001");
  ReadResult first = Read("#NODES\nk001 Person Jane /p.html#top\n# people\nk002 Person John\n");
  ASSERT_EQ(first.model->nodeCount, 1);
  EXPECT_STREQ(first.model->nodes[0].url, "/p.html#top");
}

TEST(ReadPlanSections, LinesShorterThanFiveBytesAreIgnoredCountingTheLineFeed) {
  ReadResult r = Read("#NODES\nk01\nk001\nk02\r\nk002\r\n");
  ASSERT_EQ(r.model->nodeCount, 2);
  EXPECT_STREQ(r.model->nodes[0].id, "k001");
  EXPECT_STREQ(r.model->nodes[1].id, "k002");
  // The last line of a file may lack its line feed.
  EXPECT_EQ(Read("#NODES\nk003").model->nodeCount, 0);
  EXPECT_EQ(Read("#NODES\nk0003").model->nodeCount, 1);
}

TEST(ReadPlanSections, CapacitiesKeepTheFirstLines) {
  std::string plan = "#PROJECT\n" + Repeat("h2 caption\n", 11) + "#CLASS\n" +
                     Repeat("Place blue dot 1\n", 101) + "#RELATION\n" + Repeat("near gray line\n", 101) +
                     "#NODES\n";
  for (int i = 0; i < 513; ++i) plan += "n" + std::to_string(1000 + i) + " Place\n";
  plan += "#LINKS\n" + Repeat("n1000 n1001 near\n", 801);
  ReadResult r = Read(plan);
  EXPECT_EQ(r.model->projectCount, 10);
  EXPECT_EQ(r.model->classCount, 100);
  EXPECT_EQ(r.model->relationCount, 100);
  EXPECT_EQ(r.model->nodeCount, 512);
  EXPECT_EQ(r.model->linkCount, 800);
  EXPECT_STREQ(r.model->nodes[511].id, "n1511");
  EXPECT_EQ(r.findings, "");
}

TEST(ReadPlanSections, SectionGivenTwiceOverwritesInPlace) {
  ReadResult r = Read(
      "#NODES\nk001 Person Jane\nk002 Person John\nk003 Person Ann\n#LINKS\nk001 k002 knows\n"
      "#NODES\nk009 Place\n");
  ASSERT_EQ(r.model->nodeCount, 1);
  EXPECT_STREQ(r.model->nodes[0].id, "k009");
  // A field the second line does not supply keeps the first line's content.
  EXPECT_STREQ(r.model->nodes[0].title, "Jane");
  EXPECT_STREQ(r.model->nodes[1].id, "k002");
  // With no stored line the count of the second section is set by the next header.
  ReadResult empty = Read("#NODES\nk001 Person Jane\nk002 Person John\n#NODES\n#LINKS\n");
  EXPECT_EQ(empty.model->nodeCount, 0);
  ReadResult last = Read("#NODES\nk001 Person Jane\nk002 Person John\n#NODES\n");
  EXPECT_EQ(last.model->nodeCount, 2);
}

TEST(ReadPlanSections, LongLineIsReadInPiecesOf999Bytes) {
  const std::string line = "h1 " + std::string(2496, 'x') + "\n";
  ReadResult r = Read("#PROJECT\n" + line);
  ASSERT_EQ(r.model->projectCount, 3);
  EXPECT_STREQ(r.model->projects[0].tag, "h1");
  EXPECT_EQ(std::strlen(r.model->projects[0].text), 255u);
  EXPECT_EQ(std::strlen(r.model->projects[1].tag), 15u);
  EXPECT_STREQ(r.model->projects[1].text, "");
  EXPECT_EQ(std::string(r.model->projects[2].text), "");
  EXPECT_EQ(std::strlen(r.model->projects[2].tag), 15u);
  // Every cut is reported with the plan's own line number and the column
  // within the whole line, across its pieces.
  EXPECT_EQ(r.findings,
            "2:4 cut project text to 255\n"
            "2:1000 cut project tag to 15\n"
            "2:1999 cut project tag to 15\n");
}

TEST(ReadPlanRecords, ProjectTextStartsAfterTheTagLengthFromColumnOne) {
  ReadResult r = Read("#PROJECT\nh1 Main title\n  h1 Main title\r\nh2345\nh2\tTab_text");
  ASSERT_EQ(r.model->projectCount, 4);
  EXPECT_STREQ(r.model->projects[0].tag, "h1");
  EXPECT_STREQ(r.model->projects[0].text, "Main title\n");
  EXPECT_STREQ(r.model->projects[1].tag, "h1");
  EXPECT_STREQ(r.model->projects[1].text, "h1 Main title\n");
  EXPECT_STREQ(r.model->projects[2].text, "");
  EXPECT_STREQ(r.model->projects[3].text, "Tab_text");
}

TEST(ReadPlanRecords, ClassAndRelationLabelFlagDefaults) {
  ReadResult r = Read(
      "#CLASS\nPlace darkblue dot 0\nPerson darkred box\nThing gray dot 1x\nOther gray dot x1\n"
      "#RELATION\nlivesIn gray line 1\nnear gray line\nfar gray line -2\n");
  EXPECT_EQ(r.model->classes[0].labelFlag, 0);
  EXPECT_EQ(r.model->classes[1].labelFlag, 1);
  EXPECT_EQ(r.model->classes[2].labelFlag, 1);
  EXPECT_EQ(r.model->classes[3].labelFlag, 1);
  EXPECT_STREQ(r.model->classes[1].borderColor, "darkred");
  EXPECT_STREQ(r.model->classes[1].style, "box");
  EXPECT_EQ(r.model->relations[0].labelFlag, 1);
  EXPECT_EQ(r.model->relations[1].labelFlag, 0);
  EXPECT_EQ(r.model->relations[2].labelFlag, -2);
  // The flag is 16 bits wide: a larger number keeps its low 16 bits.
  EXPECT_EQ(Read("#CLASS\nA b c 65537\n").model->classes[0].labelFlag, 1);
}

TEST(ReadPlanRecords, BlankDataLineAddsAnEmptyEntry) {
  ReadResult r = Read("#CLASS\n    \n#NODES\n     \n");
  ASSERT_EQ(r.model->classCount, 1);
  EXPECT_STREQ(r.model->classes[0].name, "");
  EXPECT_EQ(r.model->classes[0].labelFlag, 1);
  ASSERT_EQ(r.model->nodeCount, 1);
  EXPECT_STREQ(r.model->nodes[0].id, "");
  EXPECT_STREQ(r.model->nodes[0].url, "");
  EXPECT_STREQ(r.model->nodes[0].image, "");
}

struct NodeCase {
  const char* line;
  const char* className;
  const char* label;
  const char* title;
  const char* url;
  const char* image;
  int imageNode;
};

TEST(ReadPlanRecords, NodeFieldsFollowTheNumberOfFieldsGiven) {
  const NodeCase cases[] = {
      {"k001", "dummy", "unnamed", "", "", "", 0},
      {"k001 Person", "Person", "unnamed", "", "", "", 0},
      {"k001 Person Jane_Doe", "Person", "Jane_Doe", "Jane_Doe", "", "", 0},
      {"k001 Person Jane /j.html", "Person", "Jane", "<a href=\"/j.html\" target=\"_self\">Jane</a>",
       "/j.html", "", 0},
      {"k001 Person Jane /j.html /j.png", "Person", "Jane",
       "<a href=\"/j.html\" target=\"_self\"><img src=\"/j.png\"/></a>", "/j.html", "/j.png", 0},
      {"k001 Person Jane /j.html /j.png 0", "Person", "Jane",
       "<a href=\"/j.html\" target=\"_self\"><img src=\"/j.png\"/></a>", "/j.html", "/j.png", 0},
      {"k001 Person Jane /j.html /j.png 1", "Person", "Jane",
       "<a href=\"/j.html\" target=\"_self\">Jane</a>", "/j.html", "/j.png", 1},
      {"k001 Person Jane /j.html /j.png 2", "Person", "Jane", "", "/j.html", "/j.png", 0},
      {"k001 Person Jane /j.html /j.png x", "Person", "Jane",
       "<a href=\"/j.html\" target=\"_self\"><img src=\"/j.png\"/></a>", "/j.html", "/j.png", 0},
  };
  for (const NodeCase& c : cases) {
    ReadResult r = Read(std::string("#NODES\n") + c.line + "\n");
    ASSERT_EQ(r.model->nodeCount, 1) << c.line;
    const NodeEntry& n = r.model->nodes[0];
    EXPECT_STREQ(n.id, "k001") << c.line;
    EXPECT_STREQ(n.className, c.className) << c.line;
    EXPECT_STREQ(n.label, c.label) << c.line;
    EXPECT_STREQ(n.title, c.title) << c.line;
    EXPECT_STREQ(n.url, c.url) << c.line;
    EXPECT_STREQ(n.image, c.image) << c.line;
    EXPECT_EQ(n.imageNode, c.imageNode) << c.line;
  }
  ReadResult blank = Read("#NODES\nk001 Person Jane /j.html /j.png 1\n", "_blank");
  EXPECT_STREQ(blank.model->nodes[0].title, "<a href=\"/j.html\" target=\"_blank\">Jane</a>");
}

TEST(ReadPlanRecords, LinkFieldsWithoutDefaults) {
  ReadResult r = Read("#LINKS\nk001 k002 knows extra\nk003 k004\n");
  ASSERT_EQ(r.model->linkCount, 2);
  EXPECT_STREQ(r.model->links[0].relation, "knows");
  EXPECT_STREQ(r.model->links[1].toId, "k004");
  EXPECT_STREQ(r.model->links[1].relation, "");
}

TEST(ReadPlanRecords, EntriesKnowTheirLineAndTheColumnsOfTheNamesTheyRefer) {
  ReadResult r = Read(
      "#CLASS\r\nPerson red box\n\n#NODES\n  k001\tPerson  Jane\nk002\n#LINKS\nk001   k002 knows\n k003 k004\n");
  EXPECT_EQ(r.model->classes[0].line, 2);
  ASSERT_EQ(r.model->nodeCount, 2);
  EXPECT_EQ(r.model->nodes[0].line, 5);
  EXPECT_EQ(r.model->nodes[0].classColumn, 8);
  EXPECT_EQ(r.model->nodes[1].line, 6);
  EXPECT_EQ(r.model->nodes[1].classColumn, 0);  // no class named: "dummy" stands in
  ASSERT_EQ(r.model->linkCount, 2);
  const LinkEntry& full = r.model->links[0];
  EXPECT_EQ(full.line, 8);
  EXPECT_EQ(full.fromColumn, 1);
  EXPECT_EQ(full.toColumn, 8);
  EXPECT_EQ(full.relationColumn, 13);
  const LinkEntry& part = r.model->links[1];
  EXPECT_EQ(part.line, 9);
  EXPECT_EQ(part.fromColumn, 2);
  EXPECT_EQ(part.toColumn, 7);
  EXPECT_EQ(part.relationColumn, 0);
}

TEST(ReadPlanText, PlanArrivingInSmallPiecesReadsAsAWholeAndAReadFailureIsReported) {
  const std::string plan = "#NODES\r\nk001 Person Jane\r\nk002 Person John\r\n";
  for (size_t step : {1u, 2u, 3u, 7u}) {
    auto model = testing::EmptyModel();
    testing::PieceSource source(plan, step);
    testing::FindingList findings;
    ASSERT_EQ(ReadPlan(source, *model, "_self", findings), StreamStatus::kDone) << step;
    ASSERT_EQ(model->nodeCount, 2) << step;
    EXPECT_STREQ(model->nodes[1].label, "John") << step;
    EXPECT_STREQ(model->nodes[1].title, "John") << step;
  }
  auto model = testing::EmptyModel();
  testing::PieceSource failing(plan, 5, true);
  testing::FindingList findings;
  EXPECT_EQ(ReadPlan(failing, *model, "_self", findings), StreamStatus::kReadFailed);
}

TEST(ReadPlanCuts, OverlongFieldsAreCutOnCharacterBoundariesWithOneWarningEach) {
  const std::string hangul = "\xB0\xA1";  // KS code of U+AC00, two bytes
  std::string label;
  for (int i = 0; i < 25; ++i) label += hangul;  // 50 bytes
  const std::string id(45, 'i');
  const std::string address = "/" + std::string(300, 'a');
  ReadResult r = Read("#NODES\n\n" + id + " Person " + label + " " + address + "\n");
  ASSERT_EQ(r.model->nodeCount, 1);
  const NodeEntry& n = r.model->nodes[0];
  EXPECT_EQ(std::string(n.id), std::string(39, 'i'));
  // 39 bytes would split the 20th character: 19 whole characters remain.
  EXPECT_EQ(std::strlen(n.label), 38u);
  EXPECT_EQ(std::string(n.label), label.substr(0, 38));
  EXPECT_EQ(std::strlen(n.url), 255u);
  EXPECT_EQ(r.findings,
            "3:1 cut node id to 39\n"
            "3:54 cut node label to 39\n"
            "3:105 cut reference address to 255\n");
}

TEST(ReadPlanCuts, CutNeverSplitsANumericReference) {
  const std::string label = std::string(34, 'a') + "&#44034;";  // the reference spans byte 39
  ReadResult r = Read("#NODES\nk001 Person " + label + "\n");
  EXPECT_EQ(std::string(r.model->nodes[0].label), std::string(34, 'a'));
  // A hand-written reference may carry more digits than five.
  const std::string longer = std::string(31, 'b') + "&#0000044032;";
  EXPECT_EQ(std::string(Read("#NODES\nk001 Person " + longer + "\n").model->nodes[0].label), std::string(31, 'b'));
  // A cut between the '&' and the '#' also keeps the reference whole.
  const std::string split = std::string(38, 'c') + "&#65;";
  EXPECT_EQ(std::string(Read("#NODES\nk001 Person " + split + "\n").model->nodes[0].label), std::string(38, 'c'));
}

TEST(ReadPlanText, CarriageReturnBeforeLineFeedIsDropped) {
  ReadResult r = Read("#PROJECT\r\nh1 Title\r\nh2 Cr\rinside\n#NODES\r\nk001 Person Jane\r\n");
  ASSERT_EQ(r.model->projectCount, 2);
  EXPECT_STREQ(r.model->projects[0].text, "Title\n");
  EXPECT_STREQ(r.model->projects[1].text, "Cr\rinside\n");
  EXPECT_EQ(r.model->nodeCount, 1);
  EXPECT_STREQ(r.model->nodes[0].title, "Jane");
}

TEST(ReadPlanText, AUnicodePlanReadsThroughTheNormaliserWithoutAScratchCopy) {
  // The same plan as KS text and as UTF-16 (little-endian, with its mark):
  // lines, columns and cut warnings come out alike.
  const std::string ks = "#NODES\r\nk001 P \xB0\xA1" + std::string(40, 'x') + "\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("#NODES\r\nk001 P ")) utf16 += std::string{c, '\0'};
  utf16 += std::string("\x00\xAC", 2);
  for (int i = 0; i < 40; ++i) utf16 += std::string("x\0", 2);
  utf16 += std::string("\r\0\n\0", 4);

  ReadResult direct = Read(ks);
  auto model = testing::EmptyModel();
  MemorySource plan(utf16.data(), utf16.size());
  auto source = std::make_unique<NormalisedPlanSource>(plan);
  testing::FindingList findings;
  ASSERT_EQ(ReadPlan(*source, *model, "_self", findings), StreamStatus::kDone);
  EXPECT_EQ(source->encoding(), PlanEncoding::kUtf16Le);
  ASSERT_EQ(model->nodeCount, 1);
  EXPECT_STREQ(model->nodes[0].label, direct.model->nodes[0].label);
  EXPECT_EQ(std::string(model->nodes[0].label), "\xB0\xA1" + std::string(37, 'x'));
  EXPECT_EQ(findings.Text(), "2:8 cut node label to 39\n");
  EXPECT_EQ(findings.Text(), direct.findings);
}

// The traps of the format, as the reader reports them: line, byte column,
// the trap, its `field` and `limit`, and its subject.
std::string Traps(const std::string& plan) {
  auto model = testing::EmptyModel();
  MemorySource source(plan.data(), plan.size());
  testing::FindingList findings(true);
  EXPECT_EQ(ReadPlan(source, *model, "_self", findings), StreamStatus::kDone);
  return findings.Text();
}

// Records what the reader tells a watcher.
class WatchLog final : public PlanLineWatcher {
 public:
  void PieceRead(const char* piece, size_t length, int64_t line, int64_t offset) override {
    log += std::to_string(line) + "+" + std::to_string(offset) + ":" + std::to_string(length) + " ";
    last = std::string(piece, length);
  }
  void HeaderRead(int section) override { log += "h" + std::to_string(section) + " "; }
  void EntryStored(int section, int index) override {
    log += "s" + std::to_string(section) + "." + std::to_string(index) + "=" + last.substr(0, 4) + " ";
  }
  std::string log, last;
};

TEST(ReadPlanTraps, LinesLostBeforeHeadersAfterUnknownOnesAndPastCapacity) {
  EXPECT_EQ(Traps("stray line\n#CLASS\nA red dot\n# NODES\nk001 A x\n#NOD\n#nodes\n  # people\nk002 A y\n"),
            "1:1 ignored s0 n0\n"
            "4:1 unknown-header s2 n0 #\n"   // ends #CLASS
            "5:1 ignored s6 n0\n"
            "6:1 unknown-header s6 n0 #NOD\n"
            "8:3 unknown-header s4 n0 #\n"   // ends #NODES
            "9:1 ignored s6 n0\n");
  EXPECT_EQ(Traps("#CLASS\n" + Repeat("A red dot\n", 101) + "    \n#CLASS\nB red dot\n"),
            "102:1 past-capacity s2 n0\n103:1 past-capacity s2 n0\n104:1 repeated s2 n0\n");
}

TEST(ReadPlanTraps, ShortLongAndBlankLinesExtraFieldsAndALoneLeadByte) {
  EXPECT_EQ(Traps("#NODES\nk01\n\n  \nk001 C L /a /b 1 more words\n     \n"),
            "2:1 short-line s0 n0\n"  // a short line without a field loses nothing
            "5:18 extra-fields s4 n2\n"
            "6:1 blank-entry s4 n0\n");
  // A sixth node field that is no number is ignored like any extra field; a
  // class line's flag likewise.
  EXPECT_EQ(Traps("#NODES\nk001 C L /a /b x\n#CLASS\nC red dot yes\n#LINKS\na b r s\n#PROJECT\nh1 a b c\n"),
            "2:16 extra-fields s4 n1\n4:11 extra-fields s2 n1\n6:7 extra-fields s5 n1\n");
  // The column of a further piece of a long line is its first byte's; each
  // piece is then read as a line of its own (here a caption whose tag is cut).
  EXPECT_EQ(Traps("#PROJECT\nh1 " + std::string(2000, 'x') + "\n"),
            "2:4 cut project text to 255\n2:1000 line-piece s0 n0\n2:1000 cut project tag to 15\n"
            "2:1999 line-piece s0 n0\n");
  // Bytes pair up from the start of the line: B0 A1 is one character, the B0
  // after it has no trail.
  EXPECT_EQ(Traps("#NODES\nk001 C \xB0\xA1\xB0\nk002 C \xB0\xA1\n"), "2:10 lead-byte s0 n0\n");
}

TEST(ReadPlanTraps, WatcherSeesEveryPieceEveryHeaderAndEveryStoredEntry) {
  const std::string plan = "x\n#NODES\nk001 C\n#LINKS\n" + std::string(1200, 'a') + " b r\n";
  auto model = testing::EmptyModel();
  MemorySource source(plan.data(), plan.size());
  testing::FindingList findings;
  WatchLog watch;
  ASSERT_EQ(ReadPlan(source, *model, "_self", findings, &watch), StreamStatus::kDone);
  EXPECT_EQ(watch.log, "1+0:2 2+0:7 h4 3+0:7 s4.0=k001 4+0:7 h5 5+0:999 s5.0=aaaa 5+999:206 s5.1=aaaa ");
}

// Lines a full section drops are passed over without being read one by one
// when nobody listens for them; what ends such a run must still be found.
std::unique_ptr<OntologyModel> ReadModel(const std::string& plan, size_t step, bool traps) {
  auto model = testing::EmptyModel();
  testing::PieceSource source(plan, step);
  testing::FindingList findings(traps);
  EXPECT_EQ(ReadPlan(source, *model, "_self", findings), StreamStatus::kDone);
  return model;
}

TEST(ReadPlanDroppedLines, HeadersAfterAFullSectionAreFoundWhereverTheyStand) {
  const std::string full = "#NODES\n" + Repeat("k001 Person Jane\n", 513);
  // A second piece of a long line, an indented header, a header after a CR
  // LF, and the plan's last line without a line feed.
  for (const std::string& header :
       {std::string(999, 'y') + "#LINKS\n", std::string(" \t#LINKS\n"), std::string("x\r\n#LINKS\n"),
        std::string(998, 'y') + "\r\n#LINKS\n"}) {
    for (size_t step : {1u, 700u, 65536u}) {
      auto model = ReadModel(full + header + "k001 k001 knows\nlast line", step, false);
      EXPECT_EQ(model->nodeCount, 512);
      ASSERT_EQ(model->linkCount, 2) << step;
      EXPECT_STREQ(model->links[0].relation, "knows");
      EXPECT_STREQ(model->links[1].fromId, "last");
      EXPECT_EQ(model->links[1].line, model->links[0].line + 1);
    }
  }
  // A line of '#' that is too short to be a header stays dropped.
  auto model = ReadModel(full + "#LI\nk001 k001 knows\n", 65536, false);
  EXPECT_EQ(model->linkCount, 0);
}

TEST(ReadPlanDroppedLines, ListeningOrNotTheModelIsTheSame) {
  // Random plans of the awkward lines below, with sections overfilled often;
  // the reader that reports every dropped line and the one that passes over
  // them must fill the same model, line numbers included.
  const std::vector<std::string> kinds = {
      "#NODES\n", "#LINKS\n", "#CLASS\n", "#RELATION\n", "#PROJECT\n", "  #nodes\n", "#\n", "#NO\n",
      "# x\n", "\t#LINKS\r\n", "\r#NODES\n", "\n", "   \n", "\r\n", std::string("a\0#NODES\n", 9), std::string("\0\0\0\0\0#LINKS\n", 12),
      "k001 Person Jane /a /b 1\n", "k002 Person\r\n", "k001 k002 knows\n", "h1 caption text\n",
      "Person red dot 1\n", "a\rb c\n", "x y"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 40; ++round) {
    std::string plan;
    const int lines = std::uniform_int_distribution<int>(0, 4000)(random);
    for (int i = 0; i < lines; ++i) {
      const int pick = std::uniform_int_distribution<int>(0, 99)(random);
      if (pick < 60) {
        plan += kinds[16 + pick % 4];  // filler that overfills a section
      } else if (pick < 63) {
        // A long line; its pieces after the first may open a section.
        plan += std::string(std::uniform_int_distribution<int>(990, 2100)(random), 'w') +
                kinds[std::uniform_int_distribution<size_t>(0, kinds.size() - 1)(random)];
      } else {
        plan += kinds[std::uniform_int_distribution<size_t>(0, kinds.size() - 1)(random)];
      }
    }
    const size_t step = std::uniform_int_distribution<size_t>(1, 70000)(random);
    auto quiet = ReadModel(plan, step, false);
    auto listening = ReadModel(plan, step, true);
    ASSERT_EQ(std::memcmp(quiet.get(), listening.get(), sizeof(OntologyModel)), 0) << "round " << round;
  }
}

TEST(ScanFieldBefore, FindsTheFieldsScanFieldFinds) {
  // Blanks, the zero byte, bytes just above and below the field ends, and
  // bytes with the high bit set, in lines of every length around a word.
  const char kBytes[] = {' ', '\t', '\n', '\v', '\f', '\r', '\0', '\x01', '\x1f', '!', 'a', '#',
                         '\x7f', '\x80', '\xa1', '\xdf', '\xff'};
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    const size_t length = random() % 40;
    for (size_t i = 0; i < length; ++i) {
      line += random() % 4 == 0 ? kBytes[random() % sizeof kBytes] : static_cast<char>('a' + random() % 26);
    }
    // Exactly the line and its zero byte, so that a read past them is caught
    // by the sanitized builds.
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    const char* plain = text.data();
    const char* fast = text.data();
    FieldSpan a{};
    FieldSpan b{};
    for (;;) {
      const bool more = ScanField(&plain, &a);
      ASSERT_EQ(ScanFieldBefore(&fast, text.data() + line.size(), &b), more) << round;
      ASSERT_EQ(fast, plain) << round;
      if (!more) break;
      ASSERT_EQ(b.start, a.start) << round;
      ASSERT_EQ(b.length, a.length) << round;
    }
  }
}

}  // namespace
}  // namespace plotweave
