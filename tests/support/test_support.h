// Small file and process helpers shared by the tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace plotweave::testing {

// Paths and arguments below are UTF-8 on every platform.

// `text` with its line ends as a text stream of this platform writes them:
// unchanged on Linux, each LF as CR LF on Windows. Expected pages and console
// text are written once, with LF, and passed through this.
std::string NativeLines(const std::string& text);

// The reverse, for text a test looks into piece by piece: on Windows every LF
// must follow a CR (a test failure otherwise), and those CRs are dropped; on
// Linux the text is returned as it is.
std::string LfLines(const std::string& text);

// A temporary file holding `bytes`, rewound and ready to read.
FILE* StreamOf(const std::string& bytes);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A fresh directory that is removed with everything in it at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the directory, sorted, joined with blanks.
  std::string Listing() const;

 private:
  std::string path_;
};

// Captures what a block of code prints on standard output.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string Take();

 private:
  int saved_;
  FILE* sink_;
  bool taken_ = false;
  std::string text_;
};

// Runs `program` with `args` in folder `dir` and returns what it printed on
// standard output; `status` receives its exit status.
std::string RunProgram(const std::string& program, const std::string& dir,
                       const std::vector<std::string>& args, int* status);

// What the page encoder writes for one chunk (a line of the intermediate page).
std::string Encode(const std::string& chunk);

// The bytes of a text given as UTF-8, in KS code (test data only).
std::string Ks(const std::string& utf8);

// Golden text is kept with the default hosts of the page's absolute
// addresses; this gives it with the hosts this build was configured with.
std::string WithBuildHosts(std::string text);

// The source tree, for example plans and golden files.
std::string SourceDir();

}  // namespace plotweave::testing
