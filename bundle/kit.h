// Where the laboratory-server kit is: the folder with the loader stand-in, the
// network script and the placeholder image that a standalone copy takes in.
#pragma once

#include "bundle/image_address.h"
#include "bundle/standalone.h"

namespace plotweave {

enum class KitPlaceState {
  kNotGiven,     // no option, no variable, no source tree found
  kFound,
  kMissingFile,  // the folder lacks `missing`
  kTooLong,
};

struct KitPlace {
  KitPlaceState state = KitPlaceState::kNotGiven;
  const char* missing = nullptr;
  char path[kPathCapacity] = {};
};

struct KitSearch {
  // In the order they are looked at: --kit DIR, PLOTWEAVE_KIT, the installed
  // kit (share/plotweave/web/site beside the program's bin/), and web/site of
  // the source tree the program was built in.
  KitPlace places[4];
  int count = 0;   // places looked at
  int found = -1;  // index of the kit used, or -1
};

// Looks in this order: `option`, then `environment`, then the installed kit,
// then the source tree's (null or empty for those not given). A folder named
// by the option or the variable is used or refused as it is: when it is not a
// kit, the search ends there rather than quietly taking another. Either may
// name the kit folder or the web/ folder above it. `program` is the path of
// the running program.
void FindKit(const char* option, const char* environment, const char* program, KitSearch* search);

// `folder` (its first `folderSize` bytes) and `name` joined with a "/"
// where neither brings one; `path` may be where `folder` is. False when it
// does not fit.
bool JoinPath(const char* folder, size_t folderSize, const char* name, char (&path)[kPathCapacity]);

// The path of a file of the kit found.
bool KitFile(const KitSearch& search, const char* name, char (&path)[kPathCapacity]);

}  // namespace plotweave
