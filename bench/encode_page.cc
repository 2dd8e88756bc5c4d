// Runs the page encoder alone on one file, for the whole-program benchmark.
#include <cstdio>

#include "kscode/kscode.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: encode_page INPUT OUTPUT\n");
    return 2;
  }
  return plotweave::EncodePageUtf8(argv[1], argv[2]) == 0 ? 0 : 1;
}
