// Helpers shared by the fuzz targets: byte streams over the input, output
// collected in memory, and a strict UTF-8 reader for checking pages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Stops the run on a broken invariant; libFuzzer then saves the input.
#define FUZZ_CHECK(cond)                                                                   \
  do {                                                                                     \
    if (!(cond)) {                                                                         \
      std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace plotweave::fuzz {

// The input as a read-only stream; an empty input reads as an empty file.
inline FILE* OpenBytes(const uint8_t* data, size_t size) {
  if (size == 0) return std::fopen("/dev/null", "rb");
  return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

// A stream whose bytes are kept in memory until Take().
class MemoryOut {
 public:
  MemoryOut() : file_(open_memstream(&buf_, &len_)) { FUZZ_CHECK(file_ != nullptr); }
  ~MemoryOut() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(buf_);
  }
  MemoryOut(const MemoryOut&) = delete;
  MemoryOut& operator=(const MemoryOut&) = delete;
  FILE* get() const { return file_; }
  std::string Take() {
    FUZZ_CHECK(std::fclose(file_) == 0);
    file_ = nullptr;
    return std::string(buf_, len_);
  }

 private:
  char* buf_ = nullptr;
  size_t len_ = 0;
  FILE* file_;
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

// Console text of the code under test goes nowhere; libFuzzer reports on stderr.
inline void SilenceStdout() { FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr); }

}  // namespace plotweave::fuzz
