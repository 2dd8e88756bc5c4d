// What tells the two programs apart, fixed when each is compiled.
#pragma once

namespace plotweave {

// A plan's path and every name derived from it fit this, zero byte included.
inline constexpr int kPathBuffer = 128;
// Bytes that ".lst", ".asc" and ".out" add to the base name.
inline constexpr int kLongestFixedSuffix = 4;

struct BuildSetting {
  // Target attribute of the anchors in node titles.
  const char* linkTarget;
  // The page's name, from the plan's base name: one "%s" and a suffix.
  const char* pageNameFormat;

  // Bytes the format adds to the base name: all of it but the "%s".
  constexpr int PageSuffixLength() const {
    int length = 0;
    while (pageNameFormat[length] != '\0') ++length;
    return length - 2;
  }

  // The longest base name whose derived names all fit kPathBuffer.
  constexpr int LongestBaseName() const {
    const int page = PageSuffixLength();
    return kPathBuffer - 1 - (page > kLongestFixedSuffix ? page : kLongestFixedSuffix);
  }
};

// The page opens its links in its own window: plotweave_self.
inline constexpr BuildSetting kSameWindowBuild{"_self", "%s_self.htm"};
// The page opens its links in a new window: plotweave.
inline constexpr BuildSetting kNewWindowBuild{"_blank", "%s.htm"};

}  // namespace plotweave
