// The small pieces of plotweave-bundle: its command line, the copy's default
// name and the escaping of inline scripts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bundle/inline_copy.h"
#include "bundle/options.h"
#include "bundle/output_file.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

struct Parsed {
  bool ok;
  BundleOptions options;
  std::string error;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "plotweave-bundle");
  Parsed p;
  char error[256];
  p.ok = ParseBundleOptions(static_cast<int>(args.size()), args.data(), &p.options, error, sizeof error);
  p.error = error;
  return p;
}

TEST(BundleOptions, ValuesFlagsAndThePageInAnyOrder) {
  Parsed p = Parse({"-o", "out.htm", "page.htm", "--kit=web", "--allow-outside"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_STREQ(p.options.page, "page.htm");
  EXPECT_STREQ(p.options.output, "out.htm");
  EXPECT_STREQ(p.options.kit, "web");
  EXPECT_TRUE(p.options.allowOutside);

  p = Parse({"--output", "a b.htm", "--kit", "k", "--", "-page.htm"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_STREQ(p.options.page, "-page.htm");
  EXPECT_STREQ(p.options.output, "a b.htm");
  EXPECT_FALSE(p.options.allowOutside);

  p = Parse({"-oout.htm", "page.htm"});
  EXPECT_STREQ(p.options.output, "out.htm");
  EXPECT_EQ(p.options.maxSize, 0u);

  p = Parse({"page.htm", "-o", "-", "--max-size=3K"});
  EXPECT_STREQ(p.options.output, "-");
  EXPECT_EQ(p.options.maxSize, 3072u);
  EXPECT_EQ(Parse({"page.htm", "--max-size", "2g"}).options.maxSize, 2147483648u);
  EXPECT_EQ(Parse({"page.htm", "--max-size", "123456789"}).options.maxSize, 123456789u);

  // --help and --version need no page and win over anything else.
  EXPECT_TRUE(Parse({"--help"}).options.help);
  EXPECT_TRUE(Parse({"-V"}).options.version);
  EXPECT_TRUE(Parse({"x.htm", "--version"}).ok);
}

TEST(BundleOptions, UsageErrorsSayWhatIsWrong) {
  const struct {
    std::vector<const char*> args;
    const char* error;
  } cases[] = {
      {{}, "no page given"},
      {{"a.htm", "b.htm"}, "one page at a time: b.htm is one too many"},
      {{"--frobnicate", "a.htm"}, "unknown option --frobnicate"},
      {{"-x", "a.htm"}, "unknown option -x"},
      {{"a.htm", "-o"}, "option -o needs a value"},
      {{"a.htm", "--kit"}, "option --kit needs a value"},
      {{"a.htm", "--kit="}, "option --kit= needs a value"},
      {{"a.htm", "-o", "x", "--output=y"}, "option --output=y given twice"},
      {{"a.htm", "--help=yes"}, "option --help takes no value"},
      {{"a.htm", "--max-size", "0"}, "--max-size takes a positive number of bytes, not 0"},
      {{"a.htm", "--max-size=1.5M"}, "--max-size takes a positive number of bytes, not 1.5M"},
      {{"a.htm", "--max-size", "16777216T"}, "--max-size takes a positive number of bytes, not 16777216T"},
      {{"a.htm", "--max-size", "17179869184G"}, "--max-size takes a positive number of bytes, not 17179869184G"},
      {{"a.htm", "--max-size", "1K", "--max-size=2K"}, "option --max-size=2K given twice"},
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, c.error);
  }
}

TEST(BundleOutput, DefaultNameBesideThePage) {
  const struct {
    const char* page;
    const char* copy;
  } cases[] = {
      {"examples/ontology_self.htm", "examples/ontology_self.standalone.htm"},
      {"a.b/ontology.html", "a.b/ontology.standalone.html"},
      {"빈 칸/한글 페이지.htm", "빈 칸/한글 페이지.standalone.htm"},
      {"dir.d/page", "dir.d/page.standalone.htm"},
      {".hidden", ".hidden.standalone.htm"},
  };
  for (const auto& c : cases) {
    char copy[kPathCapacity];
    ASSERT_TRUE(DefaultOutputName(c.page, copy));
    EXPECT_STREQ(copy, c.copy);
  }
  char copy[kPathCapacity];
  EXPECT_FALSE(DefaultOutputName(std::string(kPathCapacity - 12, 'a').append(".htm").c_str(), copy));
}

// The copy of `script` read in pieces of at most `step` bytes.
std::string CopiedScript(const std::string& script, bool* endsWithLineEnd, size_t step = 7) {
  testing::PieceSource in(script, step);
  testing::StringSink sink;
  {
    BufferedWriter out(sink);
    EXPECT_EQ(CopyInlineScript(in, out, endsWithLineEnd), StreamStatus::kDone);
  }
  return sink.bytes;
}

TEST(InlineScript, NothingInItCanEndTheElement) {
  bool lineEnd = false;
  EXPECT_EQ(CopiedScript("a</script>b</ScRiPt x<!--c<</scrip<!-<!--\n", &lineEnd),
            "a\\x3C/script>b\\x3C/ScRiPt x\\x3C!--c<</scrip<!-\\x3C!--\n");
  EXPECT_TRUE(lineEnd);
  EXPECT_EQ(CopiedScript("<", &lineEnd), "<");
  EXPECT_FALSE(lineEnd);
  // Across the copy's read buffer, whose size is 64 KiB.
  const std::string pad(65536 - 3, 'x');
  EXPECT_EQ(CopiedScript(pad + "</script>", &lineEnd, 1 << 20), pad + "\\x3C/script>");
}

}  // namespace
}  // namespace plotweave
