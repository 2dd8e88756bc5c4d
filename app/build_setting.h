// What tells the two builds apart, fixed when the program is compiled.
#pragma once

namespace plotweave {

#if defined(PLOTWEAVE_NEW_WINDOW)
inline constexpr char kLinkTarget[] = "_blank";
inline constexpr char kPageNameFormat[] = "%s.htm";
inline constexpr int kPageSuffixLength = 4;
#else
inline constexpr char kLinkTarget[] = "_self";
inline constexpr char kPageNameFormat[] = "%s_self.htm";
inline constexpr int kPageSuffixLength = 9;
#endif

}  // namespace plotweave
