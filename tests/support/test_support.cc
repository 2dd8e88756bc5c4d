#include "tests/support/test_support.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "build_config.h"
#include "kscode/kscode.h"
#include "kscode/page_encoder.h"

namespace plotweave::testing {

namespace {

#ifdef _WIN32
// Test paths and arguments are UTF-8 on every platform; Windows gets them as
// UTF-16, so that Hangul names work whatever the process code page is.
std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  if (n <= 0) std::abort();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::filesystem::path FsPath(const std::string& utf8) { return std::filesystem::path(Wide(utf8)); }

std::string Utf8Of(const std::filesystem::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}
#else
std::filesystem::path FsPath(const std::string& path) { return std::filesystem::path(path); }
std::string Utf8Of(const std::filesystem::path& p) { return p.string(); }
FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
#endif

}  // namespace

std::string NativeLines(const std::string& text) {
#ifdef _WIN32
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
#else
  return text;
#endif
}

std::string LfLines(const std::string& text) {
#ifdef _WIN32
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      ADD_FAILURE() << "line end without CR at byte " << i << " of a Windows text stream";
    }
    out += text[i];
  }
  return out;
#else
  return text;
#endif
}

bool StringSink::Write(const void* data, size_t count) {
  bytes.append(static_cast<const char*>(data), count);
  return true;
}

bool FullSink::Write(const void*, size_t count) {
  if (count > room_) {
    room_ = 0;
    return false;
  }
  room_ -= count;
  return true;
}

size_t PieceSource::Read(void* buffer, size_t capacity) {
  size_t n = bytes_.size() - pos_;
  if (n > step_) n = step_;
  if (n > capacity) n = capacity;
  if (n == 0 && fails_) failed_ = true;
  std::memcpy(buffer, bytes_.data() + pos_, n);
  pos_ += n;
  return n;
}

std::unique_ptr<OntologyModel> EmptyModel() {
  auto model = std::make_unique<OntologyModel>();
  std::memset(model.get(), 0, sizeof(OntologyModel));
  return model;
}

void FindingList::Report(const Diagnostic& d) {
  // Field names in the reader's order of PlanField, spelled out here so that
  // a reordered enum shows up as a failure.
  static const char* const kFields[] = {
      "project tag",  "project text",     "class name", "class border colour", "class style",
      "relation name", "relation colour", "relation style", "node id", "node class name", "node label",
      "reference address", "image address", "link node 1 ID", "link node 2 ID", "link relation name"};
  std::string line = std::to_string(d.line) + ":" + std::to_string(d.column) + " ";
  switch (d.code) {
    case DiagnosticCode::kFieldCut:
      EXPECT_EQ(d.severity, Severity::kWarning);
      line += std::string("cut ") + kFields[d.field] + " to " + std::to_string(d.limit);
      break;
    case DiagnosticCode::kUnknownClass: line += std::string("class ") + d.subject; break;
    case DiagnosticCode::kUnknownFromNode: line += std::string("node 1 ") + d.subject; break;
    case DiagnosticCode::kUnknownToNode: line += std::string("node 2 ") + d.subject; break;
    case DiagnosticCode::kUnknownRelation: line += std::string("relation ") + d.subject; break;
    default: {
      if (!traps_) return;
      EXPECT_EQ(d.severity, Severity::kWarning);
      static const char* const kTraps[] = {"short-line",    "line-piece",   "unknown-header",
                                           "repeated",      "ignored",      "past-capacity",
                                           "lead-byte",     "extra-fields", "blank-entry"};
      line += std::string(kTraps[static_cast<int>(d.code) - static_cast<int>(DiagnosticCode::kShortLine)]) +
              " s" + std::to_string(d.field) + " n" + std::to_string(d.limit);
      if (d.subject[0] != '\0') line += std::string(" ") + d.subject;
      text_ += line + "\n";
      ++count_;
      return;
    }
  }
  if (d.code != DiagnosticCode::kFieldCut) {
    EXPECT_EQ(d.severity, Severity::kError);
  }
  text_ += line + "\n";
  ++count_;
}

std::string ReadFileBytes(const std::string& path) {
  std::string out;
  FILE* f = OpenFile(path, "rb");
  if (f == nullptr) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = OpenFile(path, "wb");
  if (f == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(FsPath(path), ec));
}

#ifdef _WIN32
TempDir::TempDir() {
  // No mkdtemp: try names made of the process id, a counter and the clock
  // until one can be created (creating it is the test that nobody has it).
  static unsigned counter = 0;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string name = "plotweave-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++counter) + "-" + std::to_string(GetTickCount64() % 100000);
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) {
      path_ = Utf8Of(base / name);
      return;
    }
  }
  std::abort();
}
#else
TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "plotweave-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) std::abort();
  path_ = buf.data();
}
#endif

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FsPath(path_), ec);
}

ScratchFile::ScratchFile() : file_(OpenFile(dir_ / "scratch", "w+b")) {
  if (file_ == nullptr) std::abort();
}

ScratchFile::~ScratchFile() { std::fclose(file_); }

std::string ScratchFile::Text() const {
  std::string text;
  std::rewind(file_);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text.append(buf, n);
  return text;
}

std::string Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(FsPath(folder))) {
    names.push_back(Utf8Of(e.path().filename()));
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

std::string TempDir::Listing() const { return testing::Listing(path_); }


#ifdef _WIN32
namespace {
// One argument as the C runtime's command-line parser reads it back.
std::wstring QuoteArgument(const std::wstring& arg) {
  std::wstring q = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    q += c;
  }
  q.append(backslashes * 2, L'\\');
  return q + L"\"";
}

HANDLE InheritableNul(DWORD access) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
}
}  // namespace

// Starts the program directly (no command interpreter) with standard output on
// a pipe of which only the child holds the writing end, so the read below ends
// when the child does.
std::string RunProgram(const std::string& program, const std::string& dir,
                       const std::vector<std::string>& args, int* status) {
  const std::wstring exe = std::filesystem::absolute(FsPath(program)).wstring();
  std::wstring command = QuoteArgument(exe);
  for (const auto& a : args) command += L" " + QuoteArgument(Wide(a));

  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) std::abort();
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE input = InheritableNul(GENERIC_READ);
  HANDLE errors = InheritableNul(GENERIC_WRITE);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = input;
  si.hStdOutput = writeEnd;
  si.hStdError = errors;
  PROCESS_INFORMATION pi{};
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  const std::wstring cwd = FsPath(dir).wstring();
  const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      cwd.c_str(), &si, &pi);
  CloseHandle(writeEnd);
  CloseHandle(input);
  CloseHandle(errors);
  if (!started) std::abort();

  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  *status = static_cast<int>(code);
  return out;
}

int ExitCode(int status) { return status; }
#else
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

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
#endif

std::string Encode(const std::string& chunk) {
  StringSink sink;
  {
    BufferedWriter out(sink);
    EncodeChunk(chunk.c_str(), out);
  }
  return sink.bytes;
}

std::string PageName(const BuildSetting& build, const std::string& base) {
  char name[512];
  std::snprintf(name, sizeof name, build.pageNameFormat, base.c_str());
  return name;
}

namespace {

// The default hosts and this build's, in the same order.
const char* const kHosts[][2] = {
    {"http://www.w3.org/", PLOTWEAVE_DTD_HOST "/"},
    {"https://www.google.com/", PLOTWEAVE_LOADER_HOST "/"},
    {"http://localhost:8000/", PLOTWEAVE_LAB_HOST "/"},
};

std::string ReplaceHosts(std::string text, int from, int to) {
  for (const auto& host : kHosts) {
    const std::string before = host[from];
    const std::string after = host[to];
    if (before == after) continue;
    for (size_t at = text.find(before); at != std::string::npos; at = text.find(before, at + after.size())) {
      text.replace(at, before.size(), after);
    }
  }
  return text;
}

}  // namespace

std::string WithBuildHosts(std::string text) { return ReplaceHosts(std::move(text), 0, 1); }

std::string WithDefaultHosts(std::string text) { return ReplaceHosts(std::move(text), 1, 0); }

std::string SourceDir() {
  const char* dir = std::getenv("PLOTWEAVE_SOURCE_DIR");
  return dir != nullptr ? dir : PLOTWEAVE_SOURCE_DIR_DEFAULT;
}

}  // namespace plotweave::testing
