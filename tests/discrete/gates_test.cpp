#include "discrete/gates.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace telm {
namespace {

using Targets = std::vector<std::uint64_t>;
using Params = std::vector<double>;

SystemDescription qubits(std::uint64_t n) { return SystemDescription::from_qubits(n).value(); }

ComplexMatrix dense(std::uint64_t dim, std::vector<Complex> entries) { return ComplexMatrix{std::move(entries), dim}; }

// Exact comparison including the sign of zero parts.
void expect_bitwise(const ComplexMatrix& actual, const ComplexMatrix& expected) {
  ASSERT_EQ(actual.dim, expected.dim);
  ASSERT_EQ(actual.data.size(), expected.data.size());
  for (std::size_t i = 0; i < actual.data.size(); ++i) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(actual.data[i].re), std::bit_cast<std::uint64_t>(expected.data[i].re)) << i;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(actual.data[i].im), std::bit_cast<std::uint64_t>(expected.data[i].im)) << i;
  }
}

TEST(GateCatalogue, FixedMatricesExactly) {
  const double h = 0.7071067811865476;
  EXPECT_EQ(std::bit_cast<std::uint64_t>(HADAMARD_ENTRY), 0x3FE6A09E667F3BCDull);
  EXPECT_NE(HADAMARD_ENTRY, 1.0 / std::sqrt(2.0));
  const Complex o{0, 0}, l{1, 0};
  struct Case {
    std::unique_ptr<Operator> gate;
    ComplexMatrix expected;
  };
  std::vector<Case> cases;
  cases.push_back({std::make_unique<XGate>(), dense(2, {o, l, l, o})});
  cases.push_back({std::make_unique<YGate>(), dense(2, {o, {0, -1}, {0, 1}, o})});
  cases.push_back({std::make_unique<ZGate>(), dense(2, {l, o, o, {-1, 0}})});
  cases.push_back({std::make_unique<Hadamard>(), dense(2, {{h, 0}, {h, 0}, {h, 0}, {-h, 0}})});
  cases.push_back({std::make_unique<Cnot>(), dense(4, {l, o, o, o, o, l, o, o, o, o, o, l, o, o, l, o})});
  cases.push_back({std::make_unique<CzGate>(), dense(4, {l, o, o, o, o, l, o, o, o, o, l, o, o, o, o, {-1, 0}})});
  cases.push_back({std::make_unique<SwapGate>(), dense(4, {l, o, o, o, o, o, l, o, o, l, o, o, o, o, o, l})});
  const auto system = qubits(3);
  for (const Case& c : cases) {
    const Targets targets = c.gate->n_targets() == 1 ? Targets{2} : Targets{2, 0};
    EXPECT_FALSE(c.gate->param_spec().has_value());
    expect_bitwise(c.gate->matrix(system, targets, {}).value(), c.expected);
  }
}

TEST(GateCatalogue, RotationMatricesUseHalfAngles) {
  const auto system = qubits(2);
  const Targets one = {1};
  const Targets two = {0, 1};
  const double theta = 0.7;
  const double c = std::cos(theta / 2), s = std::sin(theta / 2);
  const Complex o{0, 0};
  const Params p = {theta};
  expect_bitwise(RxGate(0).matrix(system, one, p).value(), dense(2, {{c, 0}, {0, -s}, {0, -s}, {c, 0}}));
  expect_bitwise(RyGate(0).matrix(system, one, p).value(), dense(2, {{c, 0}, {-s, 0}, {s, 0}, {c, 0}}));
  expect_bitwise(RzGate(0).matrix(system, one, p).value(), dense(2, {{c, -s}, o, o, {c, s}}));
  expect_bitwise(RzzGate(0).matrix(system, two, p).value(),
                 dense(4, {{c, -s}, o, o, o, o, {c, s}, o, o, o, o, {c, s}, o, o, o, o, {c, -s}}));

  const Params pi = {std::numbers::pi};
  const auto rx_pi = RxGate(3).matrix(system, one, pi).value();
  EXPECT_NEAR(rx_pi.get(0, 0).re, 0.0, 1e-16);
  EXPECT_EQ(rx_pi.get(0, 1), (Complex{0.0, -1.0}));
  const auto ry = RyGate(0).matrix(system, one, Params{std::numbers::pi / 2}).value();
  EXPECT_NEAR(ry.get(1, 0).re, HADAMARD_ENTRY, 1e-15);  // maps (1, 0) to (h, h)
  EXPECT_NEAR(ry.get(0, 0).re, HADAMARD_ENTRY, 1e-15);
  const auto rzz0 = RzzGate(0).matrix(system, two, Params{0.0}).value();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rzz0.get(i, i), (Complex{1.0, i == 0 || i == 3 ? -0.0 : 0.0}));
  const auto rzz_pi = RzzGate(0).matrix(system, two, pi).value();
  EXPECT_NEAR(rzz_pi.get(0, 0).im, -1.0, 1e-15);
  EXPECT_NEAR(rzz_pi.get(1, 1).im, 1.0, 1e-15);

  RxGate rx(4);
  EXPECT_EQ(rx.coefficient(), 1.0);
  EXPECT_EQ(rx.param_index(), 4u);
  EXPECT_EQ(rx.param_spec(), ParamSpec(std::vector<std::uint64_t>{4}));
}

TEST(GateCatalogue, AffineRotation) {
  const std::pair<std::uint64_t, double> terms[] = {{0, 0.5}, {3, 2.0}};
  AffineRotationGate gate(2, terms);
  EXPECT_EQ(gate.param_spec(), ParamSpec(std::vector<std::uint64_t>{0, 3}));
  EXPECT_EQ(gate.coefficients(), (std::vector<double>{0.5, 2.0}));
  const auto system = qubits(1);
  const Targets t = {0};
  // 0.5 * 1.0 + 2.0 * 0.25 = 1.0 about Z.
  expect_bitwise(gate.matrix(system, t, Params{1.0, 0.25}).value(), RzGate(0).matrix(system, t, Params{1.0}).value());
  EXPECT_EQ(gate.matrix(system, t, Params{1.0}).error(), TelmError(errors::ParameterCountMismatch{2, 1}));

  for (double theta : {0.3, -2.5, 7.0}) {
    const std::pair<std::uint64_t, double> single[] = {{5, 1.0}};
    expect_bitwise(AffineRotationGate(1, single).matrix(system, t, Params{theta}).value(),
                   RyGate(5).matrix(system, t, Params{theta}).value());
    expect_bitwise(AffineRotationGate(0, single).matrix(system, t, Params{theta}).value(),
                   RxGate(5).matrix(system, t, Params{theta}).value());
  }
  // No terms: the angle is -0.0 and the matrix the identity (with sin(-0.0) = -0.0 kept).
  AffineRotationGate empty(7, {});
  EXPECT_FALSE(empty.param_spec().indices().size());
  const auto identity = empty.matrix(system, t, {}).value();
  expect_bitwise(identity, dense(2, {{1, 0}, {0, 0}, {0, 0}, {1, -0.0}}));
}

TEST(GateCatalogue, ChecksInOrder) {
  const std::uint64_t mixed_dims[] = {3, 2};
  const auto mixed = SystemDescription::from_dims(mixed_dims).value();
  const auto two = qubits(2);
  struct Case {
    std::unique_ptr<Operator> gate;
    const SystemDescription* system;
    Targets targets;
    Params params;
    TelmError error;
  };
  std::vector<Case> cases;
  cases.push_back({std::make_unique<XGate>(), &two, {0, 1}, {}, errors::TargetCountMismatch{1, 2}});
  cases.push_back({std::make_unique<XGate>(), &two, {0}, {1.0}, errors::ParameterCountMismatch{0, 1}});
  cases.push_back({std::make_unique<RxGate>(0), &two, {0}, {}, errors::ParameterCountMismatch{1, 0}});
  // Parameter count before the target checks.
  cases.push_back({std::make_unique<RxGate>(0), &two, {9}, {}, errors::ParameterCountMismatch{1, 0}});
  cases.push_back({std::make_unique<Hadamard>(), &two, {2}, {}, errors::SubsystemOutOfRange{2, 2}});
  cases.push_back({std::make_unique<Hadamard>(), &mixed, {0}, {},
                   errors::NotImplemented{"qubit gate on non-qubit target 0 (dim=3)"}});
  cases.push_back({std::make_unique<Cnot>(), &mixed, {1, 0}, {},
                   errors::NotImplemented{"qubit gate on non-qubit target 0 (dim=3)"}});
  // The first target's range and dimension are checked before the second target.
  cases.push_back({std::make_unique<Cnot>(), &mixed, {0, 5}, {},
                   errors::NotImplemented{"qubit gate on non-qubit target 0 (dim=3)"}});
  cases.push_back({std::make_unique<CzGate>(), &mixed, {1, 5}, {}, errors::SubsystemOutOfRange{5, 2}});
  cases.push_back({std::make_unique<RzzGate>(0), &two, {0}, {1.0}, errors::TargetCountMismatch{2, 1}});
  for (const Case& c : cases) {
    const auto result = c.gate->matrix(*c.system, c.targets, c.params);
    ASSERT_FALSE(result) << c.error.message();
    EXPECT_EQ(result.error(), c.error) << result.error().message();
  }
  // Duplicates are not the matrix's concern.
  EXPECT_TRUE(Cnot().matrix(two, Targets{1, 1}, {}));
}

TEST(GateCatalogue, EveryClassHasItsOwnIdentity) {
  std::vector<std::unique_ptr<Operator>> gates;
  gates.push_back(std::make_unique<XGate>());
  gates.push_back(std::make_unique<YGate>());
  gates.push_back(std::make_unique<ZGate>());
  gates.push_back(std::make_unique<Hadamard>());
  gates.push_back(std::make_unique<Cnot>());
  gates.push_back(std::make_unique<CzGate>());
  gates.push_back(std::make_unique<SwapGate>());
  gates.push_back(std::make_unique<RxGate>(0));
  gates.push_back(std::make_unique<RyGate>(0));
  gates.push_back(std::make_unique<RzGate>(0));
  gates.push_back(std::make_unique<RzzGate>(0));
  gates.push_back(std::make_unique<AffineRotationGate>(0, std::span<const std::pair<std::uint64_t, double>>{}));
  for (std::size_t i = 0; i < gates.size(); ++i) {
    for (std::size_t j = 0; j < gates.size(); ++j) EXPECT_EQ(gates[i]->type_id() == gates[j]->type_id(), i == j);
  }
  EXPECT_NE(gates[7]->as_any().get<RxGate>(), nullptr);
  EXPECT_EQ(gates[7]->as_any().get<RyGate>(), nullptr);
  EXPECT_EQ(gates[7]->as_any().get<RxGate>()->param_index(), 0u);
}

}  // namespace
}  // namespace telm
