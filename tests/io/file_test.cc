// Files read and written in whole blocks, past stdio's buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/file.h"
#include "io/stream.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// Hands out its bytes as asked and notes how much each read asked for.
class AskingSource final : public ByteSource {
 public:
  explicit AskingSource(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t Read(void* buffer, size_t capacity) override {
    asked.push_back(capacity);
    const size_t n = bytes_.size() - pos_ < capacity ? bytes_.size() - pos_ : capacity;
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  bool Failed() const override { return false; }
  std::vector<size_t> asked;

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

TEST(FirstReadCapped, OnlyTheFirstReadIsCutShortAndNoByteIsLost) {
  const std::string text = "\xef\xbb\xbf" + std::string(kStreamBufferSize + 100, 'k');
  AskingSource inner(text);
  FirstReadCapped capped(inner, 3);
  BufferedReader reader(capped);
  EXPECT_EQ(reader.Peek(2), 3u);
  ASSERT_EQ(inner.asked.size(), 1u);
  EXPECT_EQ(inner.asked[0], 3u);
  std::string back;
  for (int c; (c = reader.Next()) >= 0;) back += static_cast<char>(c);
  EXPECT_EQ(back, text);
  // The three bytes were taken before the next fill, which asks for a whole buffer.
  ASSERT_GE(inner.asked.size(), 2u);
  EXPECT_EQ(inner.asked[1], kStreamBufferSize);

  // A source shorter than the cap ends as it would without one.
  AskingSource one("a");
  FirstReadCapped shortCap(one, 3);
  BufferedReader tiny(shortCap);
  EXPECT_EQ(tiny.Peek(2), 1u);
  EXPECT_EQ(tiny.Next(), 'a');
  EXPECT_EQ(tiny.Next(), -1);
  EXPECT_FALSE(tiny.Failed());
}

TEST(FileHandle, UnbufferedFilesKeepEveryByteAndStopAtTheEnd) {
  TempDir dir;
  const std::string path = dir / "blocks.bin";
  // Blocks of a buffer's size and odd pieces, binary bytes included.
  std::string bytes;
  for (size_t i = 0; i < 3 * kStreamBufferSize + 777; ++i) bytes += static_cast<char>((i * 131) >> 3);
  {
    FileHandle out;
    ASSERT_TRUE(out.Open(path.c_str(), "wb"));
    ReadWriteUnbuffered(out.get());
    FileSink sink(out.get());
    BufferedWriter writer(sink);
    writer.Write(bytes.data(), 5);
    writer.Write(bytes.data() + 5, bytes.size() - 5);
    ASSERT_TRUE(writer.Flush());
    EXPECT_TRUE(out.Close());
  }
  EXPECT_EQ(ReadFileBytes(path), bytes);

  FileHandle in(path.c_str(), "rb");
  ASSERT_TRUE(in);
  ReadWriteUnbuffered(in.get());
  FileSource source(in.get());
  std::string back(bytes.size() + 10, '\0');
  size_t got = 0;
  for (size_t n; (n = source.Read(back.data() + got, kStreamBufferSize < back.size() - got ? kStreamBufferSize
                                                                                            : back.size() - got)) > 0;) {
    got += n;
  }
  back.resize(got);
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(source.Failed());
  // Reads after the end keep returning nothing, also when the file grows
  // meanwhile: the stream has been read to its end once.
  WriteFileBytes(path, bytes + "more");
  char extra[8];
  EXPECT_EQ(source.Read(extra, sizeof extra), 0u);
  EXPECT_TRUE(in.Close());

  // Reopening a handle closes what it held and reads the new file from its start.
  FileHandle again(path.c_str(), "rb");
  ASSERT_TRUE(again.Open(path.c_str(), "rb"));
  EXPECT_EQ(std::fgetc(again.get()), static_cast<unsigned char>(bytes[0]));
  EXPECT_FALSE(again.Open((dir / "missing").c_str(), "rb"));
  EXPECT_FALSE(again);
}

#ifndef _WIN32
TEST(FileHandle, AnUnbufferedWriteThatFailsIsReported) {
  // Without a buffer every write meets the device at once; the failure must
  // still reach the writer and the close.
  FileHandle full("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full";
  ReadWriteUnbuffered(full.get());
  FileSink sink(full.get());
  const std::string block(kStreamBufferSize, 'x');
  EXPECT_FALSE(sink.Write(block.data(), block.size()));
  EXPECT_FALSE(full.Close());
}
#endif

}  // namespace
}  // namespace plotweave
