#include <gtest/gtest.h>

#include <string>

#include "io/stream.h"
#include "tests/support/test_support.h"

namespace plotweave {
namespace {

std::vector<std::string> Lines(const std::string& text, size_t step, size_t capacity) {
  testing::PieceSource source(text, step);
  BufferedReader reader(source);
  std::vector<std::string> lines;
  std::string line(capacity, '\0');
  size_t got;
  while ((got = reader.ReadLine(line.data(), capacity)) > 0) lines.emplace_back(line.data(), got);
  EXPECT_FALSE(reader.Failed());
  return lines;
}

TEST(BufferedReader, CarriageReturnBeforeLineFeedReadsAsTheLineFeedWhereverTheReadsEnd) {
  // The CR lands on the last byte of the buffer's first fill.
  const std::string first(kStreamBufferSize - 1, 'a');
  const std::vector<std::string> lines = Lines(first + "\r\nb\rc\r", 1 << 20, 1 << 17);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], first + "\n");
  EXPECT_EQ(lines[1], "b\rc\r");
  for (size_t step : {1u, 2u, 3u}) {
    EXPECT_EQ(Lines("x\r\r\ny\r", step, 100), (std::vector<std::string>{"x\r\n", "y\r"})) << step;
  }
  // A line longer than the limit arrives in pieces; a CR LF split by the
  // limit still reads as one LF.
  EXPECT_EQ(Lines("abcd\r\nef\n", 5, 5), (std::vector<std::string>{"abcd", "\n", "ef\n"}));
}

TEST(BufferedReader, PeekGathersSmallReadsWithoutConsumingAndReportsFailure) {
  testing::PieceSource source("xyz", 1);
  BufferedReader reader(source);
  EXPECT_EQ(reader.Peek(2), 2u);
  EXPECT_EQ(reader.Peek(5), 3u);
  EXPECT_EQ(reader.Next(), 'x');
  reader.Skip(1);
  EXPECT_EQ(reader.Next(), 'z');
  EXPECT_EQ(reader.Next(), -1);
  EXPECT_FALSE(reader.Failed());

  testing::PieceSource failing("ab", 1, true);
  BufferedReader broken(failing);
  EXPECT_EQ(broken.Peek(3), 2u);
  EXPECT_TRUE(broken.Failed());
}

TEST(BufferedWriter, KeepsEveryByteInOrderAndAFailureSticks) {
  testing::StringSink sink;
  std::string expected;
  {
    BufferedWriter writer(sink);
    const std::string block(kStreamBufferSize + 10, 'b');
    writer.Put('a');
    writer.Write(block.data(), block.size());
    writer.PutSmall(0x00636261, 3);
    writer.Write("tail");
    expected = "a" + block + "abc" + "tail";
  }
  EXPECT_EQ(sink.bytes, expected);

  testing::FullSink full(10);
  BufferedWriter writer(full);
  writer.Write(std::string(kStreamBufferSize * 2, 'c').c_str());
  EXPECT_TRUE(writer.Failed());
  writer.Put('d');
  EXPECT_FALSE(writer.Flush());
}

}  // namespace
}  // namespace plotweave
