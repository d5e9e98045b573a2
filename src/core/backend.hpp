#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <variant>
#include <vector>

#include "core/complex.hpp"
#include "core/operator.hpp"
#include "core/result.hpp"
#include "core/system_description.hpp"

namespace telm {

// A copy of a backend's state, detached from it: the amplitudes of every basis state (what the
// state-vector backend produces), a dense matrix, or a list of doubles.
struct StateSnapshot {
  std::variant<std::vector<Complex>, ComplexMatrix, std::vector<double>> value;

  // The amplitudes when this snapshot holds them, else nullptr.
  [[nodiscard]] const std::vector<Complex>* amplitudes() const { return std::get_if<std::vector<Complex>>(&value); }
};

struct SampleResult {
  std::vector<std::uint64_t> targets;                // as requested, in request order
  std::vector<std::vector<std::uint64_t>> outcomes;  // one list per shot; one value per target
  std::uint64_t shots = 0;

  friend bool operator==(const SampleResult&, const SampleResult&) = default;
};

// A quantum channel in Kraus form. No backend of the library applies one yet.
struct Channel {
  std::vector<ComplexMatrix> kraus_operators;
};

// A simulator holding the state of one composite system. A call that returns an error leaves
// the state as it was.
class Backend {
 public:
  Backend() = default;
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;
  virtual ~Backend() = default;

  [[nodiscard]] virtual const SystemDescription& system() const = 0;

  // First target = most significant digit of the operator's matrix index.
  [[nodiscard]] virtual Status apply_operator(const Operator& op, std::span<const std::uint64_t> targets) {
    return apply_operator_with_params(op, targets, {});
  }
  [[nodiscard]] virtual Status apply_operator_with_params(const Operator& op, std::span<const std::uint64_t> targets,
                                                          std::span<const double> params) = 0;

  [[nodiscard]] virtual Result<double> expectation_value(const Observable& obs,
                                                         std::span<const std::uint64_t> targets) const {
    return expectation_value_with_params(obs, targets, {});
  }
  [[nodiscard]] virtual Result<double> expectation_value_with_params(const Observable& obs,
                                                                     std::span<const std::uint64_t> targets,
                                                                     std::span<const double> params) const = 0;

  // Draws `shots` outcomes of the targets without changing the state.
  [[nodiscard]] virtual Result<SampleResult> sample(std::span<const std::uint64_t> targets,
                                                    std::uint64_t shots) const = 0;
  [[nodiscard]] virtual Result<StateSnapshot> state_snapshot() const = 0;
  // Back to the basis state with every subsystem in state 0.
  [[nodiscard]] virtual Status reset_to_zero() = 0;
  // An independent backend of the same class with a copy of the system and the state.
  [[nodiscard]] virtual Result<std::unique_ptr<Backend>> clone_state() const = 0;
  [[nodiscard]] virtual Status apply_channel(const Channel& channel, std::span<const std::uint64_t> targets) = 0;
  // The reduced state on the complement of `subsystems`.
  [[nodiscard]] virtual Result<StateSnapshot> partial_trace(std::span<const std::uint64_t> subsystems) const = 0;
  // Compares this state with `other`'s, read through other.state_snapshot().
  [[nodiscard]] virtual Result<double> fidelity(const Backend& other) const = 0;
};

}  // namespace telm
