// The plan on disk as the preview follows it: a stamp that changes with every
// save, whether the editor writes in place or renames a new file over it, and
// one read of the whole plan into memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plotweave {

struct PlanStamp {
  bool present = false;
  bool regular = false;
  uint64_t size = 0;
  uint64_t modified = 0;  // nanoseconds (100 ns steps on Windows)
  uint64_t changed = 0;   // status change, nanoseconds; 0 where the system has none
  uint64_t file = 0;      // inode or file index: a rename-save brings a new one

  bool operator==(const PlanStamp&) const = default;
};

// The stamp of what stands at `path` now, links followed.
PlanStamp StampPlan(const char* path);

enum class PlanRead : uint8_t { kRead, kMissing, kNotAFile, kTooLarge, kFailed };

// Reads the whole plan into `buffer`. The file is opened without blocking and
// checked on the open handle, so a FIFO or device put at the name is refused
// rather than waited on or read forever.
PlanRead ReadPlanFile(const char* path, unsigned char* buffer, size_t capacity, size_t* size);

}  // namespace plotweave
