#include "cv/symplectic_block.hpp"

#include <cmath>
#include <utility>

#include "core/invariant.hpp"
#include "cv/real_matrix.hpp"

namespace telm {
namespace {

// Reorders the indices ascending, carrying the rows and columns of the entries along.
void sort_indices(SymplecticBlock& block) {
  const std::size_t n = block.count;
  std::array<std::size_t, SymplecticBlock::max_count> order{};
  for (std::size_t r = 0; r < n; ++r) order[r] = r;
  for (std::size_t r = 1; r < n; ++r) {
    for (std::size_t s = r; s > 0 && block.index[order[s - 1]] > block.index[order[s]]; --s) {
      std::swap(order[s - 1], order[s]);
    }
  }
  SymplecticBlock sorted;
  sorted.count = n;
  for (std::size_t r = 0; r < n; ++r) {
    sorted.index[r] = block.index[order[r]];
    for (std::size_t c = 0; c < n; ++c) sorted.entries[r * n + c] = block.entries[order[r] * n + order[c]];
  }
  block = sorted;
}

}  // namespace

bool SymplecticBlock::all_finite() const {
  for (std::size_t e = 0; e < count * count; ++e) {
    if (!std::isfinite(entries[e])) return false;
  }
  return true;
}

std::vector<double> SymplecticBlock::expand(std::size_t size) const {
  std::vector<double> s = identity(size);
  for (std::size_t r = 0; r < count; ++r) {
    TELM_EXPECT(index[r] < size && s.size() == size * size, {});
    for (std::size_t c = 0; c < count; ++c) s[index[r] * size + index[c]] = entry(r, c);
  }
  return s;
}

SymplecticBlock squeeze_block(std::uint64_t mode, double r) {
  const double a = std::exp(-r);
  const double b = std::exp(r);
  SymplecticBlock block;
  block.count = 2;
  block.index = {2 * mode, 2 * mode + 1, 0, 0};
  block.entries[0] = b * 0.0 + a;
  block.entries[1] = (a - b) * 0.0;
  block.entries[2] = (a - b) * 0.0;
  block.entries[3] = a * 0.0 + b;
  return block;
}

SymplecticBlock beamsplitter_block(std::uint64_t mode_a, std::uint64_t mode_b, double theta) {
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const double cross = 0.0 * s;
  SymplecticBlock block;
  block.count = 4;
  // Local order x_a, p_a, x_b, p_b; sorted below when mode_b comes first.
  block.index = {2 * mode_a, 2 * mode_a + 1, 2 * mode_b, 2 * mode_b + 1};
  block.entries = {
      c,   0.0, -s,    cross,  //
      0.0, c,   cross, -s,     //
      s,   cross, c,   0.0,    //
      cross, s, 0.0,   c,      //
  };
  sort_indices(block);
  return block;
}

}  // namespace telm
