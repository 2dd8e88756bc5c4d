// The manual pages name every finding the programs can report, and no other.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "check/finding.h"
#include "import/import_finding.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

// The FINDINGS section of a manual page, and the words set in bold at the
// start of its entries, as the program writes them ("\-" read as "-").
std::set<std::string> ListedFindings(const std::string& page, std::string* section) {
  const std::string text = testing::ReadFileBytes(testing::SourceDir() + "/man/" + page);
  const size_t from = text.find(".SH FINDINGS");
  const size_t to = text.find(".SH ", from + 1);
  EXPECT_NE(from, std::string::npos) << page;
  *section = text.substr(from, to - from);
  std::set<std::string> names;
  size_t at = 0;
  while ((at = section->find(".TP\n.B ", at)) != std::string::npos) {
    at += 7;
    const std::string line = section->substr(at, section->find('\n', at) - at);
    // One entry may name several: ".B a ", " b ", " c".
    std::string name;
    for (size_t i = 0; i <= line.size(); ++i) {
      const char c = i < line.size() ? line[i] : ' ';
      if (c == '\\') continue;
      if (c == ' ' || c == '"' || c == ',') {
        if (!name.empty()) names.insert(name);
        name.clear();
      } else {
        name += c;
      }
    }
  }
  return names;
}

// Every kind of finding of a program, in the order of its codes.
template <typename Code>
std::vector<FindingKind> KindsOf(int count) {
  std::vector<FindingKind> kinds;
  for (int i = 0; i < count; ++i) kinds.push_back(KindOf(static_cast<Code>(i)));
  return kinds;
}

std::set<std::string> NamesOf(const std::vector<FindingKind>& kinds) {
  std::set<std::string> names;
  for (const FindingKind& kind : kinds) names.insert(kind.name);
  return names;
}

TEST(Manual, TheImportPageListsEveryFindingAndNoOther) {
  std::string section;
  const std::vector<FindingKind> kinds = KindsOf<ImportCode>(kImportCodeCount);
  EXPECT_EQ(ListedFindings("plotweave-import.1", &section), NamesOf(kinds));
  // And each under the heading of its severity.
  for (const FindingKind& kind : kinds) {
    const char* heading = kind.severity == FindingSeverity::kError     ? ".SS Errors"
                          : kind.severity == FindingSeverity::kWarning ? ".SS Warnings"
                                                                       : ".SS Notes";
    std::string escaped;
    for (const char* p = kind.name; *p != '\0'; ++p) escaped += *p == '-' ? std::string("\\-") : std::string(1, *p);
    const size_t entry = section.find(".TP\n.B " + escaped + "\n");
    ASSERT_NE(entry, std::string::npos) << kind.name;
    EXPECT_EQ(section.rfind(".SS ", entry), section.find(heading)) << kind.name;
  }
}

TEST(Manual, TheCheckerPageListsEveryFindingAndNoOther) {
  std::string section;
  EXPECT_EQ(ListedFindings("plotweave-check.1", &section), NamesOf(KindsOf<FindingCode>(kFindingCodeCount)));
}

}  // namespace
}  // namespace plotweave
