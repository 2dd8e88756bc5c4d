#include "tests/support/test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "kscode/kscode.h"

namespace plotweave::testing {

FILE* StreamOf(const std::string& bytes) {
  FILE* f = std::tmpfile();
  if (f == nullptr) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

std::string ReadFileBytes(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "plotweave-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) std::abort();
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Listing() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  saved_ = dup(fileno(stdout));
  sink_ = std::tmpfile();
  dup2(fileno(sink_), fileno(stdout));
}

std::string StdoutCapture::Take() {
  if (!taken_) {
    std::fflush(stdout);
    dup2(saved_, fileno(stdout));
    close(saved_);
    std::rewind(sink_);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, sink_)) > 0) text_.append(buf, n);
    std::fclose(sink_);
    taken_ = true;
  }
  return text_;
}

StdoutCapture::~StdoutCapture() { Take(); }

namespace {
std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}
}  // namespace

std::string RunProgram(const std::string& program, const std::string& dir,
                       const std::vector<std::string>& args, int* status) {
  std::string command = "cd " + Quote(dir) + " && " + Quote(program);
  for (const auto& a : args) command += " " + Quote(a);
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) std::abort();
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = pclose(p);
  return out;
}

std::string Ks(const std::string& utf8) {
  // Decode UTF-8 and map each character through the program's own reverse table.
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    uint32_t cp;
    int len;
    if (b < 0x80) { cp = b; len = 1; }
    else if (b < 0xE0) { cp = b & 0x1F; len = 2; }
    else if (b < 0xF0) { cp = b & 0x0F; len = 3; }
    else { cp = b & 0x07; len = 4; }
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += static_cast<size_t>(len);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    uint8_t lead = 0, trail = 0;
    if (cp > 0xFFFF || !UnicodeToKs(static_cast<uint16_t>(cp), &lead, &trail)) std::abort();
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
  }
  return out;
}

std::string SourceDir() {
  const char* dir = std::getenv("PLOTWEAVE_SOURCE_DIR");
  return dir != nullptr ? dir : PLOTWEAVE_SOURCE_DIR_DEFAULT;
}

}  // namespace plotweave::testing
