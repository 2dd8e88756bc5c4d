#include <gtest/gtest.h>

#include <random>
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

// Line reading by the rule alone, a byte at a time.
std::vector<std::string> PlainLines(const std::string& text, size_t capacity) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    std::string line;
    while (line.size() < capacity - 1 && i < text.size()) {
      char c = text[i++];
      if (c == '\r' && i < text.size() && text[i] == '\n') c = text[i++];
      line += c;
      if (c == '\n') break;
    }
    lines.push_back(line);
  }
  return lines;
}

TEST(BufferedReader, ReadsLinesAsTheByteByByteRuleDoesOnRandomText) {
  // Short and long lines, CRs alone and before LFs, wherever the line limit
  // and the ends of the reads fall.
  std::mt19937 rng(15);
  const char alphabet[] = {'a', ' ', '\r', '\n', '\0', '\xb0', 'b', '\t'};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const size_t length = rng() % 600;
    const unsigned breakEvery = 1 + rng() % 120;
    for (size_t k = 0; k < length; ++k) {
      text += rng() % breakEvery == 0 ? alphabet[2 + rng() % 2] : alphabet[rng() % sizeof alphabet];
    }
    const size_t capacity = 2 + rng() % 80;
    const size_t step = 1 + rng() % 70;
    ASSERT_EQ(Lines(text, step, capacity), PlainLines(text, capacity)) << round;
  }
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
