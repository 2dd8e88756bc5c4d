// The round trip: for plans that lose nothing to the reader's limits, the
// interchange tables of a plan, imported, give a plan whose page is the
// original's byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/import/import_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// A piece of text as the plan writes it, as the page (and so the tables)
// show it, and the bytes the reader counts for it.
struct Piece {
  const char* plan;
  const char* shown;
  int bytes;
};

// Names are written as the plan has them, escapes of the script included.
const std::vector<Piece> kNamePieces = {{"a", "a", 1},
                                        {"k", "k", 1},
                                        {"Z", "Z", 1},
                                        {"0", "0", 1},
                                        {"7", "7", 1},
                                        {"-", "-", 1},
                                        {"_", "_", 1},
                                        {"가", "가", 2},
                                        {"성", "성", 2},
                                        {"똠", "똠", 8},
                                        {"\\'", "\\'", 2},
                                        {"\\\\", "\\\\", 2},
                                        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 16}};

// Display texts: "_" shows as a blank, the script reads \' and \\, the page
// encoder turns references and U+ escapes into their characters.
const std::vector<Piece> kLabelPieces = {
    {"a", "a", 1},       {"Q", "Q", 1},     {"9", "9", 1},     {"_", " ", 1},
    {"가", "가", 2},     {"도", "도", 2},   {"똠", "똠", 8},   {"é", "é", 8},
    {"\\'", "'", 2},     {"\\\\", "\\", 2}, {"#", "#", 1},     {"&#44034;", "갂", 8},
    {"U+AC00", "가", 6}, {"\"", "\"", 1},   {"<b>", "<b>", 3}, {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 16}};

// Captions stand in an HTML comment, where quotes are plain text.
const std::vector<Piece> kCaptionPieces = {{"a", "a", 1},         {"map", "map", 3},
                                           {"_", " ", 1},         {"지도", "지도", 4},
                                           {"똠", "똠", 8},       {"'", "'", 1},
                                           {"\"", "\"", 1},       {"U+0041", "A", 6},
                                           {"&#44034;", "갂", 8}, {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 16}};

const std::vector<Piece> kAddressPieces = {
    {"/", "/", 1}, {"p", "p", 1},   {".html", ".html", 5}, {"?q=1", "?q=1", 4}, {"#top", "#top", 4},
    {"_", "_", 1}, {"가", "가", 2}, {"img", "img", 3},     {".png", ".png", 4}, {"\\'", "\\'", 2}};

const char* const kColours[] = {"red", "darkblue", "#c0c0c0", "gray", "dark_green", "청색"};
const char* const kStyles[] = {"dot", "box", "ellipse", "line", "arrow", "dash-line", "image"};

class PlanMaker {
 public:
  explicit PlanMaker(unsigned seed) : random_(seed) {}

  int Below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  // Text of 1 to `most` pieces within `budget` reader bytes.
  void Text(const std::vector<Piece>& pieces, int most, int budget, std::string* plan, std::string* shown) {
    const int count = 1 + Below(most);
    int used = 0;
    for (int i = 0; i < count; ++i) {
      const Piece& p = pieces[static_cast<size_t>(Below(static_cast<int>(pieces.size())))];
      if (used + p.bytes > budget) continue;
      used += p.bytes;
      *plan += p.plan;
      *shown += p.shown;
    }
    if (plan->empty()) {
      *plan = pieces[0].plan;
      *shown = pieces[0].shown;
    }
  }

  // A fresh name: a counter keeps it apart from the others of its table.
  void Name(char prefix, int number, std::string* plan, std::string* shown) {
    *plan = std::string(1, prefix) + std::to_string(number);
    *shown = *plan;
    Text(kNamePieces, 4, 39 - 4 - 16, plan, shown);
  }

 private:
  std::mt19937 random_;
};

struct MadePlan {
  std::string plan;  // UTF-8 with a byte-order mark
  Table nodes, links, classes, relations, captions;
};

MadePlan MakePlan(unsigned seed, bool full) {
  PlanMaker m(seed);
  MadePlan out;
  out.nodes = {{"id", "label", "class", "address", "image", "picture"}};
  out.links = {{"source", "target", "relation"}};
  out.classes = {{"name", "color", "style", "label_flag"}};
  out.relations = out.classes;
  out.captions = {{"tag", "text"}};
  std::string plan = "\xEF\xBB\xBF#PROJECT\n";
  const int captions = full ? 10 : m.Below(4);
  for (int i = 0; i < captions; ++i) {
    static const char* const kTags[] = {"h1", "h2", "h3", "p", "div", "center"};
    const char* tag = kTags[m.Below(6)];
    std::string text, shown;
    if (std::string(tag) != "center") m.Text(kCaptionPieces, 12, 250, &text, &shown);
    // The imported line must be as long as the reader wants it too.
    if (shown.size() < 2) text += "xy", shown += "xy";
    if (std::string(tag) == "center" && m.Below(2) == 0) text.clear(), shown.clear();
    plan += std::string(tag) + (text.empty() ? "" : " " + text) + "\n";
    out.captions.push_back({tag, shown});
  }
  for (int kind = 0; kind < 2; ++kind) {
    plan += kind == 0 ? "#CLASS\n" : "#RELATION\n";
    Table& table = kind == 0 ? out.classes : out.relations;
    const int count = full ? 100 : 1 + m.Below(6);
    for (int i = 0; i < count; ++i) {
      std::string name, shown;
      m.Name(kind == 0 ? 'C' : 'R', i, &name, &shown);
      const std::string colour = kColours[m.Below(6)], style = kStyles[m.Below(7)];
      // No fourth field, or a flag: the reader's default is what the tables say.
      const int flag = m.Below(4) - 1;
      const bool given = m.Below(3) != 0;
      plan += name + " " + colour + " " + style + (given ? " " + std::to_string(flag) : "") + "\n";
      table.push_back({shown, colour, style, std::to_string(given ? flag : kind == 0 ? 1 : 0)});
    }
  }
  plan += "#NODES\n";
  std::vector<std::string> ids;
  const int nodes = full ? 512 : m.Below(30);
  for (int i = 0; i < nodes; ++i) {
    std::string id, idShown, label, labelShown;
    if (!ids.empty() && m.Below(15) == 0) {
      id = idShown = ids[static_cast<size_t>(m.Below(static_cast<int>(ids.size())))];  // a repeated id
    } else {
      m.Name('n', i, &id, &idShown);
    }
    ids.push_back(id);
    const std::vector<std::string>& cls =
        out.classes[static_cast<size_t>(1 + m.Below(static_cast<int>(out.classes.size()) - 1))];
    // The plan's class name is the table's: names are written as they are.
    m.Text(kLabelPieces, 8, 39, &label, &labelShown);
    std::string line = id + " " + cls[0] + " " + label;
    std::string address, image;
    const int fields = 3 + m.Below(4);  // 3 to 6
    if (fields >= 4) {
      std::string shown;
      m.Text(kAddressPieces, 8, 255, &address, &shown);
      line += " " + address;
    }
    std::string picture = "0";
    if (fields >= 5) {
      std::string shown;
      m.Text(kAddressPieces, 6, 127, &image, &shown);
      line += " " + image;
    }
    if (fields == 6) {
      picture = m.Below(2) == 0 ? "0" : "1";
      line += " " + picture;
    }
    plan += line + "\n";
    out.nodes.push_back({idShown, labelShown, cls[0], address, image, picture});
  }
  plan += "#LINKS\n";
  const int links = ids.empty() ? 0 : full ? 800 : m.Below(40);
  for (int i = 0; i < links; ++i) {
    const std::string& from = ids[static_cast<size_t>(m.Below(static_cast<int>(ids.size())))];
    const std::string& to = ids[static_cast<size_t>(m.Below(static_cast<int>(ids.size())))];
    const std::string& relation =
        out.relations[static_cast<size_t>(1 + m.Below(static_cast<int>(out.relations.size()) - 1))][0];
    plan += from + " " + to + " " + relation + "\n";
    out.links.push_back({from, to, relation});
  }
  out.plan = plan;
  return out;
}

// The page plotweave makes of `plan` in a folder of its own.
std::string PageOf(const std::string& folder, const std::string& plan) {
  WriteFileBytes(folder + "/plan.lst", plan);
  const ProgramRun run = RunPlotweave(folder, "plan.lst");
  EXPECT_EQ(run.status, 0);
  return ReadFileBytes(folder + "/plan.htm");
}

// Imports the five tables in `tables` (relative to `folder`) into
// folder/plan.lst, and compares its page with `original`.
void ExpectSamePage(const std::string& folder, const std::string& tables, const std::string& original,
                    const std::string& what) {
  std::vector<std::string> args;
  for (const char* table : {"nodes", "links", "classes", "relations", "captions"}) {
    args.push_back(std::string("--") + table);
    args.push_back(tables + "/" + table + ".csv");
  }
  args.push_back("-o");
  args.push_back("plan.lst");
  const ProgramRun run = RunImport(folder, args);
  ASSERT_EQ(run.status, 0) << what << "\n" << run.out;
  // Nothing is lost, so nothing is worth a warning but the ids given twice,
  // which the plan repeats as well.
  size_t warning = run.out.find(": warning:");
  while (warning != std::string::npos && run.out.compare(run.out.find('[', warning), 11, "[duplicate]") == 0) {
    warning = run.out.find(": warning:", warning + 1);
  }
  EXPECT_EQ(warning, std::string::npos) << what << "\n" << run.out;
  ASSERT_EQ(RunPlotweave(folder, "plan.lst").status, 0);
  const std::string page = ReadFileBytes(folder + "/plan.htm");
  if (page != original) {
    // Where the pages part, and the imported plan.
    size_t at = 0;
    while (at < page.size() && at < original.size() && page[at] == original[at]) ++at;
    const size_t from = original.rfind('\n', at) + 1;
    FAIL() << what << ": the pages part at\n"
           << original.substr(from, original.find('\n', at) - from) << "\n"
           << page.substr(from, page.find('\n', at) - from) << "\n"
           << ReadFileBytes(folder + "/plan.lst");
  }
}

// The tables as plotweave-export writes them, of folder/plan.lst.
void Export(const std::string& folder, const std::string& tables) {
  const ProgramRun run = RunExport(folder, {"plan.lst", "--to", "csv", "-o", tables});
  ASSERT_EQ(run.status, 0) << run.out;
}

TEST(ImportRoundTrip, TheExamplesComeBackToTheirPagesThroughTheExportedTables) {
  TempDir dir;
  for (const char* name : {"ontology.lst", "ontology-utf8.lst", "ontology-utf16le.lst"}) {
    const std::string original = PageOf(dir.path(), ReadFileBytes(testing::SourceDir() + "/examples/" + name));
    ASSERT_NO_FATAL_FAILURE(Export(dir.path(), "tables"));
    ExpectSamePage(dir.path(), "tables", original, name);
  }
}

TEST(ImportRoundTrip, RandomPlansComeBackToTheirPagesThroughTheirTables) {
  TempDir dir;
  for (const char* sub : {"original", "tables", "imported"}) {
    ASSERT_TRUE(std::filesystem::create_directory(dir / sub));
  }
#ifdef _WIN32
  constexpr unsigned kPlans = 60;  // every run of a program starts Wine
#else
  constexpr unsigned kPlans = 200;
#endif
  for (unsigned seed = 1; seed <= kPlans; ++seed) {
    const MadePlan made = MakePlan(seed, seed == 1);
    const std::string original = PageOf(dir / "original", made.plan);
    ASSERT_NE(original.find("nodesTable.addRow(['00000'"), std::string::npos) << made.plan;
    const std::string bom = "\xEF\xBB\xBF";
    WriteFileBytes(dir / "tables/nodes.csv", bom + WriteTable(made.nodes));
    WriteFileBytes(dir / "tables/links.csv", bom + WriteTable(made.links));
    WriteFileBytes(dir / "tables/classes.csv", bom + WriteTable(made.classes));
    WriteFileBytes(dir / "tables/relations.csv", bom + WriteTable(made.relations));
    WriteFileBytes(dir / "tables/captions.csv", bom + WriteTable(made.captions));
    const std::string what = "seed " + std::to_string(seed) + "\n" + made.plan;
    ExpectSamePage(dir / "imported", "../tables", original, what);
    // The same through the tables the exporter writes of the plan.
    ASSERT_NO_FATAL_FAILURE(Export(dir / "original", "tables"));
    ExpectSamePage(dir / "imported", "../original/tables", original, what);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace plotweave
