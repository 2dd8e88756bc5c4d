// The block search for a byte, on every target's word-at-a-time path and the
// vector path, against the plain byte loop.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "kscode/byte_mask.h"

namespace plotweave {
namespace {

uint64_t PlainMask(const unsigned char* p, unsigned char byte) {
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) {
    if (p[i] == byte) mask |= uint64_t{1} << i;
  }
  return mask;
}

TEST(ByteMask64, BothPathsAgreeWithTheByteLoop) {
  // Bytes next to the one looked for in value, and with its high bit set,
  // are the ones a word trick could take for it; blocks at odd addresses.
  const unsigned char kNear[] = {'\n', '\n' - 1, '\n' + 1, '\n' | 0x80, 0x00, 0xFF, 0x7F, 0x80, 'a', 0x0A ^ 0x01};
  std::mt19937 random(7);
  unsigned char buffer[64 + 8];
  for (int round = 0; round < 20000; ++round) {
    const size_t offset = random() % 8;
    for (unsigned char& b : buffer) b = kNear[random() % sizeof kNear];
    const unsigned char wanted = round % 3 == 0 ? 0x00 : round % 3 == 1 ? '\n' : 0xFF;
    const unsigned char* block = buffer + offset;
    const uint64_t expected = PlainMask(block, wanted);
    ASSERT_EQ(ByteMask64Portable(block, wanted), expected) << round;
    ASSERT_EQ(ByteMask64(block, wanted), expected) << round;
  }
}

}  // namespace
}  // namespace plotweave
