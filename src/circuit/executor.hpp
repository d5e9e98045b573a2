#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include "circuit/circuit.hpp"
#include "core/backend.hpp"
#include "core/operator.hpp"
#include "core/result.hpp"

namespace telm {

// Label -> expectation value, labels ordered byte-wise.
using CircuitResults = std::map<std::string, double>;

// Runs a built circuit on a backend for one parameter vector. Stateless.
struct CircuitExecutor {
  // Checks that the backend's system has the circuit's shape (subsystem count, then each
  // dimension), then applies the instructions in order on whatever state the backend holds.
  // The first failure ends the run and is returned unchanged; instructions before it keep their
  // effect on the backend, and no partial results are returned.
  [[nodiscard]] static Result<CircuitResults> run(const Circuit& circuit, Backend& backend,
                                                  std::span<const double> parameters);
};

// The values an operator reads: parameters[index] for each index of `spec`, in order; empty for
// an absent spec. An index beyond the vector gives ParameterIndexOutOfRange.
[[nodiscard]] Result<std::vector<double>> resolve_local_params(const ParamSpec& spec,
                                                               std::span<const double> parameters);

}  // namespace telm
