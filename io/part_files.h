// The unique temporary files of writers that take no lock: "NAME.part-PID-N",
// PID the writer's process and N its attempt.
#pragma once

#include <cstddef>
#include <cstdio>

namespace plotweave {

// Creates a part file for `path` that no other writer uses, into `temp`
// (`capacity` bytes): what stands at a name is left alone and the next one
// tried. Null, with errno set, when none could be created.
FILE* CreatePartFile(const char* path, char* temp, size_t capacity, const char* mode);

// Removes the part files for `path` whose writer is no longer alive (one
// killed before it could clean up), and only those: regular files of the
// user who runs the program, under a name of the form above whose process
// does not exist.
void RemoveDeadWritersParts(const char* path);

}  // namespace plotweave
