#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "page/page_writer.h"
#include "plan/reader.h"
#include "plan/validate.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

std::unique_ptr<OntologyModel> ModelOf(const std::string& plan) {
  auto model = testing::EmptyModel();
  MemorySource source(plan.data(), plan.size());
  testing::FindingList findings;
  EXPECT_EQ(ReadPlan(source, *model, "_self", findings), StreamStatus::kDone);
  EXPECT_EQ(ValidateModel(*model, findings), ValidateStatus::kValid);
  EXPECT_EQ(findings.Text(), "");
  return model;
}

// Reads, validates and writes a plan; returns the intermediate page.
std::string PageOf(const std::string& plan) {
  testing::StringSink sink;
  EXPECT_EQ(WritePage(*ModelOf(plan), sink), StreamStatus::kDone);
  return sink.bytes;
}

bool Has(const std::string& page, const std::string& line) {
  return page.find("\n" + line + "\n") != std::string::npos;
}

TEST(WritePage, NodeRowsFollowImageNodeAndClassLabelFlag) {
  const std::string page = PageOf(
      "#CLASS\nShown red box 1\nHidden blue dot 0\n#NODES\n"
      "a001 Hidden Plain /a.html /a.png 0\n"
      "b001 Hidden Pic /b.html /b.png 1\n"
      "c001 Shown Pic_2 /c.html /c.png 1\n");
  EXPECT_TRUE(Has(page,
                  "        nodesTable.addRow(['a001', 'Hidden', 'Plain', '<a href=\"/a.html\" "
                  "target=\"_self\"><img src=\"/a.png\"/></a>', 'dot', '/a.png', '/a.html']);"));
  EXPECT_TRUE(Has(page,
                  "        nodesTable.addRow(['b001', 'Hidden_image', '', '<a href=\"/b.html\" "
                  "target=\"_self\">Pic</a>', 'image', '/b.png', '/b.html']);"));
  EXPECT_TRUE(Has(page,
                  "        nodesTable.addRow(['c001', 'Shown_image', 'Pic 2', '<a href=\"/c.html\" "
                  "target=\"_self\">Pic_2</a>', 'image', '/c.png', '/c.html']);"));
}

TEST(WritePage, LinkRowsGroupsAndCaptions) {
  const std::string page = PageOf(
      "#PROJECT\nh1 Two_words\nh2 second caption\n#CLASS\ndummy black box 1\n"
      "#RELATION\nshown red line 1\nquiet gray arrow 0\n#NODES\nk001\nk002\n"
      "#LINKS\nk001 k002 shown\nk002 k001 quiet\n");
  EXPECT_TRUE(Has(page, "        linksTable.addRow(['k001', 'k002', 'red', 'line', 'shown', 'shown']);"));
  EXPECT_TRUE(Has(page, "        linksTable.addRow(['k002', 'k001', 'gray', 'arrow', 'quiet', '']);"));
  // A class named dummy gets its own group, followed by the fixed one.
  EXPECT_NE(page.find("                'dummy': { 'style': 'box', 'borderColor': 'black',  'radius': 15 },\n"
                      "                'dummy': { 'style': 'dot', 'borderColor': 'white', 'radius': 1 },\n"),
            std::string::npos);
  // The caption keeps its line end, so the closing tag starts the next line.
  EXPECT_NE(page.find("<!--\n    <h1 style=\"text-align: center;\">Two words\n</h1>\n"
                      "    <h2 style=\"text-align: center;\">second caption\n</h2>\n-->\n\n"),
            std::string::npos);
}

TEST(WritePage, FieldsAreWrittenWithoutEscaping) {
  const std::string page =
      PageOf("#CLASS\nP red box\n#NODES\nk001 P it's\\<b>&amp;</b> /x.html?a=1&b=2\n");
  EXPECT_TRUE(Has(page,
                  "        nodesTable.addRow(['k001', 'P', 'it's\\<b>&amp;</b>', '<a href=\"/x.html?a=1&b=2\" "
                  "target=\"_self\">it's\\<b>&amp;</b></a>', 'box', '" +
                      testing::WithBuildHosts("http://localhost:8000/VR/style/noimage.png") +
                      "', '/x.html?a=1&b=2']);"));
}

TEST(WritePage, AFailingSinkIsReported) {
  const auto model = ModelOf("#CLASS\nP red box\n#NODES\nk001 P\n");
  for (size_t room : {0u, 100u, 3000u}) {
    testing::FullSink sink(room);
    EXPECT_EQ(WritePage(*model, sink), StreamStatus::kWriteFailed) << room;
  }
}

}  // namespace
}  // namespace plotweave
