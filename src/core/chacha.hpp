#pragma once

#include <array>
#include <cstdint>

namespace telm {

// The ChaCha block function on a full 16-word input state with `rounds` rounds (an even number:
// rounds / 2 double rounds). The output is the working state plus the input state, word by word.
[[nodiscard]] std::array<std::uint32_t, 16> chacha_block(const std::array<std::uint32_t, 16>& input,
                                                         int rounds) noexcept;

// A ChaCha keystream read as a sequence of 32-bit words: state words 12 and 13 hold a 64-bit block
// counter (low word first) that starts at 0, words 14 and 15 a 64-bit stream number.
class ChaChaStream {
 public:
  static constexpr int kDefaultRounds = 12;

  ChaChaStream(const std::array<std::uint32_t, 8>& key, std::uint64_t stream, int rounds) noexcept;

  // The eight key words derived from a 64-bit seed (a PCG32 step per word).
  [[nodiscard]] static std::array<std::uint32_t, 8> expand_seed(std::uint64_t seed) noexcept;
  // The generator of the randomized decomposition: 12 rounds, stream 0, key from the seed.
  [[nodiscard]] static ChaChaStream from_seed(std::uint64_t seed) noexcept;

  [[nodiscard]] std::uint32_t next_u32() noexcept;
  // Two consecutive words, the first as the low half.
  [[nodiscard]] std::uint64_t next_u64() noexcept;
  // Uniform in [-1, 1) from the top 52 bits of a 64-bit draw.
  [[nodiscard]] double next_symmetric_unit() noexcept;

 private:
  void refill() noexcept;

  std::array<std::uint32_t, 16> input_{};
  std::array<std::uint32_t, 16> block_{};
  int rounds_;
  unsigned next_word_ = 16;  // index into block_; 16 means the block is used up
};

}  // namespace telm
