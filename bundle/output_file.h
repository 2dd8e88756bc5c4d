// The copy's name: its default, the page's folder, and the check that it is
// not the page itself.
#pragma once

#include "bundle/image_address.h"

namespace plotweave {

// "dir/name.standalone.htm" for "dir/name.htm" (the page's own extension is
// kept; ".standalone.htm" is added to a name without one). False when it
// does not fit.
bool DefaultOutputName(const char* page, char (&output)[kPathCapacity]);

// The folder part of `path` ("" for a bare name).
bool FolderOf(const char* path, char (&folder)[kPathCapacity]);

// Whether both names exist and are the same file (also through links or
// other spellings of the path).
bool SameFile(const char* a, const char* b);

}  // namespace plotweave
