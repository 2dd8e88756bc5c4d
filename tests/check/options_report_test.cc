// The command line, the character columns and the two output forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/columns.h"
#include "check/options.h"
#include "check/report.h"

namespace plotweave {
namespace {

struct Parsed {
  bool ok;
  CheckOptions options;
  std::string error;
  std::vector<std::string> plans;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "plotweave-check");
  Parsed p{};
  char error[kOptionErrorWidth];
  p.ok = ParseCheckOptions(static_cast<int>(args.size()), args.data(), &p.options, error, sizeof error);
  p.error = error;
  if (p.ok) {
    PlanCursor cursor;
    for (int i; (i = NextPlanArgument(static_cast<int>(args.size()), args.data(), &cursor)) >= 0;) {
      p.plans.push_back(args[static_cast<size_t>(i)]);
    }
  }
  return p;
}

TEST(CheckOptions, PlansOptionsAndValuesInAnyOrder) {
  Parsed p = Parse({"a.lst", "--format=json", "b.lst", "--strict", "--color", "never", "c.lst"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.format, OutputFormat::kJson);
  EXPECT_TRUE(p.options.strict);
  EXPECT_EQ(p.options.colour, ColourChoice::kNever);
  EXPECT_EQ(p.options.planCount, 3);
  EXPECT_EQ(p.plans, (std::vector<std::string>{"a.lst", "b.lst", "c.lst"}));

  // The value of a two-argument option is never taken for a plan; after "--"
  // everything is a plan, and a lone "-" is one too.
  p = Parse({"--format", "text", "--", "--strict", "-", "-x.lst"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_FALSE(p.options.strict);
  EXPECT_EQ(p.plans, (std::vector<std::string>{"--strict", "-", "-x.lst"}));
}

TEST(CheckOptions, UsageErrorsAreDescribed) {
  EXPECT_EQ(Parse({}).error, "no plan given");
  EXPECT_EQ(Parse({"--strict"}).error, "no plan given");
  EXPECT_EQ(Parse({"--format=xml", "a.lst"}).error, "--format takes text or json");
  EXPECT_EQ(Parse({"a.lst", "--format"}).error, "--format takes text or json");
  EXPECT_EQ(Parse({"--colour=maybe", "a.lst"}).error, "--color takes auto, always or never");
  EXPECT_EQ(Parse({"--strict=yes", "a.lst"}).error, "unknown option --strict=yes");
  EXPECT_EQ(Parse({"-v", "a.lst"}).error, "unknown option -v");
  // Help and version need no plan.
  EXPECT_TRUE(Parse({"--help"}).ok && Parse({"-h"}).options.help);
  EXPECT_TRUE(Parse({"--version"}).options.version);
}

TEST(CheckColumns, CharactersAsThePlansEncodingShowsThem) {
  // ASCII bytes and KS pairs are one character each.
  const std::string ks = "ab\xB0\xA1\xB3\xAA c";
  EXPECT_EQ(CountCharacters(ks.data(), ks.size(), false), 6);
  // A plan read from Unicode: a five-digit reference is one character, the
  // two references of a surrogate pair are one together; a reference of
  // other length is text, and in a KS plan every reference is text.
  const std::string converted = "x&#44034;y&#55357;&#56832;z&#123;";
  EXPECT_EQ(CountCharacters(converted.data(), converted.size(), true), 5 + 6);
  EXPECT_EQ(CountCharacters(converted.data(), converted.size(), false), static_cast<long>(converted.size()));
  // Two high halves in a row are two characters; a lone low half is one.
  const std::string halves = "&#55357;&#55357;&#56832;&#56832;";
  EXPECT_EQ(CountCharacters(halves.data(), halves.size(), true), 3);
}

TEST(CheckColumns, KsPairSplitAcrossTwoPiecesOfALineCountsOnce) {
  ColumnCarry carry;
  const std::string first = "ab\xB0";
  const std::string second = "\xA1z";
  EXPECT_EQ(CountCharacters(first.data(), first.size(), false, &carry), 3);
  EXPECT_TRUE(carry.trailPending);
  EXPECT_EQ(CountCharacters(second.data(), second.size(), false, &carry), 1);
  EXPECT_FALSE(carry.trailPending);
}

Finding Sample(FindingCode code, const char* message) {
  Finding f{};
  f.code = code;
  f.line = 12;
  f.column = 7;
  SetMessage(f, "%s", message);
  return f;
}

TEST(CheckReport, TextFormIsWhatEditorsAndProblemMatchersRead) {
  char out[kReportLineWidth];
  const Finding f = Sample(FindingCode::kApostrophe, "the node label \"O'Neil\" holds an apostrophe");
  FormatTextFinding("plans/site.lst", f, false, out, sizeof out);
  EXPECT_STREQ(out, "plans/site.lst:12:7: error: the node label \"O'Neil\" holds an apostrophe [apostrophe]\n");
  FormatTextFinding("p.lst", Sample(FindingCode::kShortLine, "m"), true, out, sizeof out);
  EXPECT_STREQ(out, "\033[1mp.lst:12:7:\033[0m \033[1;35mwarning:\033[0m m [short-line]\n");
  FormatTextFinding("p.lst", Sample(FindingCode::kUnusedClass, "m"), false, out, sizeof out);
  EXPECT_STREQ(out, "p.lst:12:7: note: m [unused-class]\n");
}

TEST(CheckReport, JsonObjectsAreValidWhateverThePlanNameHolds) {
  char out[kReportLineWidth];
  // Quotes, backslashes and control bytes are escaped; bytes that are not
  // UTF-8 (a plan name in KS code) become U+FFFD; UTF-8 passes unchanged.
  FormatJsonFinding("a\"b\\c\t\xB0\xA1\xEA\xB0\x80.lst", Sample(FindingCode::kFieldCut, "cut \"x\""), out,
                    sizeof out);
  EXPECT_STREQ(out,
               "{\"plan\":\"a\\\"b\\\\c\\u0009\\ufffd\\ufffd\xEA\xB0\x80.lst\",\"line\":12,\"column\":7,"
               "\"severity\":\"warning\",\"code\":\"field-cut\",\"message\":\"cut \\\"x\\\"\"}\n");
  PlanSummary summary;
  summary.nodes = 3;
  summary.links = 2;
  summary.classes = 1;
  summary.relations = 4;
  summary.counts.errors = 5;
  summary.counts.notes = 1;
  FormatJsonSummary("p.lst", summary, out, sizeof out);
  EXPECT_STREQ(out,
               "{\"plan\":\"p.lst\",\"summary\":{\"nodes\":3,\"links\":2,\"classes\":1,\"relations\":4,"
               "\"errors\":5,\"warnings\":0,\"notes\":1}}\n");
}

TEST(CheckReport, OverlongPlanNameIsCutAndTheObjectStillCloses) {
  std::string name(9000, '\x80');  // each byte becomes six
  char out[kReportLineWidth];
  const size_t n = FormatJsonFinding(name.c_str(), Sample(FindingCode::kNodeWithoutLinks, "m"), out, sizeof out);
  const std::string json(out, n);
  EXPECT_LT(n, sizeof out);
  const std::string tail =
      "\",\"line\":12,\"column\":7,\"severity\":\"note\",\"code\":\"node-without-links\",\"message\":\"m\"}\n";
  ASSERT_GT(json.size(), tail.size());
  EXPECT_EQ(json.substr(json.size() - tail.size()), tail);
  // The name is cut after whole escapes only.
  EXPECT_EQ((json.size() - tail.size() - std::string("{\"plan\":\"").size()) % 6, 0u);
  // A message cut to fit never ends inside a UTF-8 character.
  Finding f{};
  f.code = FindingCode::kFieldCut;
  SetMessage(f, "%s", std::string(kMessageWidth - 2, 'a').append("\xEA\xB0\x80").c_str());
  EXPECT_EQ(std::string(f.message), std::string(kMessageWidth - 2, 'a'));
}

}  // namespace
}  // namespace plotweave
