// The folder the interchange tables go into.
#pragma once

namespace plotweave {

enum class FolderState { kCreated, kExisting, kFailed };

// Creates the folder `path`, or takes the folder that stands there. A
// symbolic link (or, on Windows, any reparse point) is refused, as is
// anything that is not a folder: the tables go where the name says. errno
// tells why on kFailed (ENOTDIR for something else, ELOOP for a link).
FolderState PrepareFolder(const char* path);

// Removes a folder the run created, when it is empty.
void RemoveFolder(const char* path);

}  // namespace plotweave
