#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/operator.hpp"

namespace telm::testing {

// An operator of any arity reading any parameters; its matrix is the identity.
class FakeGate final : public Operator {
 public:
  explicit FakeGate(std::uint64_t n_targets, ParamSpec spec = {}) : n_targets_(n_targets), spec_(std::move(spec)) {}

  [[nodiscard]] std::uint64_t n_targets() const override { return n_targets_; }
  [[nodiscard]] Result<ComplexMatrix> matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                             std::span<const double>) const override {
    TELM_ASSIGN_OR_RETURN(const std::uint64_t dim, subspace_dim(system, targets));
    ComplexMatrix m = ComplexMatrix::zeros(dim);
    for (std::uint64_t i = 0; i < dim; ++i) m.set(i, i, Complex{1.0, 0.0});
    return m;
  }
  [[nodiscard]] const ParamSpec& param_spec() const override { return spec_; }

 private:
  std::uint64_t n_targets_;
  ParamSpec spec_;
};

// An observable whose expectation value is a fixed number.
class FakeObservable final : public Observable {
 public:
  explicit FakeObservable(std::uint64_t n_targets, double value = 0.0, ParamSpec spec = {})
      : n_targets_(n_targets), value_(value), spec_(std::move(spec)) {}

  [[nodiscard]] std::uint64_t n_targets() const override { return n_targets_; }
  [[nodiscard]] Result<ComplexMatrix> matrix(const SystemDescription&, std::span<const std::uint64_t>,
                                             std::span<const double>) const override {
    return ComplexMatrix::zeros(2);
  }
  [[nodiscard]] const ParamSpec& param_spec() const override { return spec_; }
  [[nodiscard]] Result<double> expectation_value(const SystemDescription&, std::span<const std::uint64_t>,
                                                 AmplitudeView, std::span<const double>) const override {
    return value_;
  }

 private:
  std::uint64_t n_targets_;
  double value_;
  ParamSpec spec_;
};

inline std::unique_ptr<Operator> fake_gate(std::uint64_t n_targets, std::vector<std::uint64_t> indices) {
  return std::make_unique<FakeGate>(n_targets, ParamSpec(std::move(indices)));
}

}  // namespace telm::testing
