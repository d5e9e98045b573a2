#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/backend.hpp"
#include "numerics/complex_buffer.hpp"

namespace telm {

// The dense simulator: one complex amplitude per basis state, subsystem 0 the most significant
// digit of the index (for qubits, qubit q is bit n-1-q). A state can be made for any system, but
// gates, expectation values and sampling need every subsystem to be a qubit. The state is never
// renormalised. Every failing call returns its error before touching the state.
class StateVector final : public Backend {
 public:
  // The all-zero basis state. Throws std::bad_alloc when the amplitudes cannot be allocated.
  explicit StateVector(SystemDescription system);
  // Moves hand over the amplitudes; copies are made only by clone_state.
  StateVector(StateVector&& other) noexcept;
  StateVector& operator=(StateVector&& other) noexcept;

  [[nodiscard]] const SystemDescription& system() const override { return system_; }
  [[nodiscard]] const std::vector<std::uint64_t>& dims() const { return dims_; }
  [[nodiscard]] const ComplexBuffer& amplitudes() const { return amplitudes_; }

  // Checks, in order: qubit system, target count, each target's range, duplicate targets,
  // parameter count; then builds the matrix for the caller's target order and applies it,
  // reordered for ascending targets.
  [[nodiscard]] Status apply_operator_with_params(const Operator& op, std::span<const std::uint64_t> targets,
                                                  std::span<const double> params) override;
  // Qubit system, target count, target range, parameter count; then the observable reads the
  // amplitudes in place.
  [[nodiscard]] Result<double> expectation_value_with_params(const Observable& obs,
                                                             std::span<const std::uint64_t> targets,
                                                             std::span<const double> params) const override;
  // Deterministic: the same state, targets and shot count always give the same outcomes.
  [[nodiscard]] Result<SampleResult> sample(std::span<const std::uint64_t> targets,
                                            std::uint64_t shots) const override;
  [[nodiscard]] Result<StateSnapshot> state_snapshot() const override;
  [[nodiscard]] Status reset_to_zero() override;
  [[nodiscard]] Result<std::unique_ptr<Backend>> clone_state() const override;
  [[nodiscard]] Status apply_channel(const Channel& channel, std::span<const std::uint64_t> targets) override;
  [[nodiscard]] Result<StateSnapshot> partial_trace(std::span<const std::uint64_t> subsystems) const override;
  // |<this|other>|^2, not normalised; only the lengths of the two states are compared.
  [[nodiscard]] Result<double> fidelity(const Backend& other) const override;

 private:
  StateVector(const StateVector& other);

  [[nodiscard]] Status check_qubits() const;
  [[nodiscard]] Status check_targets_in_range(std::span<const std::uint64_t> targets) const;

  SystemDescription system_;
  std::vector<std::uint64_t> dims_;
  ComplexBuffer amplitudes_;
};

// Re-expresses a qubit operator's row-major matrix, whose basis is ordered by `targets` (first
// target most significant), in the basis ordered by `sorted` (the same targets ascending).
[[nodiscard]] Result<std::vector<Complex>> permute_gate_for_sorted_targets(std::span<const Complex> matrix,
                                                                           std::span<const std::uint64_t> targets,
                                                                           std::span<const std::uint64_t> sorted);

}  // namespace telm
