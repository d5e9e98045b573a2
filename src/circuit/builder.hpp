#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "circuit/circuit.hpp"
#include "circuit/instruction.hpp"
#include "circuit/optimizer.hpp"
#include "core/operator.hpp"
#include "core/result.hpp"
#include "core/system_description.hpp"

namespace telm {

// Turns a stream of gate and measurement requests into a validated Circuit. Every request is
// checked against the system when it is made, so a built circuit only names subsystems that
// exist and never uses a measurement label twice. On a system of qubits only (including the
// empty system) gates pass through the LALROptimizer; otherwise the instruction list is exactly
// the accepted requests, in order. A failed request leaves the builder unchanged.
class CircuitBuilder {
 public:
  explicit CircuitBuilder(const SystemDescription& system);

  CircuitBuilder(CircuitBuilder&&) noexcept = default;
  CircuitBuilder& operator=(CircuitBuilder&&) noexcept = default;

  // Checks, in order: the number of targets against gate->n_targets() (TargetCountMismatch),
  // then each target in list order against the system (InstructionSubsystemOutOfRange).
  // Repeated targets are accepted here; the backend refuses them at run time. On failure the
  // gate is discarded.
  [[nodiscard]] Status apply_operator(std::unique_ptr<Operator> gate, std::span<const std::uint64_t> targets);

  // The same two checks against the observable, then the label (OutputSlotOccupied). Every gate
  // still held by the optimizer, on every wire, is placed before the measurement.
  [[nodiscard]] Status measure_expectation(std::string label, std::unique_ptr<Observable> observable,
                                           std::span<const std::uint64_t> targets);

  // Flushes the optimizer and hands over the instructions. Consumes the builder.
  [[nodiscard]] Circuit build() &&;

  [[nodiscard]] const SystemDescription& system() const { return system_; }
  [[nodiscard]] bool optimizes() const { return optimizer_.has_value(); }
  // Instructions already placed, not counting those the optimizer still holds or has emitted
  // since the last measurement.
  [[nodiscard]] std::span<const CircuitInstruction> instructions() const { return instructions_; }

 private:
  [[nodiscard]] Status check_targets(const Operator& op, std::span<const std::uint64_t> targets) const;
  void drain_optimizer();

  SystemDescription system_;
  std::vector<CircuitInstruction> instructions_;
  std::optional<LALROptimizer> optimizer_;
  std::set<std::string> labels_;
};

}  // namespace telm
