#include "numerics/gms.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "core/invariant.hpp"

namespace telm {
namespace {

using Offsets = std::vector<std::uint64_t>;

// Amplitude i is (i + 1) + i * (i + 1) * 0.5 i: all distinct, so any misrouting shows.
ComplexBuffer labelled(std::uint64_t len) {
  auto buffer = ComplexBuffer::zeros(len);
  for (std::uint64_t i = 0; i < len; ++i) buffer.set(i, Complex{double(i + 1), 0.5 * double(i * (i + 1))});
  return buffer;
}

std::vector<Complex> matrix_x() { return {{0, 0}, {1, 0}, {1, 0}, {0, 0}}; }

TEST(EnumerateOffsets, OdometerWithLastSubsystemFastest) {
  const Offsets dims = {2, 3, 2};
  const Offsets strides = subsystem_strides(dims);
  EXPECT_EQ(strides, (Offsets{6, 2, 1}));
  EXPECT_EQ(enumerate_offsets(Offsets{3}, Offsets{1}, strides), (Offsets{0, 2, 4}));
  EXPECT_EQ(enumerate_offsets(Offsets{2, 2}, Offsets{0, 2}, strides), (Offsets{0, 1, 6, 7}));
  EXPECT_EQ(enumerate_offsets(Offsets{}, Offsets{}, strides), (Offsets{0}));
  EXPECT_EQ(enumerate_offsets(Offsets{0}, Offsets{0}, strides), (Offsets{}));
}

TEST(GatherScatterPlan, BlockAndBaseOffsets) {
  const Offsets mixed = {2, 3, 2};
  const Offsets target1 = {1};
  const auto plan = make_plan(mixed, target1);
  EXPECT_EQ(plan.block_dim, 3u);
  EXPECT_EQ(plan.total_dim, 12u);
  EXPECT_EQ(plan.block_offsets, (Offsets{0, 2, 4}));
  EXPECT_EQ(plan.base_offsets(), (Offsets{0, 1, 6, 7}));

  const Offsets qubits = {2, 2, 2};
  const Offsets targets02 = {0, 2};
  const auto plan02 = make_plan(qubits, targets02);
  EXPECT_EQ(plan02.block_offsets, (Offsets{0, 1, 4, 5}));
  EXPECT_EQ(plan02.base_offsets(), (Offsets{0, 2}));

  const Offsets all = {0, 1, 2};
  EXPECT_EQ(make_plan(qubits, all).base_offsets(), (Offsets{0}));
}

// Applying X to one target swaps exactly the amplitude pairs of that target.
TEST(ApplyGate, OneQubitPairingsOnLowAndHighQubits) {
  struct Case {
    std::uint64_t target;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pairs;
  };
  const Case cases[] = {
      {0, {{0, 4}, {1, 5}, {2, 6}, {3, 7}}},
      {1, {{0, 2}, {1, 3}, {4, 6}, {5, 7}}},
      {2, {{0, 1}, {2, 3}, {4, 5}, {6, 7}}},
  };
  const Offsets dims = {2, 2, 2};
  // A dense matrix takes the dense loop, X the single-entry loop, and the generic kernel both.
  const std::vector<Complex> dense_swap = {{0, 0}, {1, 0}, {1, 0}, {1e-300, 0}};
  for (const Case& c : cases) {
    const Offsets targets = {c.target};
    for (int path = 0; path < 3; ++path) {
      auto buffer = labelled(8);
      const auto before = buffer.to_vec();
      if (path == 0) apply_gate(buffer, dims, targets, matrix_x());
      if (path == 1) apply_gate_generic(buffer, dims, targets, matrix_x());
      if (path == 2) apply_gate(buffer, dims, targets, dense_swap);
      for (auto [a, b] : c.pairs) {
        EXPECT_EQ(buffer.get(a), before[b]) << "target " << c.target << " path " << path;
        EXPECT_EQ(buffer.get(b).re, before[a].re) << "target " << c.target << " path " << path;
      }
    }
  }
  EXPECT_FALSE(take_invariant_violation());
}

TEST(ApplyGate, TwoQubitBlockOrderFollowsTargetSignificance) {
  // CNOT with control qubit 0 and target qubit 2 on three qubits: flips bit 0 of indices 4..7.
  const std::vector<Complex> cnot = {{1, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 0}, {0, 0}, {0, 0},
                                     {0, 0}, {0, 0}, {0, 0}, {1, 0}, {0, 0}, {0, 0}, {1, 0}, {0, 0}};
  const Offsets dims = {2, 2, 2};
  const Offsets targets = {0, 2};
  const std::uint64_t expected_source[8] = {0, 1, 2, 3, 5, 4, 7, 6};
  for (bool generic : {false, true}) {
    auto buffer = labelled(8);
    const auto before = buffer.to_vec();
    if (generic) apply_gate_generic(buffer, dims, targets, cnot);
    else apply_gate(buffer, dims, targets, cnot);
    for (std::uint64_t i = 0; i < 8; ++i) EXPECT_EQ(buffer.get(i), before[expected_source[i]]) << i;
  }
}

TEST(ApplyGate, QutritQubitSystem) {
  const Offsets dims = {3, 2};
  // Cyclic shift |k> -> |k+1 mod 3> on the qutrit mixes indices (0, 2, 4) and (1, 3, 5).
  std::vector<Complex> shift(9);
  shift[0 * 3 + 2] = {1, 0};
  shift[1 * 3 + 0] = {1, 0};
  shift[2 * 3 + 1] = {1, 0};
  auto buffer = labelled(6);
  const auto before = buffer.to_vec();
  const Offsets target0 = {0};
  apply_gate(buffer, dims, target0, shift);
  const std::uint64_t source[6] = {4, 5, 0, 1, 2, 3};
  for (std::uint64_t i = 0; i < 6; ++i) EXPECT_EQ(buffer.get(i), before[source[i]]) << i;

  // A qubit target of a mixed system takes the qubit loop with a non-power-of-two outer step.
  auto fast = labelled(6);
  auto reference = labelled(6);
  const Offsets target1 = {1};
  const std::vector<Complex> m = {{0.3, 0.1}, {-0.2, 0.7}, {0.9, -0.4}, {0.05, 0.6}};
  apply_gate(fast, dims, target1, m);
  apply_gate_generic(reference, dims, target1, m);
  EXPECT_EQ(fast.to_vec(), reference.to_vec());
  EXPECT_EQ(fast.get(0).re, (0.0 + (0.3 * 1.0 - 0.1 * 0.0)) + (-0.2 * 2.0 - 0.7 * 1.0));
}

TEST(ApplyGate, IdentityKeepsEveryBit) {
  const Offsets dims = {2, 3, 2};
  for (const Offsets& targets : {Offsets{1}, Offsets{0, 2}, Offsets{2}}) {
    std::uint64_t d = 1;
    for (auto t : targets) d *= dims[t];
    std::vector<Complex> identity(d * d);
    for (std::uint64_t i = 0; i < d; ++i) identity[i * d + i] = {1, 0};
    auto buffer = labelled(12);
    buffer.set(3, Complex{-0.0, 1e-310});
    const auto before = buffer.data();
    const std::vector<double> bits(before.begin(), before.end());
    apply_gate(buffer, dims, targets, identity);
    for (std::size_t i = 0; i < bits.size(); ++i) {
      // -0.0 becomes +0.0 (0.0 + -0.0), every other value is kept exactly.
      const double expected = bits[i] == 0.0 ? 0.0 : bits[i];
      EXPECT_EQ(std::bit_cast<std::uint64_t>(buffer.data()[i]), std::bit_cast<std::uint64_t>(expected)) << i;
    }
  }
}

TEST(ApplyGate, PreconditionViolationsAreRecordedAndTouchNothing) {
  struct Case {
    Offsets dims;
    Offsets targets;
    std::uint64_t matrix_entries;
    std::string message;
  };
  const Case cases[] = {
      {{2, 2, 2}, {}, 4, "targets must be non-empty"},
      {{2, 2, 2}, {2, 0}, 16, "targets must be sorted and unique"},
      {{2, 2, 2}, {1, 1}, 16, "targets must be sorted and unique"},
      {{2, 2, 2}, {3}, 4, "target index out of range"},
      {{2, 2, 2, 2, 2, 2, 2, 2, 2}, {0, 1, 2, 3, 4, 5, 6, 7, 8}, 512 * 512,
       "subspace dimension 512 exceeds MAX_SUBSPACE_DIM (256)"},
      {{2, 2, 2}, {0, 1}, 15, "matrix must hold block_dim squared entries"},
      {{2, 3}, {0}, 4, "buffer length must equal the product of dims"},
      {Offsets(65, 1), {0}, 1, "buffer length must equal the product of dims"},
  };
  for (const Case& c : cases) {
    std::uint64_t total = 1;
    for (auto d : c.dims) total *= d;
    if (c.message.starts_with("buffer")) total = c.dims.size() > 64 ? 1 : 8;
    for (bool generic : {false, true}) {
      auto buffer = labelled(total);
      const auto before = buffer.to_vec();
      const std::vector<Complex> matrix(c.matrix_entries, Complex{2.0, 0.0});
      if (generic) apply_gate_generic(buffer, c.dims, c.targets, matrix);
      else apply_gate(buffer, c.dims, c.targets, matrix);
      const auto what = take_invariant_violation();
      ASSERT_TRUE(what) << c.message;
      EXPECT_EQ(*what, c.message);
      EXPECT_EQ(buffer.to_vec(), before) << c.message;
    }
  }
}

}  // namespace
}  // namespace telm
