// Small file and process helpers shared by the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plan/plan_name.h"
#include "io/diagnostics.h"
#include "io/stream.h"
#include "plan/model.h"

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

// A byte sink that keeps everything written to it.
class StringSink final : public ByteSink {
 public:
  bool Write(const void* data, size_t count) override;
  std::string bytes;
};

// A byte sink that takes `room` bytes and then fails, like a full disk.
class FullSink final : public ByteSink {
 public:
  explicit FullSink(size_t room) : room_(room) {}
  bool Write(const void* data, size_t count) override;

 private:
  size_t room_;
};

// A byte source that gives `bytes` in reads of at most `step` bytes, and then
// fails instead of ending when `fails` is set.
class PieceSource final : public ByteSource {
 public:
  PieceSource(std::string bytes, size_t step, bool fails = false)
      : bytes_(std::move(bytes)), step_(step), fails_(fails) {}
  size_t Read(void* buffer, size_t capacity) override;
  bool Failed() const override { return failed_; }

 private:
  std::string bytes_;
  size_t step_;
  bool fails_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// The empty model a run starts with, zero-initialised on the heap: far too
// large for a stack.
std::unique_ptr<OntologyModel> EmptyModel();

// Keeps the findings reported to it.
class FindingList final : public DiagnosticSink {
 public:
  // The reader's traps of the plan format are kept only when asked for, so
  // that a list of cuts and faults reads the same with or without them.
  explicit FindingList(bool traps = false) : traps_(traps) {}
  void Report(const Diagnostic& d) override;
  // Without traps the reader takes the path of a sink that shows none.
  bool WantsTraps() const override { return traps_; }
  // One line a finding, for comparing whole lists:
  //   "3:1 cut node id to 39"      a field cut (line:column, field, bytes kept)
  //   "2:6 class person"          an unknown class
  //   "4:1 node 1 a001"           an unknown first end ("node 2" the second)
  //   "4:11 relation part-of"     an unknown relation
  //   "5:1 short-line s0 n0"      a trap: its name, `field` and `limit`, and
  //                               the subject when there is one
  // Warnings and errors are told apart by the code alone.
  std::string Text() const { return text_; }
  size_t size() const { return count_; }

 private:
  bool traps_;
  std::string text_;
  size_t count_ = 0;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Names of the entries in `folder`, sorted, joined with blanks.
std::string Listing(const std::string& folder);

// A fresh directory that is removed with everything in it at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  std::string Listing() const;  // of the directory itself

 private:
  std::string path_;
};

// A read-write file of the test's own for a stream that the code under test
// reads or writes, removed at the end of the scope. The C library's tmpfile()
// is no substitute under Wine: its names come from the clock, test processes
// that start together can be handed the same one, and then it returns null.
class ScratchFile {
 public:
  ScratchFile();
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  FILE* get() const { return file_; }
  // Everything in the file, read from its start.
  std::string Text() const;

 private:
  TempDir dir_;
  FILE* file_;
};

// Runs `program` with `args` in folder `dir` and returns what it printed on
// standard output; `status` receives its exit status.
std::string RunProgram(const std::string& program, const std::string& dir,
                       const std::vector<std::string>& args, int* status);

// The code a program exited with, from the status RunProgram or std::system
// gives; -1 when a signal ended it.
int ExitCode(int status);

// What the page encoder writes for one chunk (a line of the intermediate page).
std::string Encode(const std::string& chunk);

// The name of the page a build writes for a plan's base name.
std::string PageName(const BuildSetting& build, const std::string& base);

// Golden text is kept with the default hosts of the page's absolute
// addresses; this gives it with the hosts this build was configured with.
std::string WithBuildHosts(std::string text);
// The reverse, for writing golden text from a page of this build.
std::string WithDefaultHosts(std::string text);

// The source tree, for example plans and golden files.
std::string SourceDir();

}  // namespace plotweave::testing
