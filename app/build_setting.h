// What tells the two programs apart, fixed when each is compiled.
#pragma once

namespace plotweave {

struct BuildSetting {
  // Target attribute of the anchors in node titles.
  const char* linkTarget;
  // The page's name, from the plan's base name.
  const char* pageNameFormat;
  // Bytes the format adds to the base name.
  int pageSuffixLength;
};

// The page opens its links in its own window: plotweave_self.
inline constexpr BuildSetting kSameWindowBuild{"_self", "%s_self.htm", 9};
// The page opens its links in a new window: plotweave.
inline constexpr BuildSetting kNewWindowBuild{"_blank", "%s.htm", 4};

}  // namespace plotweave
