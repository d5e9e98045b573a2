#include "circuit/builder.hpp"

#include <gtest/gtest.h>

#include "describe.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"

namespace telm {
namespace {

using testing::describe_all;
using T = std::vector<std::uint64_t>;

SystemDescription qubits(std::uint64_t n) { return SystemDescription::from_qubits(n).value(); }

std::vector<std::string> build(CircuitBuilder& builder) {
  const Circuit circuit = std::move(builder).build();
  return describe_all(circuit.instructions());
}

TEST(CircuitBuilder, OptimizesOnQubitSystemsOnly) {
  CircuitBuilder on_qubits(qubits(3));
  EXPECT_TRUE(on_qubits.optimizes());

  // With a qutrit among the qubits the instruction list is exactly the accepted requests.
  CircuitBuilder mixed(SystemDescription::from_dims(T{2, 3, 2}).value());
  EXPECT_FALSE(mixed.optimizes());
  ASSERT_TRUE(mixed.apply_operator(std::make_unique<Hadamard>(), T{0}));
  ASSERT_TRUE(mixed.apply_operator(std::make_unique<Hadamard>(), T{0}));
  ASSERT_TRUE(mixed.apply_operator(std::make_unique<RxGate>(3), T{1}));
  ASSERT_TRUE(mixed.apply_operator(std::make_unique<Cnot>(), T{0, 2}));
  ASSERT_TRUE(mixed.apply_operator(std::make_unique<Cnot>(), T{0, 2}));
  ASSERT_TRUE(mixed.measure_expectation("z", std::make_unique<PauliZ>(), T{1}));
  EXPECT_EQ(mixed.instructions().size(), 6u);
  EXPECT_EQ(build(mixed), (std::vector<std::string>{"H [0]", "H [0]", "Rx(p3) [1]", "CNOT [0, 2]", "CNOT [0, 2]",
                                                    "M(z) [1]"}));
}

TEST(CircuitBuilder, EmptySystemRefusesEveryRequest) {
  CircuitBuilder builder(qubits(0));
  EXPECT_TRUE(builder.optimizes());
  EXPECT_EQ(builder.apply_operator(std::make_unique<XGate>(), T{}).error(),
            TelmError(errors::TargetCountMismatch{.expected = 1, .given = 0}));
  EXPECT_EQ(builder.apply_operator(std::make_unique<XGate>(), T{0}).error(),
            TelmError(errors::InstructionSubsystemOutOfRange{.subsystem = 0, .count = 0}));
  EXPECT_FALSE(builder.measure_expectation("z", std::make_unique<PauliZ>(), T{0}));
  EXPECT_TRUE(build(builder).empty());
}

TEST(CircuitBuilder, ChecksCountThenRangeThenLabel) {
  CircuitBuilder builder(qubits(3));
  const auto gate_error = [&](std::unique_ptr<Operator> gate, T targets) {
    return builder.apply_operator(std::move(gate), targets).error().message();
  };
  EXPECT_EQ(gate_error(std::make_unique<Hadamard>(), T{0, 1}), "operator targets 2 subsystem(s) but was defined for 1");
  EXPECT_EQ(gate_error(std::make_unique<RzGate>(0), T{}), "operator targets 0 subsystem(s) but was defined for 1");
  EXPECT_EQ(gate_error(std::make_unique<Hadamard>(), T{7, 9}), "operator targets 2 subsystem(s) but was defined for 1");
  EXPECT_EQ(gate_error(std::make_unique<Cnot>(), T{0, 5}),
            "circuit instruction references subsystem 5, which does not exist in the system (has 3 subsystems)");
  EXPECT_EQ(gate_error(std::make_unique<SwapGate>(), T{7, 9}),
            "circuit instruction references subsystem 7, which does not exist in the system (has 3 subsystems)");
  EXPECT_EQ(gate_error(std::make_unique<RzzGate>(0), T{1, 2, 0}), "operator targets 3 subsystem(s) but was defined for 2");

  ASSERT_TRUE(builder.measure_expectation("m", std::make_unique<PauliZ>(), T{0}));
  const auto measure_error = [&](std::unique_ptr<Observable> observable, T targets) {
    return builder.measure_expectation("m", std::move(observable), targets).error().message();
  };
  EXPECT_EQ(measure_error(std::make_unique<PauliZZ>(), T{0}), "operator targets 1 subsystem(s) but was defined for 2");
  EXPECT_EQ(measure_error(std::make_unique<PauliX>(), T{4}),
            "circuit instruction references subsystem 4, which does not exist in the system (has 3 subsystems)");
  EXPECT_EQ(measure_error(std::make_unique<PauliY>(), T{1}),
            "output slot 'm' is already occupied by a previous measurement");
  EXPECT_TRUE(builder.measure_expectation("m2", std::make_unique<PauliZZ>(), T{1, 1}));

  // Repeated gate targets are the backend's to refuse.
  EXPECT_TRUE(builder.apply_operator(std::make_unique<Cnot>(), T{2, 2}));
  EXPECT_EQ(build(builder), (std::vector<std::string>{"M(m) [0]", "M(m2) [1, 1]", "CNOT [2, 2]"}));
}

TEST(CircuitBuilder, FailedRequestsLeaveTheHeldGatesAlone) {
  CircuitBuilder builder(qubits(2));
  ASSERT_TRUE(builder.measure_expectation("a", std::make_unique<PauliZ>(), T{1}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<Cnot>(), T{0, 1}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<RzGate>(1), T{0}));
  // Neither refusal flushes the optimizer: the held CNOT still cancels and the rotations merge.
  EXPECT_FALSE(builder.measure_expectation("a", std::make_unique<PauliZ>(), T{0}));
  EXPECT_FALSE(builder.apply_operator(std::make_unique<Cnot>(), T{0, 2}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<Cnot>(), T{0, 1}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<RzGate>(2), T{0}));
  EXPECT_EQ(build(builder), (std::vector<std::string>{"M(a) [1]", "Aff(Z; 1:1, 2:1) [0]"}));
}

TEST(CircuitBuilder, MeasurementsAreBarriersForEveryWire) {
  CircuitBuilder builder(qubits(3));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<XGate>(), T{2}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<RyGate>(0), T{0}));
  ASSERT_TRUE(builder.measure_expectation("q1", std::make_unique<PauliX>(), T{1}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<XGate>(), T{2}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<RyGate>(1), T{0}));
  ASSERT_TRUE(builder.measure_expectation("q0", std::make_unique<PauliZ>(), T{0}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<Hadamard>(), T{1}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<Hadamard>(), T{1}));
  EXPECT_EQ(build(builder), (std::vector<std::string>{"Aff(Y; 0:1) [0]", "X [2]", "M(q1) [1]", "Aff(Y; 1:1) [0]",
                                                      "X [2]", "M(q0) [0]"}));
}

}  // namespace
}  // namespace telm
