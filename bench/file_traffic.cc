// The file traffic a run on a Unicode plan cannot avoid, with no conversion
// and no reading of lines: the plan read once, the scratch copy written,
// read back and removed, each through the same 64 KiB buffer the program
// uses and past stdio's own, as the program's are. The whole-program
// benchmark runs it beside the program so that its figures show how much of
// a run is the kernel's share.
#include <cstdio>
#include <cstdlib>

#include "io/file.h"
#include "io/stream.h"

namespace {

unsigned char gBuffer[plotweave::kStreamBufferSize];

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: file_traffic PLAN SCRATCH SCRATCH_BYTES_PER_PLAN_BYTE\n");
    return 2;
  }
  const double ratio = std::atof(argv[3]);
  {
    plotweave::FileHandle plan(argv[1], "rb");
    plotweave::FileHandle scratch(argv[2], "wb");
    if (!plan || !scratch) return 1;
    plotweave::ReadWriteUnbuffered(plan.get());
    plotweave::ReadWriteUnbuffered(scratch.get());
    plotweave::FileSource source(plan.get());
    plotweave::FileSink sink(scratch.get());
    double read = 0;
    double written = 0;
    size_t got;
    while ((got = source.Read(gBuffer, sizeof gBuffer)) > 0) {
      read += static_cast<double>(got);
      while (read * ratio - written >= 1) {
        const double owed = read * ratio - written;
        const size_t n = owed < sizeof gBuffer ? static_cast<size_t>(owed) : sizeof gBuffer;
        if (!sink.Write(gBuffer, n)) return 1;
        written += static_cast<double>(n);
      }
    }
    if (!scratch.Close()) return 1;
  }
  {
    plotweave::FileHandle scratch(argv[2], "rb");
    if (!scratch) return 1;
    plotweave::ReadWriteUnbuffered(scratch.get());
    plotweave::FileSource source(scratch.get());
    while (source.Read(gBuffer, sizeof gBuffer) > 0) {
    }
  }
  return std::remove(argv[2]) == 0 ? 0 : 1;
}
