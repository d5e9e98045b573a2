#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace telm {

// A symplectic matrix that equals the identity except on the rows and columns of a few phase-space indices:
// the 2 quadratures of one mode (squeezer) or the 4 of two modes (beam splitter). Indices are kept in
// ascending order and entry(r, c) is S[index[r]][index[c]].
struct SymplecticBlock {
  static constexpr std::size_t max_count = 4;

  std::size_t count = 0;
  std::array<std::size_t, max_count> index{};
  std::array<double, max_count * max_count> entries{};

  [[nodiscard]] double entry(std::size_t r, std::size_t c) const { return entries[r * count + c]; }
  [[nodiscard]] bool all_finite() const;

  // The full size x size matrix: identity(size) with the block written in.
  [[nodiscard]] std::vector<double> expand(std::size_t size) const;
};

// The squeezer of mode `mode` by r: x scaled by e^(-r), p by e^(r). The entries are evaluated in the forms
// b*0 + a, (a - b)*0, (a - b)*0, a*0 + b, so an overflowing exponential gives not-a-number entries
// (0 * inf) instead of a silently wrong diagonal.
[[nodiscard]] SymplecticBlock squeeze_block(std::uint64_t mode, double r);

// The beam splitter between distinct modes: x_a' = c x_a - s x_b, p_a' = c p_a - s p_b,
// x_b' = s x_a + c x_b, p_b' = s p_a + c p_b with c = cos(theta), s = sin(theta). The entries coupling x of
// one mode to p of the other are 0 * s, so a non-finite theta makes them not-a-number as well.
[[nodiscard]] SymplecticBlock beamsplitter_block(std::uint64_t mode_a, std::uint64_t mode_b, double theta);

}  // namespace telm
