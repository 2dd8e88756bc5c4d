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

// A name that stands for an open file: /dev/stdout, /dev/fd/N,
// /proc/self/fd/N and the like, reached from `path` itself or through the
// links it leads through. Such names are links the kernel keeps to whatever
// the descriptor has open (a file, a pipe), so they are looked for before
// anything is resolved.
struct OpenFileLink {
  bool found = false;
  int fd = -1;  // this process's descriptor, when the name says which one
};
OpenFileLink OpenFileLinkBehind(const char* path);

// Whether the symbolic link at `link`, owned by `owner`, may be followed: it
// belongs to the user who runs the program or to the owner of its folder.
bool MayFollowLink(const char* link, unsigned long owner);

}  // namespace plotweave
