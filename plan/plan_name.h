// The plan-name rule, the one place it is written down: how a command line
// becomes a plan's base name, the limits on it, and the names of every file
// derived from it. The main programs name their files with it, and the
// companion programs use it to speak of a plan exactly as those do.
#pragma once

#include <cstdint>

namespace plotweave {

// A plan's path and every name derived from it fit this, zero byte included.
inline constexpr int kPathBuffer = 128;
// Bytes that ".lst", ".asc" and ".out" add to the base name.
inline constexpr int kLongestFixedSuffix = 4;

// What tells the two main programs apart, fixed when each is compiled.
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

// Joins argv[1..argc-1] with single spaces, as the main programs take a path
// with blanks in it unquoted. False when the result would not fit.
bool JoinArguments(int argc, const char* const* argv, char (&joined)[kPathBuffer]);

// Length of the base name in `path`: the bytes before its first '.'. -1 when
// no '.' stands at position 1 or later, so that the path names no plan.
int BaseNameLength(const char* path);

// The four files a run of one plan touches.
struct PlanFileNames {
  char base[kPathBuffer];
  char plan[kPathBuffer];          // BASE.lst, the input
  char scratch[kPathBuffer];       // BASE.asc, the KS copy of a Unicode plan
  char intermediate[kPathBuffer];  // BASE.out, the KS-coded page
  char page[kPathBuffer];          // the build's page name
};

enum class PlanNameStatus : uint8_t {
  kNamed,
  kPathTooLong,      // longer than kPathBuffer - 1 bytes
  kNoBaseName,       // no '.' at position 1 or later
  kBaseNameTooLong,  // longer than the build's LongestBaseName()
};

// Derives the file names of the plan `path` names, in the order the main
// programs check: the path's length, the '.', then the base name's length.
// Whatever follows the first '.' is replaced: "plan.txt" reads "plan.lst".
PlanNameStatus NamePlanFiles(const char* path, const BuildSetting& build, PlanFileNames* names);

}  // namespace plotweave
