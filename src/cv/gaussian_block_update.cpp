// Squeezers and beam splitters change only the rows and columns of their block's indices, but the full
// products of apply_symplectic also reach every other entry: 1 * v and 0 * v terms are added to it. Those
// terms leave a finite entry as it was (every sum starts from +0, so it is never -0, and adding +-0 changes
// nothing), turn -0 into +0, and turn an entry into not-a-number wherever some other term of its sum is
// 0 * (infinity or not-a-number). The update below reproduces exactly that, row by row: a row without
// irregular entries needs only its block columns; a row holding one is rewritten whole.
#include <cstddef>
#include <limits>
#include <span>

#include "cv/gaussian.hpp"
#include "core/invariant.hpp"
#include "cv/irregular_entry.hpp"

namespace telm {
namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

using BlockValues = std::array<double, SymplecticBlock::max_count>;

std::size_t count_non_finite(std::span<const double> values) {
  std::size_t count = 0;
  for (double v : values) count += std::isfinite(v) ? 0 : 1;
  return count;
}

// Entry index[r] of a row t of (S V) S^T, from the block entries t_block of that row of S V: the second
// product skips zero entries of its left factor.
double skipping_block_sum(const SymplecticBlock& block, std::size_t r, const BlockValues& t_block) {
  double sum = 0.0;
  for (std::size_t c = 0; c < block.count; ++c) {
    if (t_block[c] != 0.0) sum += t_block[c] * block.entry(r, c);
  }
  return sum;
}

// Row `out` of (S V) S^T from its row `t` of S V (out may be t). Column k outside the block receives
// t[k] * 1 and t[j] * 0 for every other non-zero t[j]; a block column receives the block terms and
// t[j] * 0 for every non-zero t[j] outside the block. Returns the number of non-finite entries of out.
std::size_t finish_row(const SymplecticBlock& block, const double* t, double* out, std::size_t size) {
  const std::size_t non_finite = count_non_finite(std::span<const double>(t, size));
  BlockValues t_block{};
  std::size_t non_finite_in_block = 0;
  for (std::size_t c = 0; c < block.count; ++c) {
    t_block[c] = t[block.index[c]];
    non_finite_in_block += std::isfinite(t_block[c]) ? 0 : 1;
  }
  const bool poisoned_from_outside = non_finite > non_finite_in_block;
  BlockValues out_block{};
  for (std::size_t r = 0; r < block.count; ++r) {
    out_block[r] = poisoned_from_outside ? not_a_number : skipping_block_sum(block, r, t_block);
  }
  if (non_finite == 0) {
    for (std::size_t k = 0; k < size; ++k) out[k] = 0.0 + t[k];
    for (std::size_t r = 0; r < block.count; ++r) out[block.index[r]] = out_block[r];
    return count_non_finite(std::span<const double>(out_block.data(), block.count));
  }
  for (std::size_t k = 0; k < size; ++k) {
    const std::size_t others = non_finite - (std::isfinite(t[k]) ? 0 : 1);
    out[k] = others > 0 ? not_a_number : 0.0 + t[k];
  }
  for (std::size_t r = 0; r < block.count; ++r) out[block.index[r]] = out_block[r];
  return count_non_finite(std::span<const double>(out, size));
}

// Every row outside the block. A regular row changes only in its block columns; with finite block entries
// a zero t[c] there adds only +-0 and needs no test.
template <std::size_t Count, bool FiniteBlock>
void update_outside_rows(const SymplecticBlock& block, std::vector<double>& covariance,
                         std::vector<std::size_t>& row_irregular) {
  const std::size_t size = row_irregular.size();
  std::array<double, Count * Count> s{};
  std::array<std::size_t, Count> index{};
  for (std::size_t r = 0; r < Count; ++r) {
    index[r] = block.index[r];
    for (std::size_t c = 0; c < Count; ++c) s[r * Count + c] = block.entry(r, c);
  }
  // The block columns of successive rows lie a row apart, beyond the reach of the hardware prefetcher.
  constexpr std::size_t prefetch_rows = 8;
  std::size_t next_block_row = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (i + prefetch_rows < size) {
      const double* ahead = covariance.data() + (i + prefetch_rows) * size;
      __builtin_prefetch(ahead + index[0], 1);
      __builtin_prefetch(ahead + index[Count - 1], 1);
    }
    if (next_block_row < Count && i == index[next_block_row]) {
      ++next_block_row;
      continue;
    }
    double* row = covariance.data() + i * size;
    if (row_irregular[i] != 0) {
      // Outside the block this row of S V is 0 + V, which finish_row treats alike.
      row_irregular[i] = finish_row(block, row, row, size);
      continue;
    }
    BlockValues t{};
    for (std::size_t c = 0; c < Count; ++c) t[c] = row[index[c]];
    std::size_t non_finite = 0;
    for (std::size_t r = 0; r < Count; ++r) {
      double sum = 0.0;
      for (std::size_t c = 0; c < Count; ++c) {
        if (FiniteBlock || t[c] != 0.0) sum += t[c] * s[r * Count + c];
      }
      row[index[r]] = sum;
      non_finite += std::isfinite(sum) ? 0 : 1;
    }
    row_irregular[i] = non_finite;
  }
}

}  // namespace

void GaussianState::apply_block(const SymplecticBlock& block) {
  // The covariance allocates its scratch first, so a failed allocation leaves the state whole.
  apply_block_to_covariance(block);
  apply_block_to_displacement(block);
}

void GaussianState::apply_block_to_covariance(const SymplecticBlock& block) {
  const std::size_t size = displacement_.size();
  const std::size_t count = block.count;

  // Rows index[r] of S V; every other row of S V is 0 + V.
  block_rows_.assign(count * size, 0.0);
  for (std::size_t r = 0; r < count; ++r) {
    double* t = block_rows_.data() + r * size;
    for (std::size_t c = 0; c < count; ++c) {
      const double s_rc = block.entry(r, c);
      if (s_rc == 0.0) continue;
      const double* v = covariance_.data() + block.index[c] * size;
      for (std::size_t k = 0; k < size; ++k) t[k] += s_rc * v[k];
    }
  }

  if (count == 2) {
    block.all_finite() ? update_outside_rows<2, true>(block, covariance_, covariance_row_irregular_)
                       : update_outside_rows<2, false>(block, covariance_, covariance_row_irregular_);
  } else {
    TELM_EXPECT(count == 4, );
    block.all_finite() ? update_outside_rows<4, true>(block, covariance_, covariance_row_irregular_)
                       : update_outside_rows<4, false>(block, covariance_, covariance_row_irregular_);
  }

  for (std::size_t r = 0; r < count; ++r) {
    const std::size_t i = block.index[r];
    double* row = covariance_.data() + i * size;
    covariance_row_irregular_[i] = finish_row(block, block_rows_.data() + r * size, row, size);
  }
}

void GaussianState::apply_block_to_displacement(const SymplecticBlock& block) {
  // d' = S d adds every term, zeros included: 0 * (non-finite d[k]) poisons every other entry.
  const std::size_t count = block.count;
  std::size_t non_finite = 0;
  std::size_t non_finite_in_block = 0;
  if (displacement_irregular_ != 0) {
    non_finite = count_non_finite(displacement_);
    for (std::size_t c = 0; c < count; ++c) non_finite_in_block += std::isfinite(displacement_[block.index[c]]) ? 0 : 1;
  }
  BlockValues out_block{};
  for (std::size_t r = 0; r < count; ++r) {
    double sum = 0.0;
    for (std::size_t c = 0; c < count; ++c) sum += block.entry(r, c) * displacement_[block.index[c]];
    out_block[r] = non_finite > non_finite_in_block ? not_a_number : sum;
  }
  if (displacement_irregular_ != 0) {
    for (double& d : displacement_) {
      const std::size_t others = non_finite - (std::isfinite(d) ? 0 : 1);
      d = others > 0 ? not_a_number : 0.0 + d;
    }
  }
  for (std::size_t r = 0; r < count; ++r) displacement_[block.index[r]] = out_block[r];
  if (displacement_irregular_ != 0) {
    displacement_irregular_ = count_non_finite(displacement_);
  } else {
    displacement_irregular_ = count_non_finite(std::span<const double>(out_block.data(), count));
  }
}

}  // namespace telm
