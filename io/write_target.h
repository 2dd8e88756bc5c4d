// What a file written under a name replaces: the rules of ReplacingFile for
// links, devices and the other things a name may lead to (see
// io/replacing_file.h).
#pragma once

#include <cstddef>

namespace plotweave {

enum class WriteTarget {
  kReplace,        // a new file is renamed over the name given back
  kInPlace,        // the name is opened and written as it is
  kInPlaceAppend,  // a regular file behind an open-file link: written at its end
  kRefused,        // errno tells why
};

// Examines `path`. For kReplace, `out` (`capacity` bytes) receives the name
// to replace: `path` itself, or where the link at `path` leads.
WriteTarget ExamineWriteTarget(const char* path, char* out, size_t capacity);

// Whether the symbolic link at `link`, owned by `owner`, may be followed: it
// belongs to the user who runs the program or to the owner of its folder.
bool MayFollowLink(const char* link, unsigned long owner);

}  // namespace plotweave
