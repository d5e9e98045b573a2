#include "core/chacha.hpp"

#include <array>
#include <cstdint>

#include <gtest/gtest.h>

namespace telm {
namespace {

using Words = std::array<std::uint32_t, 16>;

// The 20-round block function vector with key 00..1f, block counter 1 and nonce
// 00:00:00:09:00:00:00:4a:00:00:00:00: the nonce's first word is the high half of our 64-bit
// counter, its last two words our 64-bit stream number.
TEST(ChaChaBlock, TwentyRoundPublishedVector) {
  const Words input = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574, 0x03020100, 0x07060504,
                       0x0b0a0908, 0x0f0e0d0c, 0x13121110, 0x17161514, 0x1b1a1918, 0x1f1e1d1c,
                       0x00000001, 0x09000000, 0x4a000000, 0x00000000};
  const Words expected = {0xe4e7f110, 0x15593bd1, 0x1fdd0f50, 0xc47120a3, 0xc7f4d1c7, 0x0368c033,
                          0x9aaa2204, 0x4e6cd4c3, 0x466482d2, 0x09aa9f07, 0x05d7c214, 0xa2028bd9,
                          0xd19c12b5, 0xb94e16de, 0xe883d0cb, 0x4e3c50a2};
  EXPECT_EQ(chacha_block(input, 20), expected);
}

// All-zero key and nonce, blocks 0 and 1 of the 20-round keystream, read through the stream so
// that the counter step between blocks is covered too.
TEST(ChaChaStream, TwentyRoundZeroKeyFirstTwoBlocks) {
  ChaChaStream stream(std::array<std::uint32_t, 8>{}, 0, 20);
  const std::array<std::uint32_t, 28> expected = {
      0xade0b876, 0x903df1a0, 0xe56a5d40, 0x28bd8653, 0xb819d2bd, 0x1aed8da0, 0xccef36a8,
      0xc70d778b, 0x7c5941da, 0x8d485751, 0x3fe02477, 0x374ad8b8, 0xf4b8436a, 0x1ca11815,
      0x69b687c3, 0x8665eeb2,  // block 0
      0xbee7079f, 0x7a385155, 0x7c97ba98, 0x0d082d73, 0xa0290fcb, 0x6965e348, 0x3e53c612,
      0xed7aee32, 0x7621b729, 0x434ee69c, 0xb03371d5, 0xd539d874};  // block 1, first 12 words
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(stream.next_u32(), expected[i]) << "word " << i;
}

// The seeded 12-round generator, against values from an independent model of the same
// definition: key words from the seed, 64-bit draws, and uniform values across a block boundary.
TEST(ChaChaStream, SeededTwelveRoundKnownAnswer) {
  const std::uint64_t seed = (std::uint64_t{5} << 32) ^ (std::uint64_t{2} << 16) ^ 32 ^ 16;
  const std::array<std::uint32_t, 8> key = {0x51a10068, 0xcf1763a1, 0xeaa8770a, 0x7d2aadfa,
                                            0x664c8af1, 0x481fa58b, 0xcf7b0de5, 0x2d76e5e7};
  EXPECT_EQ(ChaChaStream::expand_seed(seed), key);

  ChaChaStream stream = ChaChaStream::from_seed(seed);
  EXPECT_EQ(stream.next_u64(), 0xc06eb3a2bfde1efeull);
  EXPECT_EQ(stream.next_u64(), 0xf677d393658af073ull);
  EXPECT_EQ(stream.next_u64(), 0x901acd21fb8b307full);
  EXPECT_EQ(stream.next_u64(), 0xd3c38759b63a6990ull);
  const std::array<double, 8> uniform = {0.12193673894095536,  0.851168509370734,   -0.11426758010348292,
                                         -0.4195511363910587,  -0.400506197692831,  0.7972191183922885,
                                         -0.31245195927067915, -0.31933287265150545};
  for (const double value : uniform) EXPECT_EQ(stream.next_symmetric_unit(), value);
}

}  // namespace
}  // namespace telm
