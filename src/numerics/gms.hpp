#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/complex.hpp"
#include "numerics/complex_buffer.hpp"

namespace telm {

// The largest block (product of target dimensions) the kernel accepts.
inline constexpr std::uint64_t MAX_SUBSPACE_DIM = 256;

// Row-major strides of a mixed-radix index: the last subsystem has stride 1 and subsystem 0 is
// the most significant digit.
[[nodiscard]] std::vector<std::uint64_t> subsystem_strides(std::span<const std::uint64_t> dims);

// The offsets of all basis states of `subsystems` (whose dimensions are `subsystem_dims`), the
// last subsystem turning fastest: ascending when the subsystems are ascending, the k-th offset
// belonging to the mixed-radix block index k.
[[nodiscard]] std::vector<std::uint64_t> enumerate_offsets(std::span<const std::uint64_t> subsystem_dims,
                                                           std::span<const std::uint64_t> subsystems,
                                                           std::span<const std::uint64_t> strides);

// Where the blocks of one gate application lie. The base offsets (one per assignment of the
// non-target subsystems, ascending) are walked rather than stored, so a plan costs
// O(subsystems + block_dim) memory whatever the state size.
struct GatherScatterPlan {
  std::vector<std::uint64_t> block_offsets;  // block_dim offsets from a block's base
  std::vector<std::uint64_t> rest_dims;      // non-target subsystems, ascending
  std::vector<std::uint64_t> rest_strides;
  std::uint64_t total_dim = 1;
  std::uint64_t block_dim = 1;

  // Calls visit(base) for every block base offset in ascending order.
  template <class Visit>
  void for_each_base(Visit&& visit) const;
  [[nodiscard]] std::vector<std::uint64_t> base_offsets() const;
};

// The plan for sorted, unique, in-range targets (see apply_gate).
[[nodiscard]] GatherScatterPlan make_plan(std::span<const std::uint64_t> dims, std::span<const std::uint64_t> targets);

// Applies the row-major block_dim x block_dim `matrix` to `targets` (strictly ascending) of the
// state in `buffer`, whose length is the product of `dims`. Row r of a block is
// sum over c of M(r, c) * x[c], accumulated from 0.0 in ascending c. Targets that are all of
// dimension 2 take dedicated one- and two-target loops with the same arithmetic.
// A violated precondition (empty, unsorted or out-of-range targets, block dimension above
// MAX_SUBSPACE_DIM, wrong buffer or matrix size) is recorded as an invariant violation and
// leaves the buffer untouched.
void apply_gate(ComplexBuffer& buffer, std::span<const std::uint64_t> dims, std::span<const std::uint64_t> targets,
                std::span<const Complex> matrix);

// The gather-multiply-scatter loop for any dimensions, without the dedicated qubit loops: the
// reference the fast paths are measured and tested against.
void apply_gate_generic(ComplexBuffer& buffer, std::span<const std::uint64_t> dims,
                        std::span<const std::uint64_t> targets, std::span<const Complex> matrix);

template <class Visit>
void GatherScatterPlan::for_each_base(Visit&& visit) const {
  const std::size_t k = rest_dims.size();
  if (total_dim == 0) return;
  if (k == 0) {
    visit(std::uint64_t{0});
    return;
  }
  // Odometer over the non-target subsystems, the last turning fastest, so bases ascend.
  std::uint64_t counters[64] = {};
  std::uint64_t base = 0;
  while (true) {
    visit(base);
    std::size_t position = k;
    while (true) {
      if (position == 0) return;
      --position;
      if (++counters[position] < rest_dims[position]) {
        base += rest_strides[position];
        break;
      }
      base -= (rest_dims[position] - 1) * rest_strides[position];
      counters[position] = 0;
    }
  }
}

}  // namespace telm
