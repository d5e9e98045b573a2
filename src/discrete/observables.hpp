#pragma once

#include <cstdint>
#include <span>

#include "core/operator.hpp"

namespace telm {

// The Pauli observables on qubit systems. Expectation values are computed in one pass over the
// amplitudes, pairing or signing them by the bits of their indices (qubit 0 is the most
// significant bit), with sums from 0.0 in ascending index order; nothing is divided by the norm.
class PauliObservable : public Observable {
 public:
  [[nodiscard]] const ParamSpec& param_spec() const final { return binding_; }
  // The Pauli matrix; checks the target count and that no parameters are given, not the system.
  [[nodiscard]] Result<ComplexMatrix> matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                             std::span<const double> params) const final;
  // Checks target count, parameters, that every subsystem is a qubit, then each target's range.
  [[nodiscard]] Result<double> expectation_value(const SystemDescription& system,
                                                 std::span<const std::uint64_t> targets, AmplitudeView amplitudes,
                                                 std::span<const double> params) const final;

 protected:
  [[nodiscard]] virtual ComplexMatrix pauli_matrix() const = 0;
  // Called with validated targets and 2^n amplitudes.
  [[nodiscard]] virtual double evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets,
                                        AmplitudeView amplitudes) const = 0;

 private:
  ParamSpec binding_;
};

class PauliX final : public PauliObservable {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix pauli_matrix() const override;
  [[nodiscard]] double evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets,
                                AmplitudeView amplitudes) const override;
};

class PauliY final : public PauliObservable {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix pauli_matrix() const override;
  [[nodiscard]] double evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets,
                                AmplitudeView amplitudes) const override;
};

class PauliZ final : public PauliObservable {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix pauli_matrix() const override;
  [[nodiscard]] double evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets,
                                AmplitudeView amplitudes) const override;
};

// Z on two qubits, which may be the same qubit (then the value is the squared norm).
class PauliZZ final : public PauliObservable {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 2; }

 protected:
  [[nodiscard]] ComplexMatrix pauli_matrix() const override;
  [[nodiscard]] double evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets,
                                AmplitudeView amplitudes) const override;
};

}  // namespace telm
