#include "core/chacha.hpp"

#include <bit>

namespace telm {
namespace {

constexpr void quarter_round(std::array<std::uint32_t, 16>& x, int a, int b, int c, int d) noexcept {
  x[a] += x[b];
  x[d] = std::rotl(x[d] ^ x[a], 16);
  x[c] += x[d];
  x[b] = std::rotl(x[b] ^ x[c], 12);
  x[a] += x[b];
  x[d] = std::rotl(x[d] ^ x[a], 8);
  x[c] += x[d];
  x[b] = std::rotl(x[b] ^ x[c], 7);
}

}  // namespace

std::array<std::uint32_t, 16> chacha_block(const std::array<std::uint32_t, 16>& input, int rounds) noexcept {
  std::array<std::uint32_t, 16> x = input;
  for (int i = 0; i < rounds; i += 2) {
    quarter_round(x, 0, 4, 8, 12);
    quarter_round(x, 1, 5, 9, 13);
    quarter_round(x, 2, 6, 10, 14);
    quarter_round(x, 3, 7, 11, 15);
    quarter_round(x, 0, 5, 10, 15);
    quarter_round(x, 1, 6, 11, 12);
    quarter_round(x, 2, 7, 8, 13);
    quarter_round(x, 3, 4, 9, 14);
  }
  for (std::size_t i = 0; i < 16; ++i) x[i] += input[i];
  return x;
}

ChaChaStream::ChaChaStream(const std::array<std::uint32_t, 8>& key, std::uint64_t stream, int rounds) noexcept
    : rounds_(rounds) {
  // "expand 32-byte k"
  input_[0] = 0x61707865u;
  input_[1] = 0x3320646eu;
  input_[2] = 0x79622d32u;
  input_[3] = 0x6b206574u;
  for (std::size_t i = 0; i < 8; ++i) input_[4 + i] = key[i];
  input_[12] = 0;
  input_[13] = 0;
  input_[14] = static_cast<std::uint32_t>(stream);
  input_[15] = static_cast<std::uint32_t>(stream >> 32);
}

std::array<std::uint32_t, 8> ChaChaStream::expand_seed(std::uint64_t seed) noexcept {
  constexpr std::uint64_t kMultiplier = 6364136223846793005ull;
  constexpr std::uint64_t kIncrement = 11634580027462260723ull;
  std::array<std::uint32_t, 8> key{};
  std::uint64_t x = seed;
  for (auto& word : key) {
    x = x * kMultiplier + kIncrement;
    const auto xorshifted = static_cast<std::uint32_t>(((x >> 18) ^ x) >> 27);
    word = std::rotr(xorshifted, static_cast<int>(x >> 59));
  }
  // The key bytes are the words in little-endian order, which is how the block function reads
  // them back: the words go into the state unchanged.
  return key;
}

ChaChaStream ChaChaStream::from_seed(std::uint64_t seed) noexcept {
  return ChaChaStream(expand_seed(seed), 0, kDefaultRounds);
}

void ChaChaStream::refill() noexcept {
  block_ = chacha_block(input_, rounds_);
  if (++input_[12] == 0) ++input_[13];
  next_word_ = 0;
}

std::uint32_t ChaChaStream::next_u32() noexcept {
  if (next_word_ >= 16) refill();
  return block_[next_word_++];
}

std::uint64_t ChaChaStream::next_u64() noexcept {
  const std::uint64_t low = next_u32();
  const std::uint64_t high = next_u32();
  return (high << 32) | low;
}

double ChaChaStream::next_symmetric_unit() noexcept {
  for (;;) {
    const std::uint64_t bits = (next_u64() >> 12) | 0x3FF0000000000000ull;
    const double unit = std::bit_cast<double>(bits) - 1.0;  // [0, 1)
    const double value = unit * 2.0 - 1.0;
    if (value < 1.0) return value;
  }
}

}  // namespace telm
