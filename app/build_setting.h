// What tells the two programs apart, fixed when each is compiled.
#pragma once

namespace plotweave {

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
};

// The page opens its links in its own window: plotweave_self.
inline constexpr BuildSetting kSameWindowBuild{"_self", "%s_self.htm"};
// The page opens its links in a new window: plotweave.
inline constexpr BuildSetting kNewWindowBuild{"_blank", "%s.htm"};

}  // namespace plotweave
