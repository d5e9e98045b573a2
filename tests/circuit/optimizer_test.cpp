#include "circuit/optimizer.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "circuit/builder.hpp"
#include "describe.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"

namespace telm {
namespace {

using testing::describe_all;

// One request to the builder: a gate on targets, or (with a label) a Z or ZZ measurement.
struct Step {
  std::function<std::unique_ptr<Operator>()> gate;
  std::vector<std::uint64_t> targets;
  std::string label;
};

template <class Gate>
Step gate(std::vector<std::uint64_t> targets) {
  return Step{[] { return std::make_unique<Gate>(); }, std::move(targets), ""};
}
template <class Rotation>
Step rot(std::uint64_t param, std::vector<std::uint64_t> targets) {
  return Step{[param] { return std::make_unique<Rotation>(param); }, std::move(targets), ""};
}
Step H(std::uint64_t q) { return gate<Hadamard>({q}); }
Step X(std::uint64_t q) { return gate<XGate>({q}); }
Step Y(std::uint64_t q) { return gate<YGate>({q}); }
Step Z(std::uint64_t q) { return gate<ZGate>({q}); }
Step Rx(std::uint64_t p, std::uint64_t q) { return rot<RxGate>(p, {q}); }
Step Ry(std::uint64_t p, std::uint64_t q) { return rot<RyGate>(p, {q}); }
Step Rz(std::uint64_t p, std::uint64_t q) { return rot<RzGate>(p, {q}); }
Step CNOT(std::uint64_t c, std::uint64_t t) { return gate<Cnot>({c, t}); }
Step CZ(std::uint64_t a, std::uint64_t b) { return gate<CzGate>({a, b}); }
Step SWAP(std::uint64_t a, std::uint64_t b) { return gate<SwapGate>({a, b}); }
Step RZZ(std::uint64_t p, std::uint64_t a, std::uint64_t b) { return rot<RzzGate>(p, {a, b}); }
Step measure(std::string label, std::uint64_t q) { return Step{nullptr, {q}, std::move(label)}; }

Status add(CircuitBuilder& builder, const Step& step) {
  if (step.label.empty()) return builder.apply_operator(step.gate(), step.targets);
  return builder.measure_expectation(step.label, std::make_unique<PauliZ>(), step.targets);
}

std::vector<std::string> built(std::uint64_t n_qubits, const std::vector<Step>& steps) {
  CircuitBuilder builder(SystemDescription::from_qubits(n_qubits).value());
  for (const Step& step : steps) EXPECT_TRUE(add(builder, step));
  const Circuit circuit = std::move(builder).build();
  return describe_all(circuit.instructions());
}

struct OptimizerCase {
  const char* what;
  std::uint64_t n_qubits;
  std::vector<Step> steps;
  std::vector<std::string> expected;
};

TEST(LALROptimizer, EmitsExactlyTheListedInstructions) {
  using V = std::vector<std::string>;
  const std::vector<OptimizerCase> cases = {
      {"equal Hadamards cancel", 4, {H(0), H(0)}, V{}},
      {"different fixed gates stay", 4, {X(0), Y(0)}, V{"X [0]", "Y [0]"}},
      {"a cancelled pair leaves the wire empty", 4, {H(0), H(0), X(0)}, V{"X [0]"}},
      {"rotations about one axis add", 4, {Rx(0, 0), Rx(1, 0), Rx(0, 0)}, V{"Aff(X; 0:2, 1:1) [0]"}},
      {"a lone rotation still leaves as an affine rotation", 4, {Rx(0, 0)}, V{"Aff(X; 0:1) [0]"}},
      {"rotations about different axes stay apart", 4, {Rx(0, 0), Rz(0, 0), Rx(1, 0)},
       V{"Aff(X; 0:1) [0]", "Aff(Z; 0:1) [0]", "Aff(X; 1:1) [0]"}},
      {"CNOT pair cancels around transparent rotations", 4, {CNOT(0, 1), Rz(0, 0), Rx(1, 1), CNOT(0, 1)},
       V{"Aff(Z; 0:1) [0]", "Aff(X; 1:1) [1]"}},
      {"transparent rotations merge inside the pair and after it", 4,
       {CNOT(0, 1), Rz(0, 0), Rz(1, 0), Rx(2, 1), Rx(2, 1), CNOT(0, 1), Rz(0, 0)},
       V{"Aff(Z; 0:2, 1:1) [0]", "Aff(X; 2:2) [1]"}},
      {"equal CNOTs cancel", 4, {CNOT(0, 1), CNOT(0, 1)}, V{}},
      {"three equal CNOTs leave one", 4, {CNOT(0, 1), CNOT(0, 1), CNOT(0, 1)}, V{"CNOT [0, 1]"}},
      {"swapped CNOTs stay", 4, {CNOT(0, 1), CNOT(1, 0)}, V{"CNOT [0, 1]", "CNOT [1, 0]"}},
      {"swapped CNOT flushes the pair with its rotation first", 4, {CNOT(0, 1), Rz(0, 0), CNOT(1, 0)},
       V{"CNOT [0, 1]", "Aff(Z; 0:1) [0]", "CNOT [1, 0]"}},
      {"a measurement flushes the pair", 4, {CNOT(0, 1), Rz(0, 0), measure("m", 0)},
       V{"CNOT [0, 1]", "Aff(Z; 0:1) [0]", "M(m) [0]"}},
      {"a re-entered rotation no longer merges", 4, {CNOT(0, 1), Ry(0, 0), Ry(1, 0)},
       V{"CNOT [0, 1]", "Aff(Y; 0:1) [0]", "Aff(Y; 1:1) [0]"}},
      {"Z on the target is not transparent", 4, {CNOT(0, 1), Rz(0, 1), Rz(1, 1)},
       V{"CNOT [0, 1]", "Aff(Z; 0:1) [1]", "Aff(Z; 1:1) [1]"}},
      {"a fixed Z is not transparent", 4, {CNOT(0, 1), Z(0), CNOT(0, 1)}, V{"CNOT [0, 1]", "Z [0]", "CNOT [0, 1]"}},
      {"a flushed pair emits control then target rotations", 4, {CNOT(0, 1), Rx(1, 1), Rz(0, 0), X(1)},
       V{"CNOT [0, 1]", "Aff(Z; 0:1) [0]", "Aff(X; 1:1) [1]", "X [1]"}},
      {"pending gates go out when a CNOT arrives", 4, {Rz(0, 0), CNOT(0, 1), CNOT(0, 1)}, V{"Aff(Z; 0:1) [0]"}},
      {"control wire is emptied before the target wire", 4, {H(1), X(0), CNOT(0, 1)},
       V{"X [0]", "H [1]", "CNOT [0, 1]"}},
      {"pairs are flushed control wire first", 4, {CNOT(0, 1), CNOT(2, 3), CNOT(1, 2)},
       V{"CNOT [0, 1]", "CNOT [2, 3]", "CNOT [1, 2]"}},
      {"other two-qubit gates flush their targets in target order", 4, {X(0), H(1), CZ(1, 0)},
       V{"H [1]", "X [0]", "CZ [1, 0]"}},
      {"SWAP flushes a pending gate and a pair", 4, {CNOT(0, 1), Rz(0, 0), H(2), SWAP(2, 0)},
       V{"H [2]", "CNOT [0, 1]", "Aff(Z; 0:1) [0]", "SWAP [2, 0]"}},
      {"RZZ passes unchanged", 4, {Rx(0, 0), RZZ(1, 0, 1), Rx(2, 1)},
       V{"Aff(X; 0:1) [0]", "RZZ(p1) [0, 1]", "Aff(X; 2:1) [1]"}},
      {"a measurement flushes every wire in ascending order", 4, {Rz(0, 1), H(0), measure("m", 2)},
       V{"H [0]", "Aff(Z; 0:1) [1]", "M(m) [2]"}},
      {"no merging across a measurement", 4, {Rz(0, 0), measure("m", 0), Rz(1, 0)},
       V{"Aff(Z; 0:1) [0]", "M(m) [0]", "Aff(Z; 1:1) [0]"}},
      {"build flushes wire 0 with its pair first", 3, {CNOT(0, 1), X(2)}, V{"CNOT [0, 1]", "X [2]"}},
      {"build flushes in wire order, not arrival order", 3, {X(2), CNOT(0, 1)}, V{"CNOT [0, 1]", "X [2]"}},
      {"a CNOT on one wire never cancels", 4, {CNOT(0, 0), CNOT(0, 0)}, V{"CNOT [0, 0]", "CNOT [0, 0]"}},
      {"a CNOT on one wire takes X rotations as its target", 4, {CNOT(0, 0), Rx(0, 0), Rz(1, 0)},
       V{"CNOT [0, 0]", "Aff(X; 0:1) [0]", "Aff(Z; 1:1) [0]"}},
  };
  for (const OptimizerCase& c : cases) {
    EXPECT_EQ(built(c.n_qubits, c.steps), c.expected) << c.what;
  }
}

TEST(LALROptimizer, ReusesFreedPairSlots) {
  LALROptimizer optimizer(4);
  const auto cnot = [&](std::uint64_t c, std::uint64_t t) {
    optimizer.add_gate(CircuitInstruction::apply(std::make_unique<Cnot>(), {c, t}));
  };
  cnot(0, 1);
  cnot(2, 3);
  EXPECT_EQ(optimizer.pair_slot_count(), 2u);
  for (int round = 0; round < 10; ++round) {
    cnot(1, 2);  // flushes both held pairs
    cnot(0, 1);
    cnot(2, 3);
  }
  EXPECT_EQ(optimizer.pair_slot_count(), 2u);
  EXPECT_FALSE(optimizer.holds_nothing());
  optimizer.flush_all();
  EXPECT_TRUE(optimizer.holds_nothing());
  EXPECT_EQ(optimizer.take_output().size(), 32u);
  EXPECT_TRUE(optimizer.take_output().empty());
}

TEST(LALROptimizer, MeasurementsAndTargetlessGatesPassedDirectly) {
  LALROptimizer optimizer(2);
  optimizer.add_gate(CircuitInstruction::apply(std::make_unique<RzGate>(0), {1}));
  optimizer.add_gate(CircuitInstruction::apply(std::make_unique<AffineRotationGate>(kAxisX, std::span<const std::pair<std::uint64_t, double>>{}), {}));
  EXPECT_EQ(describe_all(optimizer.take_output()), std::vector<std::string>{"Aff(X;) []"});
  optimizer.add_gate(CircuitInstruction::apply(std::make_unique<Hadamard>(), {0}));
  optimizer.add_gate(CircuitInstruction::measure("z", std::make_unique<PauliZ>(), {0}));
  EXPECT_EQ(describe_all(optimizer.take_output()), (std::vector<std::string>{"H [0]", "Aff(Z; 0:1) [1]", "M(z) [0]"}));
  EXPECT_TRUE(optimizer.holds_nothing());
}

}  // namespace
}  // namespace telm
