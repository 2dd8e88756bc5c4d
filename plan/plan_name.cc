#include "plan/plan_name.h"

#include <cstdio>
#include <cstring>

namespace plotweave {

namespace {

// Forms one derived name; false when it would not fit, so that a name is
// never silently cut short. The base name's limit rules that out for the
// formats of the two builds.
bool DeriveName(char (&name)[kPathBuffer], const char* format, const char* base) {
  const int length = std::snprintf(name, sizeof name, format, base);
  return length >= 0 && length < kPathBuffer;
}

}  // namespace

bool JoinArguments(int argc, const char* const* argv, char (&joined)[kPathBuffer]) {
  size_t used = 0;
  joined[0] = '\0';
  for (int i = 1; i < argc; ++i) {
    const size_t gap = i > 1 ? 1 : 0;
    const size_t len = std::strlen(argv[i]);
    if (used + gap + len > static_cast<size_t>(kPathBuffer - 1)) return false;
    if (gap) joined[used++] = ' ';
    std::memcpy(joined + used, argv[i], len);
    used += len;
    joined[used] = '\0';
  }
  return true;
}

int BaseNameLength(const char* path) {
  const char* firstDot = std::strchr(path, '.');
  const char* lastDot = std::strrchr(path, '.');
  if (lastDot == nullptr || lastDot == path) return -1;
  return static_cast<int>(firstDot - path);
}

PlanNameStatus NamePlanFiles(const char* path, const BuildSetting& build, PlanFileNames* names) {
  const size_t length = std::strlen(path);
  if (length > static_cast<size_t>(kPathBuffer - 1)) return PlanNameStatus::kPathTooLong;
  const int baseLength = BaseNameLength(path);
  if (baseLength < 0) return PlanNameStatus::kNoBaseName;
  if (baseLength > build.LongestBaseName()) return PlanNameStatus::kBaseNameTooLong;
  std::memcpy(names->base, path, static_cast<size_t>(baseLength));
  names->base[baseLength] = '\0';
  if (!DeriveName(names->plan, "%s.lst", names->base) || !DeriveName(names->scratch, "%s.asc", names->base) ||
      !DeriveName(names->intermediate, "%s.out", names->base) ||
      !DeriveName(names->page, build.pageNameFormat, names->base)) {
    return PlanNameStatus::kBaseNameTooLong;
  }
  return PlanNameStatus::kNamed;
}

}  // namespace plotweave
