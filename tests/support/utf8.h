// UTF-8 bytes of a code point, for tests and benchmarks that build plans and
// pages. Header only, so that the benchmarks use it without the test library.
#pragma once

#include <cstdint>
#include <string>

namespace plotweave::testing {

// Appends the bit pattern of `cp` in one to four bytes. Every value below
// 0x200000 is written as its pattern, surrogates and values above U+10FFFF
// included: tests feed those to the converters on purpose.
inline void AppendUtf8(std::string& text, uint32_t cp) {
  if (cp < 0x80) {
    text += static_cast<char>(cp);
  } else if (cp < 0x800) {
    text += static_cast<char>(0xC0 | (cp >> 6));
    text += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    text += static_cast<char>(0xE0 | (cp >> 12));
    text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | ((cp >> 18) & 0x07));
    text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

inline std::string Utf8(uint32_t cp) {
  std::string text;
  AppendUtf8(text, cp);
  return text;
}

}  // namespace plotweave::testing
