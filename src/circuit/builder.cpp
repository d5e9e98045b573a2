#include "circuit/builder.hpp"

#include "core/invariant.hpp"

namespace telm {

CircuitBuilder::CircuitBuilder(const SystemDescription& system) : system_(system) {
  if (system_.all_qubits()) optimizer_.emplace(system_.n_subsystems());
}

Status CircuitBuilder::check_targets(const Operator& op, std::span<const std::uint64_t> targets) const {
  const std::uint64_t expected = op.n_targets();
  if (targets.size() != expected) {
    return fail(errors::TargetCountMismatch{.expected = expected, .given = targets.size()});
  }
  const std::uint64_t count = system_.n_subsystems();
  for (std::uint64_t target : targets) {
    if (target >= count) return fail(errors::InstructionSubsystemOutOfRange{.subsystem = target, .count = count});
  }
  return {};
}

Status CircuitBuilder::apply_operator(std::unique_ptr<Operator> gate, std::span<const std::uint64_t> targets) {
  TELM_EXPECT(gate != nullptr, fail(errors::NotImplemented{"circuit gate without an operator"}));
  TELM_TRY(check_targets(*gate, targets));
  CircuitInstruction instruction =
      CircuitInstruction::apply(std::move(gate), std::vector<std::uint64_t>(targets.begin(), targets.end()));
  if (optimizer_) {
    optimizer_->add_gate(std::move(instruction));
  } else {
    instructions_.push_back(std::move(instruction));
  }
  return {};
}

Status CircuitBuilder::measure_expectation(std::string label, std::unique_ptr<Observable> observable,
                                           std::span<const std::uint64_t> targets) {
  TELM_EXPECT(observable != nullptr, fail(errors::NotImplemented{"circuit measurement without an observable"}));
  TELM_TRY(check_targets(*observable, targets));
  if (labels_.contains(label)) return fail(errors::OutputSlotOccupied{.label = std::move(label)});
  labels_.insert(label);
  drain_optimizer();
  instructions_.push_back(CircuitInstruction::measure(std::move(label), std::move(observable),
                                                      std::vector<std::uint64_t>(targets.begin(), targets.end())));
  return {};
}

Circuit CircuitBuilder::build() && {
  drain_optimizer();
  return Circuit(std::move(system_), std::move(instructions_));
}

void CircuitBuilder::drain_optimizer() {
  if (!optimizer_) return;
  optimizer_->flush_all();
  for (CircuitInstruction& instruction : optimizer_->take_output()) instructions_.push_back(std::move(instruction));
}

}  // namespace telm
