#include "core/tensor.hpp"

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace telm {
namespace {

using C = std::complex<double>;
using Gate = std::vector<C>;

constexpr double kH = 0.7071067811865476;
const Gate kHadamard = {kH, kH, kH, -kH};
const Gate kCnot = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0};
const Gate kIdentity4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Gate ry(double theta) {
  const double c = std::cos(theta * 0.5), s = std::sin(theta * 0.5);
  return {c, -s, s, c};
}

Mps make_chain(std::vector<std::uint64_t> dims, MpsConfig config = {}) {
  auto mps = Mps::zero_state(std::move(dims), config);
  EXPECT_TRUE(mps.has_value());
  return std::move(mps).value();
}

Mps qubit_chain(std::uint64_t n, MpsConfig config = {}) { return make_chain(std::vector<std::uint64_t>(n, 2), config); }

// Every slot's region mirrors its tensor, regions stay inside the arena and do not overlap.
void expect_arena_consistent(const Mps& mps) {
  std::vector<bool> used(mps.arena().size(), false);
  for (std::uint64_t i = 0; i < mps.n_sites(); ++i) {
    const ArenaSlot& slot = mps.slots()[i];
    const SiteTensor& t = mps.tensor(i);
    ASSERT_EQ(slot.len, t.data.size()) << "site " << i;
    ASSERT_LE(slot.len, slot.capacity);
    ASSERT_LE(slot.offset + slot.capacity, mps.arena().size());
    for (std::uint64_t k = 0; k < slot.capacity; ++k) {
      ASSERT_FALSE(used[slot.offset + k]) << "overlap at site " << i;
      used[slot.offset + k] = true;
    }
    // Bitwise, so that not-a-number images compare equal too.
    ASSERT_EQ(std::memcmp(mps.arena().data() + slot.offset, t.data.data(), slot.len * sizeof(C)), 0) << "site " << i;
  }
}

// The full state vector, site 0 most significant.
std::vector<C> contract(const Mps& mps) {
  RowMatrix psi = RowMatrix::Ones(1, 1);
  for (const SiteTensor& t : mps.tensors()) {
    RowMatrix next(psi.rows() * static_cast<Eigen::Index>(t.phys_dim), static_cast<Eigen::Index>(t.right_dim));
    for (Eigen::Index row = 0; row < psi.rows(); ++row) {
      for (std::uint64_t s = 0; s < t.phys_dim; ++s) {
        next.row(row * static_cast<Eigen::Index>(t.phys_dim) + static_cast<Eigen::Index>(s)) =
            psi.row(row) * t.physical_slice(s);
      }
    }
    psi = std::move(next);
  }
  return {psi.data(), psi.data() + psi.size()};
}

void expect_canonical(const Mps& mps) {
  for (std::uint64_t i = 0; i < mps.n_sites(); ++i) {
    const SiteTensor& t = mps.tensor(i);
    if (i < mps.center()) {
      const RowMatrix l = t.to_left_matrix();
      EXPECT_LT((l.adjoint() * l - RowMatrix::Identity(l.cols(), l.cols())).norm(), 1e-12) << "site " << i;
    } else if (i > mps.center()) {
      const RowMatrix r = t.to_right_matrix();
      EXPECT_LT((r * r.adjoint() - RowMatrix::Identity(r.rows(), r.rows())).norm(), 1e-12) << "site " << i;
    }
  }
}

// ------------------------------------------------------------------------------------------
// Creation and arena

TEST(MpsArena, ZeroStateLayout) {
  const Mps mps = qubit_chain(3);
  ASSERT_EQ(mps.n_sites(), 3u);
  for (const SiteTensor& t : mps.tensors()) {
    EXPECT_EQ(t.left_dim, 1u);
    EXPECT_EQ(t.phys_dim, 2u);
    EXPECT_EQ(t.right_dim, 1u);
    EXPECT_EQ(t.data, (std::vector<C>{1, 0}));
  }
  EXPECT_EQ(mps.arena(), (std::vector<C>{1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(mps.slots(), (std::vector<ArenaSlot>{{0, 2, 2}, {2, 2, 2}, {4, 2, 2}}));
  EXPECT_EQ(mps.center(), 0u);
  EXPECT_EQ(mps.abandoned(), 0u);
  EXPECT_EQ(mps.compaction_threshold(), 0.3);
  EXPECT_EQ(mps.norm_sq(), 1.0);
  EXPECT_EQ(mps.max_bond_dim(), 1u);
}

TEST(MpsArena, EmptyAndImpossibleChainsAreRefused) {
  const auto empty = Mps::zero_state({}, {});
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.error(), TelmError(errors::NotImplemented{"zero-site MPS"}));
  EXPECT_EQ(empty.error().message(), "not yet implemented: zero-site MPS");

  // A physical dimension sum that cannot be addressed is refused before anything is allocated.
  const std::uint64_t huge = std::numeric_limits<std::uint64_t>::max() / 2;
  const auto too_big = Mps::zero_state({huge, huge, huge}, {});
  ASSERT_FALSE(too_big);
  EXPECT_EQ(too_big.error().kind(), ErrorKind::NotImplemented);
}

TEST(MpsArena, GrowthMovesBothSitesThenCompacts) {
  Mps mps = qubit_chain(2);
  ASSERT_TRUE(mps.apply_single_site_gate(0, kHadamard));
  EXPECT_EQ(mps.arena().size(), 4u);  // overwritten in place
  ASSERT_TRUE(mps.apply_two_site_gate(0, kCnot));
  // 4 + 4 + 4 elements with 4 abandoned: 1/3 > 0.3, so the arena was packed.
  EXPECT_EQ(mps.arena().size(), 8u);
  EXPECT_EQ(mps.slots(), (std::vector<ArenaSlot>{{0, 4, 4}, {4, 4, 4}}));
  EXPECT_EQ(mps.abandoned(), 0u);
  EXPECT_EQ(mps.center(), 1u);
  EXPECT_EQ(mps.max_bond_dim(), 2u);
  EXPECT_NEAR(mps.norm_sq(), 1.0, 1e-15);
  expect_arena_consistent(mps);
}

TEST(MpsArena, WasteOfExactlyThreeTenthsDoesNotCompact) {
  // Sites of dimension 2, 4, 2: entangling sites 0 and 1 to rank 2 grows them to 4 and 8
  // elements, so the arena holds 8 + 4 + 8 = 20 elements of which 2 + 4 are abandoned.
  Mps mps = make_chain({2, 4, 2});
  ASSERT_TRUE(mps.apply_single_site_gate(0, kHadamard));
  Gate shift(64, 0.0);  // |s1, s2> -> |s1, s2 xor s1>
  for (int s1 = 0; s1 < 2; ++s1)
    for (int s2 = 0; s2 < 4; ++s2) shift[static_cast<std::size_t>((s1 * 4 + (s2 ^ s1)) * 8 + s1 * 4 + s2)] = 1.0;
  ASSERT_TRUE(mps.apply_two_site_gate(0, shift));
  EXPECT_EQ(mps.tensor(0).data.size(), 4u);
  EXPECT_EQ(mps.tensor(1).data.size(), 8u);
  EXPECT_EQ(mps.arena().size(), 20u);
  EXPECT_EQ(mps.abandoned(), 6u);
  EXPECT_EQ(mps.waste_ratio(), 0.3);
  EXPECT_EQ(mps.slots(), (std::vector<ArenaSlot>{{8, 4, 4}, {12, 8, 8}, {6, 2, 2}}));
  expect_arena_consistent(mps);
}

TEST(MpsArena, ShrinkingKeepsRegionAsSlack) {
  Mps mps = make_chain({2, 2, 16});
  ASSERT_TRUE(mps.apply_single_site_gate(0, kHadamard));
  ASSERT_TRUE(mps.apply_two_site_gate(0, kCnot));
  ASSERT_TRUE(mps.apply_two_site_gate(0, kCnot));  // back to a product state: bond 1
  EXPECT_EQ(mps.max_bond_dim(), 1u);
  // 28 elements, 4 abandoned and 2 + 2 slack: 8/28 stays below the threshold.
  EXPECT_EQ(mps.arena().size(), 28u);
  EXPECT_EQ(mps.slots()[0], (ArenaSlot{20, 2, 4}));
  EXPECT_EQ(mps.slots()[1], (ArenaSlot{24, 2, 4}));
  EXPECT_EQ(mps.slots()[2], (ArenaSlot{4, 16, 16}));
  expect_arena_consistent(mps);
}

// ------------------------------------------------------------------------------------------
// Gates, errors and the centre

TEST(MpsGates, OutOfRangeAndWrongSizeAreRefused) {
  Mps mps = qubit_chain(3);
  const auto single = mps.apply_single_site_gate(3, kHadamard);
  ASSERT_FALSE(single);
  EXPECT_EQ(single.error().message(), "subsystem index 3 out of range (system has 3 subsystems)");
  const auto pair = mps.apply_two_site_gate(2, kCnot);
  ASSERT_FALSE(pair);
  EXPECT_EQ(pair.error().message(), "subsystem index 3 out of range (system has 3 subsystems)");
  const auto wrapped = mps.apply_two_site_gate(std::numeric_limits<std::uint64_t>::max(), kCnot);
  ASSERT_FALSE(wrapped);
  EXPECT_EQ(wrapped.error().kind(), ErrorKind::SubsystemOutOfRange);

  const auto fifteen = mps.apply_two_site_gate(0, std::vector<C>(15, 1.0));
  ASSERT_FALSE(fifteen);
  EXPECT_EQ(fifteen.error(), TelmError(errors::DimensionMismatch{3, 4}));
  const auto wrong_square = mps.apply_single_site_gate(0, kCnot);
  ASSERT_FALSE(wrong_square);
  EXPECT_EQ(wrong_square.error(), TelmError(errors::DimensionMismatch{4, 2}));
  EXPECT_EQ(contract(mps), (std::vector<C>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(MpsGates, WrongSizeAfterCentreMoveKeepsMovedCentre) {
  Mps mps = qubit_chain(4);
  ASSERT_TRUE(mps.apply_two_site_gate(2, kIdentity4));
  ASSERT_EQ(mps.center(), 3u);
  ASSERT_FALSE(mps.apply_two_site_gate(0, std::vector<C>(9, 1.0)));
  EXPECT_EQ(mps.center(), 0u);
}

TEST(MpsGates, CentreMovesKeepTheState) {
  // An entangled 6-qubit chain with the centre at 5; then an identity gate on (0, 1) moves the
  // centre left over four bonds and one on (4, 5) moves it back right.
  Mps mps = qubit_chain(6);
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
  for (int layer = 0; layer < 4; ++layer) {
    for (std::uint64_t q = 0; q < 6; ++q) ASSERT_TRUE(mps.apply_single_site_gate(q, ry(angle(gen))));
    for (std::uint64_t q = static_cast<std::uint64_t>(layer % 2); q + 1 < 6; q += 2) {
      ASSERT_TRUE(mps.apply_two_site_gate(q, kCnot));
    }
  }
  ASSERT_TRUE(mps.apply_two_site_gate(4, kIdentity4));
  ASSERT_EQ(mps.center(), 5u);
  const std::vector<C> before = contract(mps);

  for (const std::uint64_t site : {0u, 4u}) {
    ASSERT_TRUE(mps.apply_two_site_gate(site, kIdentity4));
    EXPECT_EQ(mps.center(), site + 1);
    expect_canonical(mps);
    expect_arena_consistent(mps);
    const std::vector<C> after = contract(mps);
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_LT(std::abs(after[i] - before[i]), 1e-12) << i;
  }
}

// A gate whose first column is (a, 0, 0, b): on |00> it gives the two-site matrix diag(a, b),
// whose singular values are exactly |a| and |b|.
Gate diagonal_maker(double a, double b) { return {a, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, b, 0, 0, 1}; }

TEST(MpsTruncation, Rule) {
  struct Case {
    const char* name;
    std::uint64_t chi_max;
    double eps;
    Gate gate;
    bool hadamard_first;
    std::uint64_t bond;
    double norm_sq;
  };
  const std::vector<Case> cases = {
      {"both halves kept", 64, 1e-10, kCnot, true, 2, 1.0},
      {"zero singular value dropped", 64, 1e-10, kCnot, false, 1, 1.0},
      {"chi_max 1 keeps one, no renormalisation", 1, 1e-10, kCnot, true, 1, 0.5},
      {"chi_max 0 behaves like 1", 0, 1e-10, kCnot, true, 1, 0.5},
      {"all below threshold still keeps one", 64, 10.0, kCnot, true, 1, 0.5},
      {"value equal to threshold dropped", 64, 0.25, diagonal_maker(0.75, 0.25), false, 1, 0.5625},
      {"value just above threshold kept", 64, 0.2499, diagonal_maker(0.75, 0.25), false, 2, 0.625},
      {"negative threshold keeps zeros", 64, -1.0, kCnot, false, 2, 1.0},
      {"negative threshold still capped", 1, -1.0, kCnot, false, 1, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mps mps = qubit_chain(2, MpsConfig{c.chi_max, c.eps, 64, 10});
    if (c.hadamard_first) {
      ASSERT_TRUE(mps.apply_single_site_gate(0, kHadamard));
    }
    ASSERT_TRUE(mps.apply_two_site_gate(0, c.gate));
    EXPECT_EQ(mps.tensor(0).right_dim, c.bond);
    EXPECT_EQ(mps.center(), 1u);
    EXPECT_NEAR(mps.norm_sq(), c.norm_sq, 1e-15);
    expect_arena_consistent(mps);
  }
}

TEST(MpsTruncation, NonFiniteGateLeavesAPoisonedButValidChain) {
  Mps mps = qubit_chain(3);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ASSERT_TRUE(mps.apply_two_site_gate(0, Gate{nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(mps.max_bond_dim(), 1u);
  EXPECT_TRUE(std::isnan(mps.norm_sq()));
  ASSERT_TRUE(mps.apply_two_site_gate(1, kCnot));
  expect_arena_consistent(mps);
}

// ------------------------------------------------------------------------------------------
// Against a dense state vector

struct Op {
  enum Kind { H, RY, CNOT } kind;
  std::uint64_t q;
  double theta;
};

void apply_dense(std::vector<C>& psi, std::uint64_t n, const Op& op) {
  const std::uint64_t bit = std::uint64_t{1} << (n - 1 - op.q);
  if (op.kind == Op::CNOT) {
    const std::uint64_t target = bit >> 1;
    for (std::uint64_t i = 0; i < psi.size(); ++i) {
      if ((i & bit) && !(i & target)) std::swap(psi[i], psi[i | target]);
    }
    return;
  }
  const Gate g = op.kind == Op::H ? kHadamard : ry(op.theta);
  for (std::uint64_t i = 0; i < psi.size(); ++i) {
    if (i & bit) continue;
    const C a = psi[i], b = psi[i | bit];
    psi[i] = g[0] * a + g[1] * b;
    psi[i | bit] = g[2] * a + g[3] * b;
  }
}

TEST(MpsDifferential, RandomCircuitsMatchDenseStateVector) {
  std::mt19937_64 gen(2024);
  for (std::uint64_t n = 2; n <= 10; ++n) {
    for (int trial = 0; trial < 3; ++trial) {
      SCOPED_TRACE(testing::Message() << n << " qubits, trial " << trial);
      Mps mps = qubit_chain(n, MpsConfig{1024, 1e-10, 64, 10});
      std::vector<C> dense(std::size_t{1} << n, 0.0);
      dense[0] = 1.0;
      std::uniform_int_distribution<int> kind(0, 2);
      std::uniform_int_distribution<std::uint64_t> qubit(0, n - 1), control(0, n - 2);
      std::uniform_real_distribution<double> angle(-3.2, 3.2);
      for (int step = 0; step < static_cast<int>(12 * n); ++step) {
        Op op{static_cast<Op::Kind>(kind(gen)), 0, 0.0};
        op.q = op.kind == Op::CNOT ? control(gen) : qubit(gen);
        op.theta = angle(gen);
        const Gate g = op.kind == Op::H ? kHadamard : op.kind == Op::RY ? ry(op.theta) : kCnot;
        ASSERT_TRUE(op.kind == Op::CNOT ? mps.apply_two_site_gate(op.q, g) : mps.apply_single_site_gate(op.q, g));
        apply_dense(dense, n, op);
      }
      EXPECT_NEAR(mps.norm_sq(), 1.0, 1e-9);
      const std::vector<C> psi = contract(mps);
      for (std::size_t i = 0; i < psi.size(); ++i) ASSERT_LT(std::abs(psi[i] - dense[i]), 1e-9) << "amplitude " << i;
      for (std::uint64_t i = 1; i < n; ++i)
        EXPECT_LE(mps.tensor(i).left_dim, std::uint64_t{1} << std::min(i, n - i)) << "bond " << i;
      expect_arena_consistent(mps);
    }
  }
}

// Brickwork on 12 qubits reaches 64-row two-site matrices, which take the randomized path.
Mps brickwork(std::uint64_t n, int depth, std::uint64_t chi_max) {
  Mps mps = qubit_chain(n, MpsConfig{chi_max, 1e-10, 64, 10});
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
  for (int layer = 0; layer < depth; ++layer) {
    for (std::uint64_t q = 0; q < n; ++q) EXPECT_TRUE(mps.apply_single_site_gate(q, ry(angle(gen))));
    for (std::uint64_t q = static_cast<std::uint64_t>(layer % 2); q + 1 < n; q += 2) {
      EXPECT_TRUE(mps.apply_two_site_gate(q, kCnot));
    }
  }
  return mps;
}

TEST(MpsRandomized, SameGatesGiveIdenticalChains) {
  const Mps a = brickwork(12, 14, 40);
  const Mps b = brickwork(12, 14, 40);
  ASSERT_GE(a.max_bond_dim(), 32u);
  EXPECT_LE(a.max_bond_dim(), 40u);
  for (std::uint64_t i = 0; i < a.n_sites(); ++i) EXPECT_EQ(a.tensor(i).data, b.tensor(i).data) << "site " << i;
  EXPECT_EQ(a.norm_sq(), b.norm_sq());
  EXPECT_LE(a.norm_sq(), 1.0 + 1e-12);
  expect_arena_consistent(a);
}

}  // namespace
}  // namespace telm
