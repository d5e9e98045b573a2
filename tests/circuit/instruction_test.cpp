#include "circuit/instruction.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <type_traits>

#include "circuit/circuit.hpp"
#include "fake_operators.hpp"

namespace telm {
namespace {

using testing::FakeGate;
using testing::FakeObservable;
using testing::fake_gate;

static_assert(!std::is_copy_constructible_v<CircuitInstruction>);
static_assert(!std::is_copy_assignable_v<CircuitInstruction>);
static_assert(std::is_nothrow_move_constructible_v<CircuitInstruction>);

TEST(CircuitInstruction, DebugTextNamesNoOperatorType) {
  const CircuitInstruction cnot_like = CircuitInstruction::apply(std::make_unique<FakeGate>(2), {0, 1});
  const CircuitInstruction other = CircuitInstruction::apply(fake_gate(2, {4}), {0, 1});
  EXPECT_EQ(cnot_like.debug_text(), R"(ApplyOperator { operator: "<dyn Operator>", targets: [0, 1] })");
  EXPECT_EQ(other.debug_text(), cnot_like.debug_text());
  EXPECT_EQ(CircuitInstruction::apply(std::make_unique<FakeGate>(0), {}).debug_text(),
            R"(ApplyOperator { operator: "<dyn Operator>", targets: [] })");
}

TEST(CircuitInstruction, MeasurementDebugTextQuotesItsLabel) {
  EXPECT_EQ(CircuitInstruction::measure("z0", std::make_unique<FakeObservable>(1), {2}).debug_text(),
            R"(MeasureExpectation { label: "z0", observable: "<dyn Observable>", targets: [2] })");
  EXPECT_EQ(CircuitInstruction::measure("say \"hi\"\\\n\xcc\x81it's", std::make_unique<FakeObservable>(2), {0, 1})
                .debug_text(),
            R"(MeasureExpectation { label: "say \"hi\"\\\n\u{301}it's", observable: "<dyn Observable>", targets: [0, 1] })");
}

TEST(CircuitInstruction, ExposesItsVariantAndFields) {
  const CircuitInstruction apply = CircuitInstruction::apply(fake_gate(1, {3}), {5});
  ASSERT_NE(apply.as_apply(), nullptr);
  EXPECT_EQ(apply.as_measure(), nullptr);
  EXPECT_EQ(std::vector<std::uint64_t>(apply.targets().begin(), apply.targets().end()), std::vector<std::uint64_t>{5});
  EXPECT_EQ(apply.operation()->param_spec().indices()[0], 3u);

  const CircuitInstruction measure = CircuitInstruction::measure("m", std::make_unique<FakeObservable>(1), {1});
  ASSERT_NE(measure.as_measure(), nullptr);
  EXPECT_EQ(measure.as_measure()->label, "m");
  EXPECT_EQ(measure.operation(), measure.as_measure()->observable.get());
}

std::vector<CircuitInstruction> instructions_reading(std::vector<std::vector<std::uint64_t>> index_lists) {
  std::vector<CircuitInstruction> list;
  for (auto& indices : index_lists) {
    if (indices.empty()) {
      list.push_back(CircuitInstruction::apply(std::make_unique<FakeGate>(1), {0}));  // no binding at all
    } else {
      list.push_back(CircuitInstruction::apply(fake_gate(1, std::move(indices)), {0}));
    }
  }
  return list;
}

TEST(Circuit, CountsParametersFromTheLargestIndexRead) {
  const SystemDescription one = SystemDescription::from_qubits(1).value();
  const Circuit empty(one, {});
  EXPECT_EQ(empty.max_param_index(), std::nullopt);
  EXPECT_EQ(empty.n_params(), 0u);
  EXPECT_EQ(empty.instruction_count(), 0u);

  const Circuit fixed(one, instructions_reading({{}, {}}));
  EXPECT_EQ(fixed.n_params(), 0u);
  EXPECT_EQ(fixed.instruction_count(), 2u);

  const Circuit rotations(one, instructions_reading({{2}, {}, {0, 7, 1}}));
  EXPECT_EQ(rotations.max_param_index(), 7u);
  EXPECT_EQ(rotations.n_params(), 8u);

  // The count 2^64 does not fit; the largest index is still reported exactly.
  const std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
  const Circuit huge(one, instructions_reading({{top}}));
  EXPECT_EQ(huge.max_param_index(), top);
  EXPECT_EQ(huge.n_params(), std::nullopt);
}

TEST(Circuit, DebugTextsFollowInstructionOrder) {
  std::vector<CircuitInstruction> list;
  list.push_back(CircuitInstruction::apply(std::make_unique<FakeGate>(1), {1}));
  list.push_back(CircuitInstruction::measure("b", std::make_unique<FakeObservable>(1), {0}));
  const Circuit circuit(SystemDescription::from_qubits(2).value(), std::move(list));
  EXPECT_EQ(circuit.debug_texts(),
            (std::vector<std::string>{R"(ApplyOperator { operator: "<dyn Operator>", targets: [1] })",
                                      R"(MeasureExpectation { label: "b", observable: "<dyn Observable>", targets: [0] })"}));
  EXPECT_EQ(circuit.system().n_subsystems(), 2u);
}

}  // namespace
}  // namespace telm
