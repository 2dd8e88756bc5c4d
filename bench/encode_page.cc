// Runs the page encoder alone on one file, for the whole-program benchmark.
#include <cstdio>

#include "io/file.h"
#include "kscode/page_encoder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: encode_page INPUT OUTPUT\n");
    return 2;
  }
  plotweave::FileHandle input(argv[1], "rb");
  plotweave::FileHandle output(argv[2], "wt");
  if (!input || !output) return 1;
  // As the program opens its pages.
  plotweave::ReadWriteUnbuffered(input.get());
  plotweave::ReadWriteUnbuffered(output.get());
  plotweave::FileSource source(input.get());
  plotweave::FileSink sink(output.get());
  const bool done = plotweave::EncodePage(source, sink) == plotweave::StreamStatus::kDone;
  return output.Close() && done ? 0 : 1;
}
