#include "discrete/statevector.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "core/invariant.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"

namespace telm {
namespace {

using Targets = std::vector<std::uint64_t>;
using Params = std::vector<double>;
using Amplitudes = std::vector<Complex>;

const double s = 0.7071067811865476;

SystemDescription qubits(std::uint64_t n) { return SystemDescription::from_qubits(n).value(); }

// Applies whatever matrix it was given, counting how often it was asked for it.
class MatrixOperator final : public Operator {
 public:
  MatrixOperator(ComplexMatrix m, std::uint64_t n_targets, ParamSpec binding = {})
      : m_(std::move(m)), n_targets_(n_targets), binding_(std::move(binding)) {}
  std::uint64_t n_targets() const override { return n_targets_; }
  Result<ComplexMatrix> matrix(const SystemDescription&, std::span<const std::uint64_t>,
                               std::span<const double>) const override {
    ++calls;
    return m_;
  }
  const ParamSpec& param_spec() const override { return binding_; }
  mutable int calls = 0;

 private:
  ComplexMatrix m_;
  std::uint64_t n_targets_;
  ParamSpec binding_;
};

ComplexMatrix random_matrix(std::mt19937_64& rng, std::uint64_t dim) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  ComplexMatrix m = ComplexMatrix::zeros(dim);
  for (auto& z : m.data) z = {u(rng), u(rng)};
  return m;
}

// A state with distinct amplitudes, prepared through gates only.
StateVector prepared(std::uint64_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  StateVector state(qubits(n));
  for (std::uint64_t q = 0; q < n; ++q) {
    MatrixOperator op(random_matrix(rng, 2), 1);
    EXPECT_TRUE(state.apply_operator(op, Targets{q}));
  }
  return state;
}

Amplitudes amplitudes(const StateVector& state) { return state.amplitudes().to_vec(); }

TEST(StateVector, StartsInTheZeroStateForAnySystem) {
  EXPECT_EQ(amplitudes(StateVector(qubits(2))), (Amplitudes{{1, 0}, {0, 0}, {0, 0}, {0, 0}}));
  const std::uint64_t qutrit[] = {3};
  StateVector state(SystemDescription::from_dims(qutrit).value());
  EXPECT_EQ(amplitudes(state), (Amplitudes{{1, 0}, {0, 0}, {0, 0}}));
  EXPECT_EQ(state.dims(), (Targets{3}));

  const TelmError qubits_only = errors::NotImplemented{"statevector backend currently supports qubit systems only"};
  EXPECT_EQ(state.apply_operator(Hadamard(), Targets{0}).error(), qubits_only);
  EXPECT_EQ(state.apply_operator(Cnot(), Targets{0}).error(), qubits_only);  // before the count check
  EXPECT_EQ(state.expectation_value(PauliZ(), Targets{0}).error(), qubits_only);
  EXPECT_EQ(state.sample(Targets{}, 3).error(), qubits_only);
  EXPECT_EQ(amplitudes(state), (Amplitudes{{1, 0}, {0, 0}, {0, 0}}));
}

TEST(StateVector, HadamardThenCnotMakesABellState) {
  StateVector state(qubits(2));
  ASSERT_TRUE(state.apply_operator(Hadamard(), Targets{0}));
  EXPECT_EQ(amplitudes(state), (Amplitudes{{s, 0}, {0, 0}, {s, 0}, {0, 0}}));
  ASSERT_TRUE(state.apply_operator(Cnot(), Targets{0, 1}));
  EXPECT_EQ(amplitudes(state), (Amplitudes{{s, 0}, {0, 0}, {0, 0}, {s, 0}}));
  EXPECT_NEAR(state.expectation_value(PauliZZ(), Targets{0, 1}).value(), 1.0, 1e-15);
}

TEST(StateVector, CnotControlIsTheFirstTarget) {
  StateVector state(qubits(2));
  ASSERT_TRUE(state.apply_operator(XGate(), Targets{1}));  // index 1
  ASSERT_TRUE(state.apply_operator(Cnot(), Targets{0, 1}));
  EXPECT_EQ(state.amplitudes().get(1), (Complex{1, 0}));
  ASSERT_TRUE(state.apply_operator(Cnot(), Targets{1, 0}));
  EXPECT_EQ(amplitudes(state), (Amplitudes{{0, 0}, {0, 0}, {0, 0}, {1, 0}}));
}

TEST(StateVector, UnsortedTargetsMatchTheReorderedMatrix) {
  std::mt19937_64 rng(11);
  const auto m = random_matrix(rng, 4);
  // The same operator in the basis with the targets swapped: indices 1 and 2 trade places.
  const std::uint64_t swap_bits[4] = {0, 2, 1, 3};
  ComplexMatrix swapped = ComplexMatrix::zeros(4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) swapped.set(r, c, m.get(swap_bits[r], swap_bits[c]));

  for (const Targets& pair : {Targets{2, 0}, Targets{3, 1}, Targets{1, 0}}) {
    StateVector reversed = prepared(4, 5);
    StateVector sorted = prepared(4, 5);
    ASSERT_TRUE(reversed.apply_operator(MatrixOperator(m, 2), pair));
    ASSERT_TRUE(sorted.apply_operator(MatrixOperator(swapped, 2), Targets{pair[1], pair[0]}));
    EXPECT_EQ(amplitudes(reversed), amplitudes(sorted));
  }
}

TEST(PermuteGateForSortedTargets, ReordersBasisAndRefusesBadInput) {
  // Three targets (2, 0, 1): sorted (0, 1, 2) sit at caller positions (1, 2, 0).
  std::vector<Complex> m(64);
  for (int i = 0; i < 64; ++i) m[i] = {double(i), 0};
  const Targets targets = {2, 0, 1};
  const Targets sorted = {0, 1, 2};
  const auto out = permute_gate_for_sorted_targets(m, targets, sorted).value();
  // Sorted index x = (b0 b1 b2); caller index has b0 at position 1, b1 at 2, b2 at 0.
  auto to_caller = [](std::uint64_t x) {
    const std::uint64_t b0 = (x >> 2) & 1, b1 = (x >> 1) & 1, b2 = x & 1;
    return (b2 << 2) | (b0 << 1) | b1;
  };
  for (std::uint64_t i = 0; i < 8; ++i)
    for (std::uint64_t j = 0; j < 8; ++j) EXPECT_EQ(out[i * 8 + j].re, double(to_caller(i) * 8 + to_caller(j)));

  EXPECT_EQ(permute_gate_for_sorted_targets(std::vector<Complex>(3), {}, {}).value().size(), 3u);
  const TelmError non_qubit = errors::NotImplemented{"non-qubit subspace gate permutation not supported"};
  EXPECT_EQ(permute_gate_for_sorted_targets(std::vector<Complex>(9), Targets{1, 0}, Targets{0, 1}).error(), non_qubit);
  EXPECT_EQ(permute_gate_for_sorted_targets(std::vector<Complex>(16), Targets{1, 0}, Targets{0, 2}).error(),
            TelmError(errors::NotImplemented{"target permutation failed"}));
}

TEST(StateVector, GateApplicationChecksInOrderAndLeavesStateOnFailure) {
  const std::uint64_t mixed[] = {2, 3};
  StateVector qudit_state(SystemDescription::from_dims(mixed).value());
  struct Case {
    const char* what;
    std::unique_ptr<Operator> op;
    Targets targets;
    Params params;
    TelmError error;
    bool matrix_called;
  };
  const ParamSpec one_param(std::vector<std::uint64_t>{0});
  std::vector<Case> cases;
  cases.push_back({"count before range", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(2), 1), {0, 9}, {},
                   errors::TargetCountMismatch{1, 2}, false});
  cases.push_back({"range", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(2), 1), {5}, {},
                   errors::SubsystemOutOfRange{5, 3}, false});
  cases.push_back({"range before duplicates", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(4), 2), {7, 7},
                   {}, errors::SubsystemOutOfRange{7, 3}, false});
  cases.push_back({"duplicates", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(4), 2), {0, 0}, {},
                   errors::NotImplemented{"duplicate targets are not supported for statevector gate application"},
                   false});
  cases.push_back({"duplicates before parameters",
                   std::make_unique<MatrixOperator>(ComplexMatrix::zeros(4), 2, one_param), {1, 1}, {},
                   errors::NotImplemented{"duplicate targets are not supported for statevector gate application"},
                   false});
  cases.push_back({"parameters before matrix", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(2), 1, one_param),
                   {0}, {}, errors::ParameterCountMismatch{1, 0}, false});
  cases.push_back({"too many parameters", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(2), 1), {0}, {0.5},
                   errors::ParameterCountMismatch{0, 1}, false});
  cases.push_back({"matrix size", std::make_unique<MatrixOperator>(ComplexMatrix::zeros(2), 2), {0, 2}, {},
                   errors::DimensionMismatch{2, 4}, true});
  cases.push_back({"matrix error passed on", std::make_unique<RxGate>(0), {0}, {},
                   errors::ParameterCountMismatch{1, 0}, false});
  for (Case& c : cases) {
    StateVector state = prepared(3, 1);
    const auto before = amplitudes(state);
    const auto result = state.apply_operator_with_params(*c.op, c.targets, c.params);
    ASSERT_FALSE(result) << c.what;
    EXPECT_EQ(result.error(), c.error) << c.what << ": " << result.error().message();
    EXPECT_EQ(amplitudes(state), before) << c.what;
    if (auto* spy = dynamic_cast<MatrixOperator*>(c.op.get())) {
      EXPECT_EQ(spy->calls > 0, c.matrix_called) << c.what;
    }
    EXPECT_EQ(qudit_state.apply_operator_with_params(*c.op, c.targets, c.params).error(),
              TelmError(errors::NotImplemented{"statevector backend currently supports qubit systems only"}));
  }
  // A one-parameter rotation through apply_operator never reaches its own matrix().
  StateVector state(qubits(2));
  MatrixOperator rotation(ComplexMatrix::zeros(2), 1, one_param);
  EXPECT_EQ(state.apply_operator(rotation, Targets{0}).error(), TelmError(errors::ParameterCountMismatch{1, 0}));
  EXPECT_EQ(rotation.calls, 0);
  EXPECT_TRUE(state.apply_operator_with_params(RxGate(0), Targets{1}, Params{0.25}));
  EXPECT_FALSE(take_invariant_violation());
}

TEST(StateVector, ExpectationValuesCheckInOrderWithoutDuplicateCheck) {
  StateVector state = prepared(3, 2);
  EXPECT_EQ(state.expectation_value(PauliZ(), Targets{0, 1}).error(), TelmError(errors::TargetCountMismatch{1, 2}));
  EXPECT_EQ(state.expectation_value(PauliZ(), Targets{3}).error(), TelmError(errors::SubsystemOutOfRange{3, 3}));
  EXPECT_EQ(state.expectation_value_with_params(PauliZ(), Targets{3}, Params{1.0}).error(),
            TelmError(errors::SubsystemOutOfRange{3, 3}));
  EXPECT_EQ(state.expectation_value_with_params(PauliZ(), Targets{1}, Params{1.0}).error(),
            TelmError(errors::ParameterCountMismatch{0, 1}));
  double norm = 0.0;
  for (const Complex& z : amplitudes(state)) norm = norm + (z.re * z.re + z.im * z.im);
  EXPECT_EQ(state.expectation_value(PauliZZ(), Targets{2, 2}).value(), norm);
}

// The sampling procedure written out over the full table of 2^k entries, repeated targets and all.
std::vector<std::vector<std::uint64_t>> sample_reference(const Amplitudes& a, std::uint64_t n, const Targets& targets,
                                                         std::uint64_t shots) {
  const std::uint64_t k = targets.size();
  std::vector<double> table(std::uint64_t{1} << k, 0.0);
  for (std::uint64_t j = 0; j < a.size(); ++j) {
    std::uint64_t m = 0;
    for (auto t : targets) m = (m << 1) | ((j >> (n - 1 - t)) & 1);
    table[m] += a[j].re * a[j].re + a[j].im * a[j].im;
  }
  for (std::size_t m = 1; m < table.size(); ++m) table[m] += table[m - 1];
  table.back() = 1.0;
  std::uint64_t state = k + shots * 0x9E3779B97F4A7C15ull;
  std::vector<std::vector<std::uint64_t>> outcomes;
  for (std::uint64_t shot = 0; shot < shots; ++shot) {
    state = state * 6364136223846793005ull + 1;
    const double u = double(state >> 11) * 0x1.0p-53;
    std::uint64_t index = table.size() - 1;
    for (std::uint64_t m = 0; m < table.size(); ++m) {
      if (table[m] >= u) {
        index = m;
        break;
      }
    }
    std::vector<std::uint64_t> values;
    for (std::uint64_t i = 0; i < k; ++i) values.push_back((index >> (k - 1 - i)) & 1);
    outcomes.push_back(values);
  }
  return outcomes;
}

TEST(StateVector, SamplingIsDeterministicAndMatchesTheFullTableProcedure) {
  StateVector zero(qubits(2));
  const auto only_zero = zero.sample(Targets{0}, 5).value();
  EXPECT_EQ(only_zero.targets, (Targets{0}));
  EXPECT_EQ(only_zero.shots, 5u);
  EXPECT_EQ(only_zero.outcomes, (std::vector<std::vector<std::uint64_t>>(5, {0})));
  EXPECT_TRUE(zero.sample(Targets{1}, 0).value().outcomes.empty());
  const auto empty = zero.sample(Targets{}, 3).value();
  EXPECT_EQ(empty.outcomes, (std::vector<std::vector<std::uint64_t>>(3)));
  EXPECT_TRUE(empty.targets.empty());
  EXPECT_EQ(zero.sample(Targets{0, 2}, 1).error(), TelmError(errors::SubsystemOutOfRange{2, 2}));

  // Unnormalised states too: the last cumulative entry is forced to 1.0.
  std::mt19937_64 rng(3);
  StateVector scaled = prepared(3, 4);
  ASSERT_TRUE(scaled.apply_operator(MatrixOperator(random_matrix(rng, 4), 2), Targets{2, 0}));
  for (StateVector* state : {&scaled}) {
    for (const Targets& targets : {Targets{0}, Targets{2, 0}, Targets{1, 1}, Targets{2, 0, 2, 1}, Targets{0, 1, 2}}) {
      const auto first = state->sample(targets, 200).value();
      EXPECT_EQ(first, state->sample(targets, 200).value());
      EXPECT_EQ(first.outcomes, sample_reference(amplitudes(*state), 3, targets, 200));
      EXPECT_EQ(first.targets, targets);
    }
  }
  // Many repetitions of one target: no table of 2^k entries is needed.
  StateVector plus(qubits(1));
  ASSERT_TRUE(plus.apply_operator(Hadamard(), Targets{0}));
  const auto wide = plus.sample(Targets(70, 0), 4).value();
  for (const auto& outcome : wide.outcomes) {
    ASSERT_EQ(outcome.size(), 70u);
    EXPECT_EQ(std::count(outcome.begin(), outcome.end(), outcome[0]), 70);
  }
  EXPECT_EQ(amplitudes(plus), (Amplitudes{{s, 0}, {s, 0}}));
}

// A backend that only hands out a fixed snapshot.
class SnapshotBackend final : public Backend {
 public:
  explicit SnapshotBackend(StateSnapshot snapshot) : system_(qubits(0)), snapshot_(std::move(snapshot)) {}
  const SystemDescription& system() const override { return system_; }
  Status apply_operator_with_params(const Operator&, std::span<const std::uint64_t>, std::span<const double>) override {
    return {};
  }
  Result<double> expectation_value_with_params(const Observable&, std::span<const std::uint64_t>,
                                               std::span<const double>) const override {
    return 0.0;
  }
  Result<SampleResult> sample(std::span<const std::uint64_t>, std::uint64_t) const override { return SampleResult{}; }
  Result<StateSnapshot> state_snapshot() const override { return snapshot_; }
  Status reset_to_zero() override { return {}; }
  Result<std::unique_ptr<Backend>> clone_state() const override { return fail(errors::NotImplemented{"clone"}); }
  Status apply_channel(const Channel&, std::span<const std::uint64_t>) override { return {}; }
  Result<StateSnapshot> partial_trace(std::span<const std::uint64_t>) const override { return snapshot_; }
  Result<double> fidelity(const Backend&) const override { return 0.0; }

 private:
  SystemDescription system_;
  StateSnapshot snapshot_;
};

TEST(StateVector, Fidelity) {
  StateVector a = prepared(3, 8);
  StateVector b = prepared(3, 9);
  StateVector normalised(qubits(3));
  ASSERT_TRUE(normalised.apply_operator(Hadamard(), Targets{1}));
  EXPECT_NEAR(normalised.fidelity(normalised).value(), 1.0, 1e-15);

  StateVector zero(qubits(3));
  StateVector one(qubits(3));
  ASSERT_TRUE(one.apply_operator(XGate(), Targets{2}));
  EXPECT_EQ(zero.fidelity(one).value(), 0.0);

  // Read in place or through a snapshot: the same number, bit for bit.
  const double direct = a.fidelity(b).value();
  EXPECT_EQ(direct, a.fidelity(SnapshotBackend(b.state_snapshot().value())).value());
  Complex overlap;
  const auto x = amplitudes(a), y = amplitudes(b);
  for (std::size_t i = 0; i < x.size(); ++i) {
    overlap.re = overlap.re + (x[i].re * y[i].re + x[i].im * y[i].im);
    overlap.im = overlap.im + (x[i].re * y[i].im - x[i].im * y[i].re);
  }
  EXPECT_EQ(direct, overlap.re * overlap.re + overlap.im * overlap.im);

  EXPECT_EQ(a.fidelity(StateVector(qubits(2))).error(), TelmError(errors::DimensionMismatch{8, 4}));
  EXPECT_EQ(a.fidelity(SnapshotBackend(StateSnapshot{Amplitudes(16)})).error(),
            TelmError(errors::DimensionMismatch{8, 16}));
  EXPECT_EQ(a.fidelity(SnapshotBackend(StateSnapshot{std::vector<double>(8)})).error(),
            TelmError(errors::NotImplemented{"fidelity across backend snapshot types"}));
  // Only lengths are compared, not dims.
  const std::uint64_t dims8[] = {8};
  EXPECT_EQ(zero.fidelity(StateVector(SystemDescription::from_dims(dims8).value())).value(), 1.0);
}

TEST(StateVector, SnapshotResetCloneAndRefusals) {
  StateVector state = prepared(2, 6);
  const auto before = amplitudes(state);
  EXPECT_EQ(*state.state_snapshot().value().amplitudes(), before);

  auto clone = state.clone_state().value();
  ASSERT_TRUE(clone->apply_operator(XGate(), Targets{0}));
  EXPECT_EQ(amplitudes(state), before);
  EXPECT_NE(*clone->state_snapshot().value().amplitudes(), before);
  EXPECT_EQ(clone->system(), state.system());

  EXPECT_EQ(state.apply_channel(Channel{}, Targets{0}).error(), TelmError(errors::ChannelsUnsupported{}));
  EXPECT_EQ(state.partial_trace(Targets{0}).error(),
            TelmError(errors::NotImplemented{"partial trace for statevector backend"}));
  EXPECT_EQ(amplitudes(state), before);

  ASSERT_TRUE(state.reset_to_zero());
  EXPECT_EQ(amplitudes(state), (Amplitudes{{1, 0}, {0, 0}, {0, 0}, {0, 0}}));
  for (double x : state.amplitudes().data()) EXPECT_FALSE(std::signbit(x));
}

}  // namespace
}  // namespace telm
