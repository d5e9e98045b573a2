#include "discrete/gates.hpp"

#include <bit>
#include <cmath>
#include <string>

namespace telm {
namespace {

static_assert(std::bit_cast<std::uint64_t>(HADAMARD_ENTRY) == 0x3FE6A09E667F3BCDull);

// The checks every gate makes before building its matrix, in their order.
Status check_qubit_gate_call(const Operator& gate, const SystemDescription& system,
                             std::span<const std::uint64_t> targets, std::uint64_t required_params,
                             std::uint64_t supplied_params) {
  if (targets.size() != gate.n_targets()) return fail(errors::TargetCountMismatch{gate.n_targets(), targets.size()});
  if (supplied_params != required_params) return fail(errors::ParameterCountMismatch{required_params, supplied_params});
  for (std::uint64_t target : targets) {
    const Result<std::uint64_t> dim = system.dim(target);
    if (!dim) return fail(dim.error());
    if (*dim != 2) {
      return fail(errors::NotImplemented{"qubit gate on non-qubit target " + std::to_string(target) +
                                                " (dim=" + std::to_string(*dim) + ")"});
    }
  }
  return {};
}

ComplexMatrix with_entries(std::uint64_t dim, std::initializer_list<std::pair<std::pair<int, int>, Complex>> entries) {
  ComplexMatrix m = ComplexMatrix::zeros(dim);
  for (const auto& [position, value] : entries) m.set(position.first, position.second, value);
  return m;
}

// cos and sin of the half angle, from one combined evaluation.
std::pair<double, double> half_angle(double theta) {
  double s = 0.0;
  double c = 0.0;
  ::sincos(theta * 0.5, &s, &c);
  return {c, s};
}

ComplexMatrix rx(double c, double s) {
  return with_entries(2, {{{0, 0}, {c, 0.0}}, {{0, 1}, {0.0, -s}}, {{1, 0}, {0.0, -s}}, {{1, 1}, {c, 0.0}}});
}
ComplexMatrix ry(double c, double s) {
  return with_entries(2, {{{0, 0}, {c, 0.0}}, {{0, 1}, {-s, 0.0}}, {{1, 0}, {s, 0.0}}, {{1, 1}, {c, 0.0}}});
}
ComplexMatrix rz(double c, double s) { return with_entries(2, {{{0, 0}, {c, -s}}, {{1, 1}, {c, s}}}); }

}  // namespace

Result<ComplexMatrix> FixedGate::matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                        std::span<const double> params) const {
  TELM_TRY(check_qubit_gate_call(*this, system, targets, 0, params.size()));
  return fixed_matrix();
}

ComplexMatrix XGate::fixed_matrix() const { return with_entries(2, {{{0, 1}, {1.0, 0.0}}, {{1, 0}, {1.0, 0.0}}}); }
ComplexMatrix YGate::fixed_matrix() const { return with_entries(2, {{{0, 1}, {0.0, -1.0}}, {{1, 0}, {0.0, 1.0}}}); }
ComplexMatrix ZGate::fixed_matrix() const { return with_entries(2, {{{0, 0}, {1.0, 0.0}}, {{1, 1}, {-1.0, 0.0}}}); }
ComplexMatrix Hadamard::fixed_matrix() const {
  const double h = HADAMARD_ENTRY;
  return with_entries(2, {{{0, 0}, {h, 0.0}}, {{0, 1}, {h, 0.0}}, {{1, 0}, {h, 0.0}}, {{1, 1}, {-h, 0.0}}});
}
ComplexMatrix Cnot::fixed_matrix() const {
  return with_entries(4, {{{0, 0}, {1.0, 0.0}}, {{1, 1}, {1.0, 0.0}}, {{2, 3}, {1.0, 0.0}}, {{3, 2}, {1.0, 0.0}}});
}
ComplexMatrix CzGate::fixed_matrix() const {
  return with_entries(4, {{{0, 0}, {1.0, 0.0}}, {{1, 1}, {1.0, 0.0}}, {{2, 2}, {1.0, 0.0}}, {{3, 3}, {-1.0, 0.0}}});
}
ComplexMatrix SwapGate::fixed_matrix() const {
  return with_entries(4, {{{0, 0}, {1.0, 0.0}}, {{1, 2}, {1.0, 0.0}}, {{2, 1}, {1.0, 0.0}}, {{3, 3}, {1.0, 0.0}}});
}

Result<ComplexMatrix> RotationGate::matrix(const SystemDescription& system, std::span<const std::uint64_t> targets,
                                           std::span<const double> params) const {
  TELM_TRY(check_qubit_gate_call(*this, system, targets, 1, params.size()));
  const auto [c, s] = half_angle(coefficient_ * params[0]);
  return rotation_matrix(c, s);
}

ComplexMatrix RxGate::rotation_matrix(double c, double s) const { return rx(c, s); }
ComplexMatrix RyGate::rotation_matrix(double c, double s) const { return ry(c, s); }
ComplexMatrix RzGate::rotation_matrix(double c, double s) const { return rz(c, s); }
ComplexMatrix RzzGate::rotation_matrix(double c, double s) const {
  return with_entries(4, {{{0, 0}, {c, -s}}, {{1, 1}, {c, s}}, {{2, 2}, {c, s}}, {{3, 3}, {c, -s}}});
}

AffineRotationGate::AffineRotationGate(std::uint8_t axis, std::span<const std::pair<std::uint64_t, double>> terms)
    : axis_(axis) {
  param_indices_.reserve(terms.size());
  coefficients_.reserve(terms.size());
  for (const auto& [index, coefficient] : terms) {
    param_indices_.push_back(index);
    coefficients_.push_back(coefficient);
  }
  binding_ = ParamSpec(param_indices_);
}

Result<ComplexMatrix> AffineRotationGate::matrix(const SystemDescription& system,
                                                 std::span<const std::uint64_t> targets,
                                                 std::span<const double> params) const {
  TELM_TRY(check_qubit_gate_call(*this, system, targets, param_indices_.size(), params.size()));
  // -0.0 is the neutral start of a sum: no terms give the angle -0.0, whose matrix is the identity.
  double theta = -0.0;
  for (std::size_t i = 0; i < coefficients_.size(); ++i) theta = theta + coefficients_[i] * params[i];
  const auto [c, s] = half_angle(theta);
  if (axis_ == 0) return rx(c, s);
  if (axis_ == 1) return ry(c, s);
  return rz(c, s);
}

}  // namespace telm
