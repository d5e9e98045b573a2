#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "core/operator.hpp"

namespace telm {

// Apply `op` to `targets`, in list order: the first target is the operator's first subsystem
// (a CNOT's control).
struct ApplyOperator {
  std::unique_ptr<Operator> op;
  std::vector<std::uint64_t> targets;
};

// Store the expectation value of `observable` on `targets` under `label`.
struct MeasureExpectation {
  std::string label;
  std::unique_ptr<Observable> observable;
  std::vector<std::uint64_t> targets;
};

// One step of a circuit. It owns its operator or observable exclusively: instructions are
// moved, never copied.
class CircuitInstruction {
 public:
  CircuitInstruction(ApplyOperator apply) : value_(std::move(apply)) {}              // NOLINT: implicit by design
  CircuitInstruction(MeasureExpectation measure) : value_(std::move(measure)) {}     // NOLINT: implicit by design

  CircuitInstruction(CircuitInstruction&&) noexcept = default;
  CircuitInstruction& operator=(CircuitInstruction&&) noexcept = default;
  CircuitInstruction(const CircuitInstruction&) = delete;
  CircuitInstruction& operator=(const CircuitInstruction&) = delete;

  [[nodiscard]] static CircuitInstruction apply(std::unique_ptr<Operator> op, std::vector<std::uint64_t> targets) {
    return ApplyOperator{std::move(op), std::move(targets)};
  }
  [[nodiscard]] static CircuitInstruction measure(std::string label, std::unique_ptr<Observable> observable,
                                                  std::vector<std::uint64_t> targets) {
    return MeasureExpectation{std::move(label), std::move(observable), std::move(targets)};
  }

  // The variant, or nullptr when the instruction is the other one.
  [[nodiscard]] const ApplyOperator* as_apply() const { return std::get_if<ApplyOperator>(&value_); }
  [[nodiscard]] const MeasureExpectation* as_measure() const { return std::get_if<MeasureExpectation>(&value_); }
  [[nodiscard]] bool is_apply() const { return as_apply() != nullptr; }

  [[nodiscard]] std::span<const std::uint64_t> targets() const;
  // The operator of a gate or the observable of a measurement (an observable is an operator);
  // nullptr only if the instruction was made without one.
  [[nodiscard]] const Operator* operation() const;

  // ApplyOperator { operator: "<dyn Operator>", targets: [0, 1] }
  // MeasureExpectation { label: "z0", observable: "<dyn Observable>", targets: [2] }
  [[nodiscard]] std::string debug_text() const;

 private:
  std::variant<ApplyOperator, MeasureExpectation> value_;
};

}  // namespace telm
