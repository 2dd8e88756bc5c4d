// The program end to end: spreadsheets with every kind of trap, what it
// reports about them, and the plan plotweave then reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

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
std::string Lines(const std::string& out, const std::string& code) {
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
  WriteFileBytes(dir / "captions.csv", WriteTable({{"tag", "text"}, {"h1", "Sites --> more"}, {"p", "A"}, {"b--", "Bold"}, {"p", "a--!>b"}}));
  const std::string before = dir.Listing();
  const ProgramRun run = RunImport(dir.path(), {"--nodes", "nodes.csv", "--links=links.csv", "--classes",
                                                "classes.csv", "--relations", "relations.tsv", "--captions",
                                                "captions.csv", "-o", "sites.lst"});
  // One finding a trap, in table order and row order; an error refuses the
  // import, and a row in error declares nothing (the relation "likes").
  const std::string expected =
      "classes.csv:1:5: note: the column \"remark\" is none that a plan holds, and is not read [column-ignored]\n"
      "classes.csv:3:2: note: the class \"Place\" gives no colour; it is declared with the default colour gray [default-appearance]\n"
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
      "captions.csv:3:2: warning: the caption line is shorter than five bytes with its line feed, and plotweave skips it; lengthen the tag or the text [short-caption]\n"
      "captions.csv:4:1: error: the caption tag \"b--\" ends in \"--\", and its closing tag would hold \"-->\", which would end the comment the captions stand in; the import is refused: leave it out [comment-end]\n"
      "captions.csv:5:2: error: the caption \"a--!>b\" holds \"--!>\", which would end the comment the captions stand in; the import is refused: leave it out [comment-end]\n";
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
                             {"k006", "\xF0\x9F\x98\x80 똠 \xEF\xA4\x80", "Person", "", "", ""},
                             // A name is the plan's own text: its escapes stay, a bare
                             // apostrophe or backslash is escaped.
                             {"O'Neil\\", "x", "Person\\'s", "/o\\'n.html", "", ""}}));
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
        "['O\\'Neil\\\\', 'Person\\'s', 'x', '<a href=\"/o\\'n.html\" target=\"_blank\">x</a>', 'dot', '",
        "['k001', '#k4', 'gray', 'line', 'knows', '']", "['#k4', 'k002', 'gray', 'line', 'part of', '']",
        "<h1 style=\"text-align: center;\">It's U+0041 map\n</h1>"}) {
    EXPECT_NE(page.find(NativeLines(row)), std::string::npos) << row;
  }
}

TEST(ImportProgram, TablesThatCannotBeReadAsTextOrExceedThePlanAreRefused) {
  TempDir dir;
  const std::string header = "id,label,class\n";
  WriteFileBytes(dir / "bytes.csv", header + "k001,Caf\xE9,Person\nk002,\"open,Person\n");
  WriteFileBytes(dir / "noid.csv", "key2,label,class\nk001,a,b\n");
  std::string wide = "name,color,style\n";
  for (int i = 0; i < 100; ++i) wide += "c" + std::to_string(i) + ",red,dot\n";
  WriteFileBytes(dir / "classes.csv", wide);
  std::string many = header;
  for (int i = 0; i < 515; ++i) many += "n" + std::to_string(i) + ",x,c" + std::to_string(i % 100) + "\n";
  WriteFileBytes(dir / "many.csv", many);
  WriteFileBytes(dir / "extra.csv", header + "k001,x,c1\nk002,y,newclass\n");

  ProgramRun run = RunImport(dir.path(), {"--nodes", "bytes.csv", "-o", "out.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, NativeLines("bytes.csv:2:2: error: the cell holds bytes that are not UTF-8; the import is "
                                 "refused: give --encoding cp949 for a table saved as \"ANSI\" on Korean Windows, "
                                 "or save it as UTF-8 [bad-encoding]\n"
                                 "bytes.csv:3:2: error: a quoted cell is not closed, and runs to the end of the "
                                 "table; the import is refused: close the quote [open-quote]\n"));
  run = RunImport(dir.path(), {"--nodes", "noid.csv", "-o", "out.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, NativeLines("noid.csv:1:1: note: the column \"key2\" is none that a plan holds, and is not "
                                 "read [column-ignored]\n"
                                 "noid.csv:1:1: error: the header row names no id column; the import is refused: "
                                 "name one \"id\" [missing-column]\n"));
  // 515 nodes: the last three are left out, and the 100 declared classes
  // leave no room for one more.
  run = RunImport(dir.path(), {"--nodes", "many.csv", "--classes", "classes.csv", "-o", "out.lst"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, NativeLines("many.csv:514:1: warning: a plan holds at most 512 nodes, and plotweave would "
                                 "drop the rest; this row and the 2 after it are left out [past-capacity]\n"));
  EXPECT_EQ(RunImport(dir.path(), {"--nodes", "many.csv", "--classes", "classes.csv", "--strict", "-o", "s.lst"})
                .status,
            1);
  run = RunImport(dir.path(), {"--nodes", "extra.csv", "--classes", "classes.csv", "-o", "extra.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, NativeLines("extra.csv:3:3: error: the class \"newclass\" is not declared, and the plan holds "
                                 "100 classes already, the most plotweave reads; the import is refused: use fewer "
                                 "[no-room]\n"));
  EXPECT_EQ(dir.Listing(), "bytes.csv classes.csv extra.csv many.csv noid.csv out.lst");
}

TEST(ImportProgram, Cp949TablesReadAsTheSyllablesTheyHold) {
  TempDir dir;
  // "ANSI" from Korean Windows: 김똠이 with 똠 as 8C 63, whose trail byte is
  // the letter 'c', and a semicolon as the delimiter.
  WriteFileBytes(dir / "nodes.csv", "id;label;class\r\nk001;\xB1\xE8\x8C\x63\xC0\xCC;\xBB\xE7\xB6\xF7\r\n");
  ProgramRun run = RunImport(dir.path(), {"--nodes", "nodes.csv", "--encoding", "cp949", "-o", "plan.lst"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadFileBytes(dir / "plan.lst"),
            std::string(kBom) + "#PROJECT\n#CLASS\n사람 gray dot 1\n#RELATION\n#NODES\nk001 사람 김똠이\n#LINKS\n");
  ASSERT_EQ(RunPlotweave(dir.path(), "plan.lst").status, 0);
  EXPECT_NE(ReadFileBytes(dir / "plan.htm").find("['k001', '사람', '김똠이', '김똠이', 'dot', '"), std::string::npos);
  // KS code has no 똠: a KS plan cannot be written, where 사람 alone can.
  run = RunImport(dir.path(), {"--nodes", "nodes.csv", "--encoding=cp949", "--ks", "-o", "ks.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Lines(run.out, "no-ks-code"),
            NativeLines("nodes.csv:2:2: error: the node label \"김똠이\" holds \"똠\" (U+B620), which has no KS code "
                        "of its own; the import is refused: leave out --ks to write a UTF-8 plan, which keeps it "
                        "[no-ks-code]\n"));
  WriteFileBytes(dir / "ks.csv", "id,label,class\nk001,\xEC\x82\xAC\xEB\x9E\x8C,Person\n");
  run = RunImport(dir.path(), {"--nodes", "ks.csv", "--ks", "-o", "ks.lst"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadFileBytes(dir / "ks.lst"),
            "#PROJECT\n#CLASS\nPerson gray dot 1\n#RELATION\n#NODES\nk001 Person \xBB\xE7\xB6\xF7\n#LINKS\n");
  // Read as UTF-8, the same table is refused with the way out.
  run = RunImport(dir.path(), {"--nodes", "nodes.csv", "-o", "utf8.lst"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("give --encoding cp949"), std::string::npos);
}

TEST(ImportProgram, CommandLineConventionsAndTheOutputNameAreKept) {
  TempDir dir;
  WriteFileBytes(dir / "nodes.csv", "id,label,class\nk001,a,C\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"--nodes", "nodes.csv"},
           {"-o", "x.lst"},
           {"--nodes", "nodes.csv", "-o", "x.lst", "--bogus"},
           {"--nodes", "nodes.csv", "-o", "x.lst", "--delimiter", "|"},
           {"--nodes", "nodes.csv", "-o", "x.lst", "--encoding", "latin1"},
           {"--nodes", "nodes.csv", "--nodes", "nodes.csv", "-o", "x.lst"},
           {"--nodes", "nodes.csv", "--captions", "nodes.csv", "--caption", "t", "-o", "x.lst"},
           {"--nodes", "missing.csv", "-o", "x.lst"},
           {"--nodes", ".", "-o", "x.lst"},
           {"--nodes", "nodes.csv", "-o", "."}}) {
    const ProgramRun run = RunImport(dir.path(), args);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(run.out, "");
  }
  const ProgramRun help = RunImport(dir.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: plotweave-import --nodes NODES.csv"), std::string::npos);
  EXPECT_EQ(RunImport(dir.path(), {"--version"}).out, NativeLines("plotweave-import (Plotweave) 2.1\n"));
  EXPECT_EQ(dir.Listing(), "nodes.csv");

  // A name plotweave would not read as given is a warning, and --strict
  // refuses it.
  ProgramRun run = RunImport(dir.path(), {"--nodes", "nodes.csv", "-o", "my.plan.lst"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Lines(run.out, "plan-name"),
            NativeLines("my.plan.lst:1:1: warning: plotweave reads \"my.lst\" for this name, not this file; give the "
                        "plan one \".\", before \"lst\" [plan-name]\n"));
  EXPECT_EQ(RunImport(dir.path(), {"--nodes", "nodes.csv", "--strict", "-o", "other.plan.lst"}).status, 1);
  // An existing plan is replaced whole, and nothing else is left behind.
  WriteFileBytes(dir / "out.lst", "old");
  EXPECT_EQ(RunImport(dir.path(), {"--nodes", "nodes.csv", "-o", "out.lst"}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir / "out.lst").substr(0, 11), std::string(kBom) + "#PROJECT");
  EXPECT_EQ(dir.Listing(), "my.plan.lst nodes.csv out.lst");
#ifndef _WIN32
  // A link is not followed: what it leads to stays as it was.
  ASSERT_EQ(symlink("out.lst", (dir / "link.lst").c_str()), 0);
  WriteFileBytes(dir / "out.lst", "old");
  EXPECT_EQ(RunImport(dir.path(), {"--nodes", "nodes.csv", "-o", "link.lst"}).status, 2);
  EXPECT_EQ(ReadFileBytes(dir / "out.lst"), "old");
#endif
}

}  // namespace
}  // namespace plotweave
