#include "discrete/observables.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "numerics/complex_buffer.hpp"

namespace telm {
namespace {

using Targets = std::vector<std::uint64_t>;

const double s = 0.7071067811865476;

ComplexBuffer state(std::vector<Complex> amplitudes) {
  auto buffer = ComplexBuffer::zeros(amplitudes.size());
  for (std::size_t i = 0; i < amplitudes.size(); ++i) buffer.set(i, amplitudes[i]);
  return buffer;
}

double value(const Observable& obs, const ComplexBuffer& amplitudes, Targets targets) {
  std::uint64_t n = 0;
  while ((std::uint64_t{1} << n) < amplitudes.len()) ++n;
  return obs.expectation_value(SystemDescription::from_qubits(n).value(), targets, amplitudes.view(), {}).value();
}

TEST(PauliObservables, ValuesOnSmallStates) {
  const PauliX x;
  const PauliY y;
  const PauliZ z;
  const PauliZZ zz;
  const auto zero = state({{1, 0}, {0, 0}, {0, 0}, {0, 0}});
  EXPECT_EQ(value(z, zero, {0}), 1.0);
  EXPECT_EQ(value(z, zero, {1}), 1.0);
  EXPECT_EQ(value(x, zero, {0}), 0.0);
  EXPECT_EQ(value(y, zero, {1}), 0.0);
  EXPECT_EQ(value(zz, zero, {0, 1}), 1.0);

  const auto plus0 = state({{s, 0}, {0, 0}, {s, 0}, {0, 0}});
  EXPECT_NEAR(value(x, plus0, {0}), 1.0, 1e-15);
  EXPECT_EQ(value(x, plus0, {1}), 0.0);
  EXPECT_EQ(value(z, plus0, {0}), 0.0);

  const auto plus_i = state({{s, 0}, {0, s}});
  EXPECT_NEAR(value(y, plus_i, {0}), 1.0, 1e-15);
  EXPECT_EQ(value(x, plus_i, {0}), 0.0);

  const auto bell = state({{s, 0}, {0, 0}, {0, 0}, {s, 0}});
  EXPECT_NEAR(value(zz, bell, {0, 1}), 1.0, 1e-15);
  EXPECT_EQ(value(z, bell, {0}), 0.0);
}

TEST(PauliObservables, UnnormalisedStatesAreNotDivided) {
  EXPECT_EQ(value(PauliZ(), state({{2, 0}, {0, 0}}), {0}), 4.0);
  // <X> = 2 Re(conj(a0) a1) = 2 * (3 * 1 + 0 * 2), <Y> = 2 Im(conj(a0) a1) = 2 * 3 * 2.
  const auto one_qubit = state({{3, 0}, {1, 2}});
  EXPECT_EQ(value(PauliX(), one_qubit, {0}), 6.0);
  EXPECT_EQ(value(PauliY(), one_qubit, {0}), 12.0);
  // Equal targets: every term counts positively, giving the squared norm.
  const auto three = state({{1, 0}, {0, 2}, {0, 0}, {1, 1}, {0, 0}, {0, 0}, {0, 3}, {0, 0}});
  EXPECT_EQ(value(PauliZZ(), three, {1, 1}), 1.0 + 4.0 + 2.0 + 9.0);
  // Z on qubit 1 (mask 2): + indices 0, 1, 4, 5; - indices 2, 3, 6, 7.
  EXPECT_EQ(value(PauliZ(), three, {1}), 1.0 + 4.0 - 2.0 - 9.0);
  // ZZ on (0, 2): bits equal for 0, 2, 5, 7.
  EXPECT_EQ(value(PauliZZ(), three, {0, 2}), 1.0 - 4.0 - 2.0 - 9.0);
  // X on qubit 1 pairs (i, i + 2); only (1, 3) has two non-zero amplitudes: 2 * (0 * 1 + 2 * 1).
  EXPECT_EQ(value(PauliX(), three, {1}), 4.0);
  EXPECT_EQ(value(PauliX(), three, {2}), 0.0);
}

TEST(PauliObservables, ChecksInOrder) {
  const auto two = SystemDescription::from_qubits(2).value();
  const std::uint64_t mixed_dims[] = {2, 3};
  const auto mixed = SystemDescription::from_dims(mixed_dims).value();
  const auto amplitudes = state({{1, 0}, {0, 0}, {0, 0}, {0, 0}});
  const std::vector<double> one_param = {0.5};
  struct Case {
    std::unique_ptr<Observable> obs;
    const SystemDescription* system;
    Targets targets;
    std::vector<double> params;
    TelmError error;
  };
  std::vector<Case> cases;
  cases.push_back({std::make_unique<PauliX>(), &two, {0, 1}, {}, errors::TargetCountMismatch{1, 2}});
  cases.push_back({std::make_unique<PauliZZ>(), &two, {0}, {}, errors::TargetCountMismatch{2, 1}});
  cases.push_back({std::make_unique<PauliZ>(), &two, {9}, one_param, errors::ParameterCountMismatch{0, 1}});
  cases.push_back({std::make_unique<PauliZ>(), &mixed, {9}, {},
                   errors::NotImplemented{"Pauli observables currently support qubit systems only"}});
  cases.push_back({std::make_unique<PauliZ>(), &two, {3}, {}, errors::SubsystemOutOfRange{3, 2}});
  cases.push_back({std::make_unique<PauliZZ>(), &two, {4, 3}, {}, errors::SubsystemOutOfRange{4, 2}});
  cases.push_back({std::make_unique<PauliZZ>(), &two, {1, 3}, {}, errors::SubsystemOutOfRange{3, 2}});
  for (const Case& c : cases) {
    const auto result = c.obs->expectation_value(*c.system, c.targets, amplitudes.view(), c.params);
    ASSERT_FALSE(result) << c.error.message();
    EXPECT_EQ(result.error(), c.error) << result.error().message();
  }
  for (auto* obs : std::initializer_list<const Observable*>{new PauliX, new PauliY, new PauliZ}) {
    std::unique_ptr<const Observable> owned(obs);
    EXPECT_EQ(owned->expectation_value(mixed, Targets{0}, state(std::vector<Complex>(6)).view(), {}).error(),
              TelmError(errors::NotImplemented{"Pauli observables currently support qubit systems only"}));
  }
}

TEST(PauliObservables, MatricesIgnoreTheSystem) {
  const std::uint64_t qutrit[] = {3};
  const auto system = SystemDescription::from_dims(qutrit).value();
  const Targets one = {7};
  const Targets two = {7, 8};
  EXPECT_EQ(PauliX().matrix(system, one, {}).value().get(1, 0), (Complex{1, 0}));
  EXPECT_EQ(PauliY().matrix(system, one, {}).value().get(0, 1), (Complex{0, -1}));
  EXPECT_EQ(PauliZ().matrix(system, one, {}).value().get(1, 1), (Complex{-1, 0}));
  const auto zz = PauliZZ().matrix(system, two, {}).value();
  EXPECT_EQ(zz.dim, 4u);
  EXPECT_EQ(zz.get(2, 2), (Complex{-1, 0}));
  EXPECT_EQ(zz.get(3, 3), (Complex{1, 0}));
  EXPECT_EQ(PauliZZ().matrix(system, one, {}).error(), TelmError(errors::TargetCountMismatch{2, 1}));
  const std::vector<double> p = {1.0};
  EXPECT_EQ(PauliX().matrix(system, one, p).error(), TelmError(errors::ParameterCountMismatch{0, 1}));
  EXPECT_FALSE(PauliX().param_spec().has_value());
}

}  // namespace
}  // namespace telm
