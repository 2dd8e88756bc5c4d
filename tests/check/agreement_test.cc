// Random plans through the checker and the main program: whenever the main
// program refuses a plan, the checker reports an error of the same kind, and
// whenever the checker finds no error, the main program writes a page.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/check/check_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::TempDir;

// Pieces the plans are made of: names that are declared and names that are
// not, Hangul (KS code in the plan), and the traps of the plan format.
class PlanMaker {
 public:
  explicit PlanMaker(uint32_t seed) : rng_(seed) {}

  // A plan in UTF-8, to be stored in one of the three encodings.
  std::string Make() {
    // Half the plans declare what they use, so that many of them are valid
    // and the traps decide.
    tidy_ = Chance(50);
    std::string plan;
    if (Chance(10)) plan += "stray line before any header\n";
    if (tidy_) {
      plan += "#CLASS\nPerson red box\nPlace blue dot 0\n사람 green box 1\n#RELATION\nlivesIn gray line 1\n"
              "part_of red dash\n관계 blue line 0\n#NODES\nk001 Person a\nk002 Place b\n노드01 사람 c\n";
    }
    const int sections = Pick(2, 9);
    for (int s = 0; s < sections; ++s) {
      switch (Pick(0, 7)) {
        case 0: plan += "#PROJECT\n" + Lines(0, 3, [this] { return One({"h1", "h2", "p"}) + " " + Text() + "\n"; }); break;
        case 1: case 6: plan += "#CLASS\n" + Lines(0, 4, [this] { return ClassLine(); }); break;
        case 2: plan += "#RELATION\n" + Lines(0, 3, [this] { return RelationLine(); }); break;
        case 3: case 7: plan += One({"#NODES", "#nodes", "#NODESET"}) + "\n" + Lines(0, Chance(15) ? 600 : 8, [this] { return NodeLine(); }); break;
        case 4: plan += "#LINKS\n" + Lines(0, Chance(10) ? 900 : 8, [this] { return LinkLine(); }); break;
        case 5: plan += One({"# NODES", "# people", "#NOTES", "#"}) + "\n"; break;
      }
      if (Chance(10)) plan += One({"", "\n", "ab\n", "    \n", "k01\n"});
    }
    return plan;
  }

 private:
  bool Chance(int percent) { return Pick(0, 99) < percent; }
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  std::string One(std::initializer_list<const char*> options) {
    return *(options.begin() + Pick(0, static_cast<int>(options.size()) - 1));
  }
  template <typename Line>
  std::string Lines(int low, int high, Line line) {
    std::string out;
    for (int i = Pick(low, high); i > 0; --i) out += line();
    return out;
  }
  std::string ClassName() {
    if (tidy_ && !Chance(5)) return One({"Person", "Place", "사람"});
    return One({"Person", "Place", "사람", "dummy", "Thing", "person"});
  }
  std::string Relation() {
    if (tidy_ && !Chance(5)) return One({"livesIn", "part_of", "관계"});
    return One({"livesIn", "part_of", "관계", "knows"});
  }
  std::string NodeId() {
    if (tidy_ && !Chance(5)) return One({"k001", "k002", "노드01"});
    if (Chance(10)) return "k" + std::to_string(Pick(0, 999)) + std::string(Pick(0, 1) ? 40 : 0, 'x');
    return One({"k001", "k002", "k003", "노드01", "k01", "00000"});
  }
  std::string Text() {
    if (Chance(5)) return "long_" + std::string(60, 'l');
    return One({"Old_Town", "서울", "O'Neil", "C:\\\\dir", "end\\", "a&#39;b", "x</script>", "U+0027", "--> y"});
  }
  std::string ClassLine() {
    return ClassName() + One({"", " darkblue", " red dot", " red dot 0", " red dot 1 extra"}) + "\n";
  }
  std::string RelationLine() { return Relation() + One({"", " gray", " gray line", " gray line 1"}) + "\n"; }
  std::string NodeLine() {
    std::string line = NodeId();
    const int fields = Pick(tidy_ && !Chance(5) ? 1 : 0, 6);
    if (fields >= 1) line += " " + ClassName();
    if (fields >= 2) line += " " + Text();
    if (fields >= 3) line += " /p/" + std::to_string(Pick(0, 9)) + ".html";
    if (fields >= 4) line += " /img/a.png";
    if (fields >= 5) line += " " + One({"0", "1", "2", "x"});
    if (fields >= 6) line += " extra";
    return line + "\n";
  }
  std::string LinkLine() {
    std::string line = NodeId();
    if (!Chance(5)) line += " " + NodeId();
    if (!Chance(5)) line += " " + Relation();
    return line + "\n";
  }

  std::mt19937 rng_;
  bool tidy_ = false;
};

const char* const kValidationMessages[][2] = {
    {" in the Node List is Invalid!", "class-undeclared"},
    {"Node 1 ID ", "first-node-unknown"},
    {"Node 2 ID ", "second-node-unknown"},
    {"Relation Name ", "relation-undeclared"},
};

size_t Occurrences(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(CheckAgreement, RandomPlansNeverBreakTheAgreementWithTheMainProgram) {
#ifdef _WIN32
  const int kPlans = 40;  // every run starts a Windows process under Wine
#else
  const int kPlans = 300;
#endif
  PlanMaker maker(20261207);
  int refused = 0, written = 0;
  for (int i = 0; i < kPlans; ++i) {
    const std::string utf8 = maker.Make();
    const PlanForm encoding = static_cast<PlanForm>(i % 3);
    TempDir dir;
    testing::WriteFileBytes(dir / "plan.lst", EncodePlan(utf8, encoding));
    int status = -1;
    const std::string main = testing::RunProgram(PLOTWEAVE_SELF_PROGRAM, dir.path(), {"plan.lst"}, &status);
    const bool pageWritten = main.find("has been Created.") != std::string::npos;
    const CheckRun check = RunCheck(dir.path(), {"--format=json", "plan.lst"});
    SCOPED_TRACE("plan " + std::to_string(i) + " (encoding " + std::to_string(i % 3) + "):\n" + utf8 +
                 "\nplotweave:\n" + main + "\nplotweave-check:\n" + check.out);
    ASSERT_TRUE(check.status == 0 || check.status == 1) << check.status;
    if (check.status == 0) {
      EXPECT_TRUE(pageWritten);
    }
    for (const auto& [message, code] : kValidationMessages) {
      // Every refusal of the main program has its finding in the checker,
      // which lists the faults of all stages at once.
      EXPECT_GE(Occurrences(check.out, std::string("\"code\":\"") + code + "\""), Occurrences(main, message))
          << code;
    }
    if (!pageWritten) {
      EXPECT_EQ(check.status, 1);
    }
    (pageWritten ? written : refused)++;
  }
  // The plans must exercise both outcomes, or the test proves nothing.
  EXPECT_GE(refused, kPlans / 8);
  EXPECT_GE(written, kPlans / 8);
  std::printf("%d plans refused, %d pages written\n", refused, written);
}

}  // namespace
}  // namespace plotweave
