#include "tests/bundle/bundle_support.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "bundle/run_bundle.h"
#include "page/page_contract.h"

namespace plotweave::testing {

namespace {

std::string Lines(const std::vector<std::string>& lines, const std::string& eol) {
  std::string text;
  for (const std::string& line : lines) text += line + eol;
  return text;
}

const std::vector<std::string> kHead = {
    "\xEF\xBB\xBF<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">",
    "", "<html>", "    <head>"};
const std::vector<std::string> kScriptStart = {"    <script type=\"text/javascript\">",
                                               "      google.load('visualization', '1');"};
const std::vector<std::string> kTail = {"    </script>", "</head>", "<body>", "</body>", "</html>"};

}  // namespace

void WriteKit(const std::string& folder) {
  // The kit lays its files out as the laboratory server serves them.
  for (const auto& [path, bytes] : {std::pair{kLoaderPath, kKitLoaderText}, std::pair{kNetworkPath, kKitNetworkText},
                                    std::pair{kPlaceholderPath, kPlaceholderBytes}}) {
    std::filesystem::create_directories(std::filesystem::path(folder + path).parent_path());
    WriteFileBytes(folder + path, bytes);
  }
}

std::string NodeRow(const std::string& id, const std::string& title, const std::string& image) {
  std::string values[kNodeColumnCount];
  values[kNodeId] = id;
  values[kNodeGroup] = "Place";
  values[kNodeText] = id;
  values[kNodeTitle] = title;
  values[kNodeStyle] = "dot";
  values[kNodeImage] = image;
  values[kNodeUrl] = "/" + id + ".html";
  std::string row = std::string(kRowIndent) + kNodeRowOpen;
  for (size_t i = 0; i < kNodeColumnCount; ++i) row += (i > 0 ? kRowSeparator : "") + values[i];
  return row + kRowClose;
}

std::string PageWith(const PageHosts& hosts, const std::vector<std::string>& rows, const std::string& eol) {
  std::vector<std::string> lines = kHead;
  lines.push_back("    " + (kScriptOpen + hosts.loader) + kLoaderPath + kScriptClose);
  lines.push_back("    " + (kScriptOpen + hosts.lab) + kNetworkPath + kScriptClose);
  lines.insert(lines.end(), kScriptStart.begin(), kScriptStart.end());
  lines.insert(lines.end(), rows.begin(), rows.end());
  lines.insert(lines.end(), kTail.begin(), kTail.end());
  return Lines(lines, eol);
}

std::string ImageTable(const std::string& placeholder,
                       const std::vector<std::pair<std::string, std::string>>& images, const std::string& eol) {
  std::string table = "    <script type=\"application/json\" data-plotweave-images>" + eol + "{";
  if (!placeholder.empty()) table += "\"placeholder\": \"" + placeholder + "\"," + eol;
  table += "\"images\": {";
  for (size_t i = 0; i < images.size(); ++i) {
    table += (i > 0 ? "," : "") + eol + "\"" + images[i].first + "\": \"" + images[i].second + "\"";
  }
  return table + eol + "}}" + eol + "    </script>" + eol;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

std::string CopyWith(const std::vector<std::string>& rows, const std::string& eol, const std::string& table) {
  std::vector<std::string> lines = kHead;
  // The loader ends in a line end of its own; the network script gets one.
  lines.push_back("    <script type=\"text/javascript\">");
  lines.push_back(kKitLoaderText.substr(0, kKitLoaderText.size() - 1));
  lines.push_back("    </script>");
  lines.push_back("    <script type=\"text/javascript\" data-placeholder-image=\"" + kPlaceholderUri + "\">");
  lines.push_back("var a = '\\x3C/SCRIPT>'; var b = '\\x3C!--';");
  lines.push_back("    </script>");
  lines.insert(lines.end(), kScriptStart.begin(), kScriptStart.end());
  lines.insert(lines.end(), rows.begin(), rows.end());
  lines.insert(lines.end(), kTail.begin(), kTail.end());
  std::string text = Lines(lines, eol);
  // The loader's own line end is copied as it is.
  const std::string loaderEnd = kKitLoaderText.substr(0, kKitLoaderText.size() - 1) + eol;
  text.replace(text.find(loaderEnd), loaderEnd.size(), kKitLoaderText);
  const std::string networkEnd = "\\x3C!--';" + eol + "    </script>" + eol;
  text.insert(text.find(networkEnd) + networkEnd.size(), table);
  return text;
}

BundleRun RunBundleHere(const std::vector<std::string>& args, const char* kitVariable, const std::string& program) {
  std::vector<const char*> argv = {"plotweave-bundle"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const ScratchFile out;
  const ScratchFile err;
  BundleRun run;
  run.status =
      RunBundle(static_cast<int>(argv.size()), argv.data(), program.c_str(), kitVariable, out.get(), err.get());
  run.out = out.Text();
  run.err = err.Text();
  return run;
}

}  // namespace plotweave::testing
