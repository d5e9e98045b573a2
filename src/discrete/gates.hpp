#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/operator.hpp"

namespace telm {

// The gate catalogue. Every gate acts on qubits only; its matrix() checks, in order, the target
// count (TargetCountMismatch), the parameter count (ParameterCountMismatch) and then each target
// in list order: in range (SubsystemOutOfRange), then of dimension 2 (NotImplemented).
// Rotations use half angles: c = cos(theta/2), s = sin(theta/2).

// The Hadamard entry: sqrt(0.5) correctly rounded (1 / sqrt(2.0) is one ulp lower).
inline constexpr double HADAMARD_ENTRY = 0.7071067811865476;

// A gate without parameters and with a fixed matrix.
class FixedGate : public Operator {
 public:
  [[nodiscard]] const ParamSpec& param_spec() const final { return binding_; }
  [[nodiscard]] Result<ComplexMatrix> matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                             std::span<const double> params) const final;

 protected:
  [[nodiscard]] virtual ComplexMatrix fixed_matrix() const = 0;

 private:
  ParamSpec binding_;
};

class XGate final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

class YGate final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

class ZGate final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

class Hadamard final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

// First target is the control, the second is flipped.
class Cnot final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 2; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

class CzGate final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 2; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

class SwapGate final : public FixedGate {
 public:
  [[nodiscard]] std::uint64_t n_targets() const override { return 2; }

 protected:
  [[nodiscard]] ComplexMatrix fixed_matrix() const override;
};

// A rotation by theta = coefficient * the one parameter at param_index of the run's vector.
class RotationGate : public Operator {
 public:
  explicit RotationGate(std::uint64_t param_index) : binding_(std::vector<std::uint64_t>{param_index}) {}

  [[nodiscard]] const ParamSpec& param_spec() const final { return binding_; }
  [[nodiscard]] double coefficient() const { return coefficient_; }
  [[nodiscard]] std::uint64_t param_index() const { return binding_.indices()[0]; }
  [[nodiscard]] Result<ComplexMatrix> matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                             std::span<const double> params) const final;

 protected:
  // The matrix for cos and sin of the half angle.
  [[nodiscard]] virtual ComplexMatrix rotation_matrix(double c, double s) const = 0;

 private:
  ParamSpec binding_;
  double coefficient_ = 1.0;
};

class RxGate final : public RotationGate {
 public:
  using RotationGate::RotationGate;
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix rotation_matrix(double c, double s) const override;
};

class RyGate final : public RotationGate {
 public:
  using RotationGate::RotationGate;
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix rotation_matrix(double c, double s) const override;
};

class RzGate final : public RotationGate {
 public:
  using RotationGate::RotationGate;
  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }

 protected:
  [[nodiscard]] ComplexMatrix rotation_matrix(double c, double s) const override;
};

class RzzGate final : public RotationGate {
 public:
  using RotationGate::RotationGate;
  [[nodiscard]] std::uint64_t n_targets() const override { return 2; }

 protected:
  [[nodiscard]] ComplexMatrix rotation_matrix(double c, double s) const override;
};

// A single-qubit rotation about X (axis 0), Y (axis 1) or Z (any other axis) by
// theta = sum of coefficients[i] * params[i], a linear combination of several parameters.
class AffineRotationGate final : public Operator {
 public:
  // Terms are (parameter index, coefficient) pairs, stored as given: no term, repeated indices
  // and zero coefficients are all allowed.
  AffineRotationGate(std::uint8_t axis, std::span<const std::pair<std::uint64_t, double>> terms);

  [[nodiscard]] std::uint64_t n_targets() const override { return 1; }
  [[nodiscard]] const ParamSpec& param_spec() const override { return binding_; }
  [[nodiscard]] Result<ComplexMatrix> matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                             std::span<const double> params) const override;

  [[nodiscard]] const std::vector<std::uint64_t>& param_indices() const { return param_indices_; }
  [[nodiscard]] const std::vector<double>& coefficients() const { return coefficients_; }
  [[nodiscard]] std::uint8_t axis() const { return axis_; }

 private:
  std::vector<std::uint64_t> param_indices_;
  std::vector<double> coefficients_;
  ParamSpec binding_;
  std::uint8_t axis_;
};

}  // namespace telm
