#include "bundle/kit.h"

#include <cstring>

#include "io/file.h"

namespace plotweave {

namespace {

// How many folders above the program's own a source tree is looked for in
// (build/bundle/ in the tree is two).
constexpr int kSourceTreeDepth = 4;

// The first kit file missing in `folder`, or null.
const char* MissingKitFile(const char* folder) {
  char path[kPathCapacity];
  static const char* const kFiles[] = {kKitLoader, kKitNetwork, kKitPlaceholder};
  for (const char* name : kFiles) {
    if (!JoinPath(folder, std::strlen(folder), name, path) || !IsRegularFile(path)) return name;
  }
  return nullptr;
}

// Checks `place`, whose path is set; a web/ folder with a built site/ in it
// stands for that site/.
void Check(KitPlace* place) {
  place->missing = MissingKitFile(place->path);
  if (place->missing == nullptr) {
    place->state = KitPlaceState::kFound;
    return;
  }
  char site[kPathCapacity];
  if (JoinPath(place->path, std::strlen(place->path), "site", site) && MissingKitFile(site) == nullptr) {
    std::memcpy(place->path, site, sizeof site);
    place->missing = nullptr;
    place->state = KitPlaceState::kFound;
    return;
  }
  place->state = KitPlaceState::kMissingFile;
}

bool Given(const char* s) { return s != nullptr && s[0] != '\0'; }

// Length of the folder part of `path` (without the last separator), or 0.
size_t FolderLength(const char* path, size_t size) {
  while (size > 0 && path[size - 1] != '/' && path[size - 1] != '\\') --size;
  return size > 0 ? size - 1 : 0;
}

bool IsSourceTree(const char* folder, size_t size) {
  char marker[kPathCapacity];
  return JoinPath(folder, size, "web/build.mjs", marker) && IsRegularFile(marker);
}

}  // namespace

bool JoinPath(const char* folder, size_t folderSize, const char* name, char (&path)[kPathCapacity]) {
  const size_t n = std::strlen(name);
  const bool slash = n > 0 && folderSize > 0 && folder[folderSize - 1] != '/' && folder[folderSize - 1] != '\\';
  if (folderSize + (slash ? 1 : 0) + n + 1 > kPathCapacity) return false;
  std::memmove(path, folder, folderSize);
  size_t used = folderSize;
  if (slash) path[used++] = '/';
  std::memcpy(path + used, name, n + 1);
  return true;
}

void FindKit(const char* option, const char* environment, const char* program, KitSearch* search) {
  *search = KitSearch{};
  const char* chosen[2] = {option, environment};
  for (int i = 0; i < 2; ++i) {
    KitPlace& place = search->places[i];
    search->count = i + 1;
    if (!Given(chosen[i])) continue;
    if (!JoinPath(chosen[i], std::strlen(chosen[i]), "", place.path)) {
      place.state = KitPlaceState::kTooLong;
      return;
    }
    Check(&place);
    if (place.state == KitPlaceState::kFound) search->found = i;
    return;
  }

  // PREFIX/bin/program and PREFIX/share/plotweave/web/site.
  const size_t programSize = program != nullptr ? std::strlen(program) : 0;
  const size_t bin = FolderLength(program != nullptr ? program : "", programSize);
  KitPlace& installed = search->places[2];
  search->count = 3;
  char prefix[kPathCapacity];
  if (bin > 0 && JoinPath(program, bin, "..", prefix)) {
    if (JoinPath(prefix, std::strlen(prefix), "share/plotweave/web/site", installed.path)) {
      Check(&installed);
      if (installed.state == KitPlaceState::kFound) {
        search->found = 2;
        return;
      }
    } else {
      installed.state = KitPlaceState::kTooLong;
    }
  }

  KitPlace& tree = search->places[3];
  search->count = 4;
  size_t folder = bin;
  for (int up = 0; up <= kSourceTreeDepth && folder > 0; ++up) {
    if (IsSourceTree(program, folder)) {
      if (!JoinPath(program, folder, "web/site", tree.path)) {
        tree.state = KitPlaceState::kTooLong;
        return;
      }
      Check(&tree);
      if (tree.state == KitPlaceState::kFound) search->found = 3;
      return;
    }
    folder = FolderLength(program, folder);
  }
}

bool KitFile(const KitSearch& search, const char* name, char (&path)[kPathCapacity]) {
  if (search.found < 0) return false;
  const char* folder = search.places[search.found].path;
  return JoinPath(folder, std::strlen(folder), name, path);
}

}  // namespace plotweave
