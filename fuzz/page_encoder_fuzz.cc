// The page encoder on arbitrary bytes, through real files and in memory.
//
// In memory every line chunk gets a heap buffer of exactly its size, so a scan
// that runs past a chunk's terminating zero is caught by AddressSanitizer; the
// file path reuses one large static buffer, where it would go unnoticed. Both
// must give the same page, and the page must be the byte-order mark followed
// by well-formed UTF-8 without a zero byte.
#include <unistd.h>

#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "io/file.h"
#include "kscode/page_encoder.h"

namespace {

std::string gDir;
std::string gInput;
std::string gOutput;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plotweave::fuzz::SilenceStdout();
  gDir = plotweave::fuzz::MakeScratchDir("plotweave-fuzz");
  gInput = gDir + "/page.out";
  gOutput = gDir + "/page.htm";
  std::atexit([] {
    std::remove(gInput.c_str());
    std::remove(gOutput.c_str());
    rmdir(gDir.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotweave;
  MemorySource in(data, size);
  fuzz::StringSink memory;
  fuzz::StringSink plainMemory;  // the same chunks by the plain path
  {
    static const char kMark[] = "\xEF\xBB\xBF";
    BufferedWriter writer(memory);
    BufferedWriter plainWriter(plainMemory);
    writer.Write(kMark, 3);
    BufferedReader reader(in);
    static char line[kPageChunkBuffer];
    size_t got;
    while ((got = reader.ReadLine(line, sizeof line)) > 0) {
      FUZZ_CHECK(got < kPageChunkBuffer);
      std::unique_ptr<char[]> chunk(new char[got + 1]);
      std::memcpy(chunk.get(), line, got + 1);
      EncodeChunk(chunk.get(), writer);
      EncodeChunkPlain(chunk.get(), plainWriter);
    }
    FUZZ_CHECK(!reader.Failed());
    FUZZ_CHECK(writer.Flush());
    FUZZ_CHECK(plainWriter.Flush());
  }
  const std::string& page = memory.bytes;
  FUZZ_CHECK(page.compare(3, std::string::npos, plainMemory.bytes) == 0);
  FUZZ_CHECK(page.compare(0, 3, "\xEF\xBB\xBF") == 0);
  FUZZ_CHECK(page.find('\0') == std::string::npos);
  FUZZ_CHECK(fuzz::DecodeStrictUtf8(page.substr(3), nullptr));

  fuzz::WriteAll(gInput, data, size);
  {
    FileHandle input(gInput.c_str(), "rb");
    FileHandle output(gOutput.c_str(), "wb");
    FUZZ_CHECK(input && output);
    FileSource source(input.get());
    FileSink sink(output.get());
    FUZZ_CHECK(EncodePage(source, sink) == StreamStatus::kDone);
    FUZZ_CHECK(output.Close());
  }
  FUZZ_CHECK(fuzz::ReadAll(gOutput) == page);
  return 0;
}
