// Helpers shared by the fuzz targets: output collected in memory, findings
// checked, files and a scratch directory, and a strict UTF-8
// reader for checking pages.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/diagnostics.h"
#include "io/stream.h"

// Stops the run on a broken invariant; libFuzzer then saves the input.
#define FUZZ_CHECK(cond)                                                                   \
  do {                                                                                     \
    if (!(cond)) {                                                                         \
      std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace plotweave::fuzz {

// A byte sink that keeps what it is given.
class StringSink final : public ByteSink {
 public:
  bool Write(const void* data, size_t count) override {
    bytes.append(static_cast<const char*>(data), count);
    return true;
  }
  std::string bytes;
};

// Takes the findings of a stage and checks what every finding must hold: a
// line from 1 for plan findings and a zero-terminated subject.
class CheckedFindings final : public DiagnosticSink {
 public:
  // A sink that shows no traps lets the reader pass over the lines it drops.
  explicit CheckedFindings(bool traps = true) : traps_(traps) {}
  bool WantsTraps() const override { return traps_; }
  void Report(const Diagnostic& d) override {
    FUZZ_CHECK(d.line >= 1);
    FUZZ_CHECK(d.column >= 0);
    FUZZ_CHECK(d.subject != nullptr);
    FUZZ_CHECK(std::strlen(d.subject) < 512);
    ++count;
  }
  size_t count = 0;

 private:
  bool traps_;
};

// Decodes well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF). False at the first ill-formed sequence.
inline bool DecodeStrictUtf8(const std::string& s, std::vector<uint32_t>* out) {
  size_t i = 0;
  while (i < s.size()) {
    const uint8_t b = static_cast<uint8_t>(s[i]);
    int len;
    uint32_t cp;
    uint32_t min;
    if (b < 0x80) {
      len = 1, cp = b, min = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(len) > s.size()) return false;
    for (int k = 1; k < len; ++k) {
      const uint8_t c = static_cast<uint8_t>(s[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (out != nullptr) out->push_back(cp);
    i += static_cast<size_t>(len);
  }
  return true;
}

// What every finding of the checker and of the import holds: a place from 1
// and a message that fits its field of `width` bytes, on one line, in
// well-formed UTF-8.
inline void CheckFindingText(long line, long column, const char* text, size_t width) {
  FUZZ_CHECK(line >= 1);
  FUZZ_CHECK(column >= 1);
  const std::string message(text);
  FUZZ_CHECK(!message.empty() && message.size() < width);
  FUZZ_CHECK(message.find('\n') == std::string::npos);
  FUZZ_CHECK(DecodeStrictUtf8(message, nullptr));
}

// Console text of the code under test goes nowhere; libFuzzer reports on stderr.
inline void SilenceStdout() { FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr); }

// The whole of a file the code under test wrote.
inline std::string ReadAll(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// Writes `bytes` as the whole of the file at `path`.
inline void WriteAll(const std::string& path, const void* bytes, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(bytes, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}
inline void WriteAll(const std::string& path, const std::string& bytes) { WriteAll(path, bytes.data(), bytes.size()); }

// A fresh directory named `prefix` and a random tail, for the files a target
// writes on every input: in memory (/dev/shm) where that may be written.
inline std::string MakeScratchDir(const char* prefix) {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/" + prefix + "-XXXXXX";
  FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
  return pattern;
}

}  // namespace plotweave::fuzz

// LLVMFuzzerInitialize for a target that needs no set-up but a silent stdout.
#define FUZZ_INITIALIZE_WITH_SILENT_STDOUT()            \
  extern "C" int LLVMFuzzerInitialize(int*, char***) { \
    plotweave::fuzz::SilenceStdout();                  \
    return 0;                                          \
  }
