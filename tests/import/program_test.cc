// The program end to end: spreadsheets with every kind of trap, what it
// reports about them, and the plan plotweave then reads.
#include <gtest/gtest.h>

#include <string>

#include "tests/import/import_support.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::NativeLines;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr char kBom[] = "\xEF\xBB\xBF";

// The lines of `out` that carry `code`.
[[maybe_unused]] std::string Lines(const std::string& out, const std::string& code) {
  std::string lines;
  size_t start = 0;
  while (start < out.size()) {
    const size_t end = out.find('\n', start);
    const std::string line = out.substr(start, end - start + 1);
    if (line.find("[" + code + "]") != std::string::npos) lines += line;
    start = end == std::string::npos ? out.size() : end + 1;
  }
  return lines;
}

TEST(ImportProgram, EverySpreadsheetTrapIsReportedWhereItStandsAndRefusesTheImport) {
  TempDir dir;
  WriteFileBytes(dir / "classes.csv", WriteTable({{"Name", "Colour", "style", "Label Flag", "remark"},
                                                  {"Person", "darkred", "box", "1", ""},
                                                  {"Place", "", "dot", "yes", "no colour"},
                                                  {"Person", "blue", "box", "0", ""}}));
  // Tab-separated, told by its header row.
  WriteFileBytes(dir / "relations.tsv", "name\tcolor\tstyle\nknows\tgray\tline\n");
  WriteFileBytes(dir / "nodes.csv",
                 std::string(kBom) +
                     WriteTable({{"id", "name", "type", "url", "image", "picture"},
                                 {"k001", "Jane Doe", "Person", "", "", ""},
                                 {"k002", "Old_Town", "Place", "/town.html", "", "0"},
                                 {"k003", "a</SCRIPT>b", "Person", "", "", ""},
                                 {"k004", "two\nlines", "Person", "", "", ""},
                                 {"k005", "", "Person", "", "", ""},
                                 {"", "No id", "Person", "", "", ""},
                                 {"k006", "Gate", "Place", "", "gate.png", ""},
                                 {"k007", "Hall", "Place", "/hall.html", "", "1"},
                                 {"k008", "Well", "Place", "/well.html", "well.png", "2"},
                                 {"k009", "한양 도성의 성곽과 여러 문을 잇는 옛길을 따라서", "Place", "", "", ""},
                                 {"k010", "Tab\there", "Robot", "", "", ""},
                                 {"k001", "Again", "Person", "", "", ""},
                                 {"k 011", "Spaced", "Person", "", "", "", "stray"},
                                 {"", "", "", "", "", ""}}));
  WriteFileBytes(dir / "links.csv", WriteTable({{"from", "to", "type"},
                                                {"k001", "k002", "knows"},
                                                {"k001", "k999", "likes"},
                                                {"k 011", "k001", "part of"}}));
  WriteFileBytes(dir / "captions.csv", WriteTable({{"tag", "text"}, {"h1", "Sites --> more"}, {"p", "A"}}));
  const std::string before = dir.Listing();
  const ProgramRun run = RunImport(dir.path(), {"--nodes", "nodes.csv", "--links=links.csv", "--classes",
                                                "classes.csv", "--relations", "relations.tsv", "--captions",
                                                "captions.csv", "-o", "sites.lst"});
  // One finding a trap, in table order and row order; an error refuses the
  // import, and a row in error declares nothing (the relation "likes").
  const std::string expected =
      "classes.csv:1:5: note: the column \"remark\" is none that a plan holds, and is not read [column-ignored]\n"
      "classes.csv:3:2: note: the class \"Place\" gives no colour; it is declared with the default gray [default-appearance]\n"
      "classes.csv:3:4: warning: the label flag \"yes\" is no number from -32768 to 32767; the class is written with 1, the default [label-flag]\n"
      "classes.csv:4:1: warning: the class \"Person\" is declared a second time; plotweave takes the first declaration, and this one changes nothing [duplicate]\n"
      "nodes.csv:3:2: warning: the node label \"Old_Town\" holds \"_\", which the page shows as a blank [underscore]\n"
      "nodes.csv:4:2: error: the node label \"a</SCRIPT>b\" holds \"</script\", which would end the page's script; the import is refused: write it otherwise [script-end]\n"
      "nodes.csv:5:2: error: the node label \"two?lines\" holds a line break, which a plan line cannot carry; the import is refused: remove it [line-break]\n"
      "nodes.csv:6:2: warning: the node label is empty; it is written as \"_\", which the page shows as a blank [empty-label]\n"
      "nodes.csv:7:1: error: the node id is empty, and a plan line cannot leave it out; the import is refused: fill it in [missing-value]\n"
      "nodes.csv:8:5: warning: the node has an image but no address, and a plan line gives an image only after an address; the image is left out [image-without-address]\n"
      "nodes.csv:9:6: warning: the node is to be drawn as its picture, but has no image; it is drawn as its label [picture-without-image]\n"
      "nodes.csv:10:6: warning: the picture value \"2\" is neither 0 nor 1; it is read as 0, and the node is drawn as its label [picture-value]\n"
      "nodes.csv:11:2: warning: the node label takes 47 bytes in the plan, and plotweave keeps 39; it is written cut to \"한양 도성의 성곽과 여러 문을 잇는 옛길\" [value-cut]\n"
      "nodes.csv:12:2: warning: the node label \"Tab?here\" holds a tab or another blank control character, which is written as a blank and shows as a space [blank-character]\n"
      "nodes.csv:12:3: note: the class \"Robot\" is not declared in the table; it is declared with the colour gray, the style dot and the label flag 1 [declared-by-default]\n"
      "nodes.csv:13:1: warning: the node id \"k001\" is given a second time; links reach only the first node of that id, and this one is drawn without any [duplicate]\n"
      "nodes.csv:14:7: warning: the row has a value beyond the 6 columns of the header row, which is not read [extra-cells]\n"
      "nodes.csv:14:1: note: the node id \"k 011\" holds a blank, which a plan field cannot; it is written as \"_\" wherever the name stands [blank-in-name]\n"
      "links.csv:3:2: error: the link ends at node \"k999\", which the plan does not hold, so plotweave would write no page; the import is refused: add the node or correct the id [unknown-node]\n"
      "links.csv:4:1: note: the link source \"k 011\" holds a blank, which a plan field cannot; it is written as \"_\" wherever the name stands [blank-in-name]\n"
      "links.csv:4:3: note: the link relation \"part of\" holds a blank, which a plan field cannot; it is written as \"_\" wherever the name stands [blank-in-name]\n"
      "links.csv:4:3: note: the relation \"part of\" is not declared in the table; it is declared with the colour gray, the style line and the label flag 0 [declared-by-default]\n"
      "captions.csv:2:2: error: the caption \"Sites --> more\" holds \"-->\", which would end the comment the captions stand in; the import is refused: leave it out [comment-end]\n"
      "captions.csv:3:2: warning: the caption line is shorter than five bytes with its line feed, and plotweave skips it; lengthen the tag or the text [short-caption]\n";
  EXPECT_EQ(run.out, NativeLines(expected));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(dir.Listing(), before);
}

TEST(ImportProgram, APlanWithWarningsIsWrittenAndPlotweaveShowsWhatTheTablesSay) {
  TempDir dir;
  WriteFileBytes(dir / "classes.csv", WriteTable({{"name", "color", "style", "label_flag"},
                                                  {"Person", "darkred", "box", "1"},
                                                  {"Place", "darkblue", "dot", "0"}}));
  // Every character the page would read otherwise: quotes and backslashes
  // in the script, '#' that starts a header or a reference, "U+" that starts
  // an escape, a compatibility ideograph (U+F900) that KS code folds into
  // another, Hangul outside KS code and a character beyond U+FFFF.
  WriteFileBytes(dir / "nodes.csv",
                 WriteTable({{"id", "label", "class", "address", "image", "picture"},
                             {"k001", "Jane \"JD\" O'Neil \\ x", "Person", "", "", ""},
                             {"k002", "Old_Town", "Place", "/town.html", "town.png", "1"},
                             {"#k4", "#1 hit", "Person", "", "", "0"},
                             {"k005", "U+AC00 &#44032;", "Person", "/a b.html", "", ""},
                             {"k006", "\xF0\x9F\x98\x80 똠 \xEF\xA4\x80", "Person", "", "", ""}}));
  WriteFileBytes(dir / "links.csv",
                 WriteTable({{"source", "target", "relation"}, {"k001", "#k4", "knows"}, {"#k4", "k002", "part of"}}));
  const std::vector<std::string> args = {"--nodes", "nodes.csv", "--links", "links.csv", "--classes",
                                         "classes.csv", "--caption", "It's U+0041 map", "-o", "plan.lst"};
  const std::string before = dir.Listing();
  EXPECT_EQ(RunImport(dir.path(), [&] {
              auto strict = args;
              strict.push_back("--strict");
              return strict;
            }()).status,
            1);
  EXPECT_EQ(dir.Listing(), before);

  const ProgramRun run = RunImport(dir.path(), args);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Lines(run.out, "underscore"),
            NativeLines("nodes.csv:3:2: warning: the node label \"Old_Town\" holds \"_\", which the page shows as a "
                        "blank [underscore]\n"));
  EXPECT_EQ(dir.Listing(), before + " plan.lst");
  const std::string plan = ReadFileBytes(dir / "plan.lst");
  EXPECT_EQ(plan.substr(0, 3), kBom);
  EXPECT_NE(plan.find("\nk005 Person U&#00043;AC00_&&#00035;44032; /a&#00032;b.html\n"
                      "k006 Person \xF0\x9F\x98\x80_똠_&#63744;\n"),
            std::string::npos)
      << plan;

  // The checker finds nothing that would stop or break the page.
  const ProgramRun check = RunCheckProgram(dir.path(), {"plan.lst"});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_EQ(check.out.find("error"), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("warning"), std::string::npos) << check.out;

  ASSERT_EQ(RunPlotweave(dir.path(), "plan.lst").status, 0);
  const std::string page = ReadFileBytes(dir / "plan.htm");
  for (const char* row :
       {"['k001', 'Person', 'Jane \"JD\" O\\'Neil \\\\ x', 'Jane_\"JD\"_O\\'Neil_\\\\_x', 'box', '",
        "['k002', 'Place_image', '', '<a href=\"/town.html\" target=\"_blank\">Old_Town</a>', 'image', 'town.png', "
        "'/town.html']",
        "['#k4', 'Person', '#1 hit', '#1_hit', 'box', '",
        "['k005', 'Person', 'U+AC00 &#44032;', '<a href=\"/a b.html\" target=\"_blank\">U+AC00_&#44032;</a>', 'box', '",
        "['k006', 'Person', '\xF0\x9F\x98\x80 똠 \xEF\xA4\x80', '\xF0\x9F\x98\x80_똠_\xEF\xA4\x80', 'box', '",
        "['k001', '#k4', 'gray', 'line', 'knows', '']", "['#k4', 'k002', 'gray', 'line', 'part of', '']",
        "<h1 style=\"text-align: center;\">It's U+0041 map\n</h1>"}) {
    EXPECT_NE(page.find(NativeLines(row)), std::string::npos) << row;
  }
}

}  // namespace
}  // namespace plotweave
