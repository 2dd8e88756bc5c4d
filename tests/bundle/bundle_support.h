// What the plotweave-bundle tests share: a small kit of known bytes, pages
// shaped as the page writer shapes them, and an in-process run of the program.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace plotweave::testing {

// Kit files whose copies the tests can predict. The network script holds both
// sequences an inline script must not carry as they are.
inline const std::string kKitLoaderText = "var loader = 1;\n";
inline const std::string kKitNetworkText = "var a = '</SCRIPT>'; var b = '<!--';";
inline const std::string kPlaceholderBytes = "\x89PNG\r\n\x1a\nplaceholder";
inline const std::string kPlaceholderUri = "data:image/png;base64,iVBORw0KGgpwbGFjZWhvbGRlcg==";
// An image of the tests' own, and its URI.
inline const std::string kPngBytes = "\x89PNG\r\n\x1a\nA";
inline const std::string kPngUri = "data:image/png;base64,iVBORw0KGgpB";

// Writes the kit files into `folder` (created if need be).
void WriteKit(const std::string& folder);

struct PageHosts {
  std::string loader = "https://www.google.com";
  std::string lab = "http://localhost:8000";
};

// "        nodesTable.addRow([...]);" for a node with this title and image.
std::string NodeRow(const std::string& id, const std::string& title, const std::string& image);

// A page with the writer's head, its two script lines, `rows` and its end,
// every line ended by `eol`.
std::string PageWith(const PageHosts& hosts, const std::vector<std::string>& rows, const std::string& eol = "\n");

// What the copy of such a page must be when its images become `rows` (the
// placeholder written as kPlaceholderUri), with `table` (see ImageTable)
// after the network script.
std::string CopyWith(const std::vector<std::string>& rows, const std::string& eol = "\n",
                     const std::string& table = "");

// The copy's table of shared images: the placeholder's address (none when
// empty) and each address with its data: URI.
std::string ImageTable(const std::string& placeholder,
                       const std::vector<std::pair<std::string, std::string>>& images, const std::string& eol = "\n");

// How often `part` stands in `text`.
size_t Occurrences(const std::string& text, const std::string& part);

struct BundleRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program's code in this process with `args` (the program name
// added); the program path given leads to no installed kit and no source tree.
BundleRun RunBundleHere(const std::vector<std::string>& args, const char* kitVariable = nullptr,
                        const std::string& program = "/nowhere/bin/plotweave-bundle");

}  // namespace plotweave::testing
