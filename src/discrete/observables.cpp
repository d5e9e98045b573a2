#include "discrete/observables.hpp"

#include <bit>

#include "core/invariant.hpp"

namespace telm {
namespace {

ComplexMatrix diagonal(std::initializer_list<double> entries) {
  ComplexMatrix m = ComplexMatrix::zeros(entries.size());
  std::uint64_t i = 0;
  for (double entry : entries) {
    m.set(i, i, Complex{entry, 0.0});
    ++i;
  }
  return m;
}

// The distance between the two amplitudes that differ only in qubit t.
std::uint64_t mask_of(std::uint64_t n_qubits, std::uint64_t t) { return std::uint64_t{1} << (n_qubits - 1 - t); }

}  // namespace

Result<ComplexMatrix> PauliObservable::matrix(const SystemDescription&, std::span<const std::uint64_t> targets,
                                              std::span<const double> params) const {
  if (targets.size() != n_targets()) return fail(errors::TargetCountMismatch{n_targets(), targets.size()});
  if (!params.empty()) return fail(errors::ParameterCountMismatch{0, params.size()});
  return pauli_matrix();
}

Result<double> PauliObservable::expectation_value(const SystemDescription& system,
                                                  std::span<const std::uint64_t> targets, AmplitudeView amplitudes,
                                                  std::span<const double> params) const {
  if (targets.size() != n_targets()) return fail(errors::TargetCountMismatch{n_targets(), targets.size()});
  if (!params.empty()) return fail(errors::ParameterCountMismatch{0, params.size()});
  if (!system.all_qubits()) return fail(errors::NotImplemented{"Pauli observables currently support qubit systems only"});
  const std::uint64_t n = system.n_subsystems();
  for (std::uint64_t target : targets) {
    if (target >= n) return fail(errors::SubsystemOutOfRange{target, n});
  }
  // The amplitudes come from a state of this system; any other length would send the pairing
  // outside the list.
  TELM_EXPECT(amplitudes.size() == system.total_dim(),
              fail(errors::DimensionMismatch{amplitudes.size(), system.total_dim()}));
  return evaluate(n, targets, amplitudes);
}

ComplexMatrix PauliX::pauli_matrix() const {
  ComplexMatrix m = ComplexMatrix::zeros(2);
  m.set(0, 1, Complex{1.0, 0.0});
  m.set(1, 0, Complex{1.0, 0.0});
  return m;
}

ComplexMatrix PauliY::pauli_matrix() const {
  ComplexMatrix m = ComplexMatrix::zeros(2);
  m.set(0, 1, Complex{0.0, -1.0});
  m.set(1, 0, Complex{0.0, 1.0});
  return m;
}

ComplexMatrix PauliZ::pauli_matrix() const { return diagonal({1.0, -1.0}); }
ComplexMatrix PauliZZ::pauli_matrix() const { return diagonal({1.0, -1.0, -1.0, 1.0}); }

// The loops below visit indices in ascending order: for each run of `mask` indices with the
// qubit's bit clear, then the following run with it set.

double PauliX::evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets, AmplitudeView amplitudes) const {
  const std::uint64_t mask = mask_of(n_qubits, targets[0]);
  const std::uint64_t len = amplitudes.size();
  const double* re = amplitudes.re();
  const double* im = amplitudes.im();
  double sum = 0.0;
  for (std::uint64_t h = 0; h < len; h += 2 * mask) {
    for (std::uint64_t i = h; i < h + mask; ++i) {
      const std::uint64_t j = i + mask;
      sum = sum + 2.0 * (re[i] * re[j] + im[i] * im[j]);
    }
  }
  return sum;
}

double PauliY::evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets, AmplitudeView amplitudes) const {
  const std::uint64_t mask = mask_of(n_qubits, targets[0]);
  const std::uint64_t len = amplitudes.size();
  const double* re = amplitudes.re();
  const double* im = amplitudes.im();
  double sum = 0.0;
  for (std::uint64_t h = 0; h < len; h += 2 * mask) {
    for (std::uint64_t i = h; i < h + mask; ++i) {
      const std::uint64_t j = i + mask;
      sum = sum + 2.0 * (re[i] * im[j] - im[i] * re[j]);
    }
  }
  return sum;
}

double PauliZ::evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets, AmplitudeView amplitudes) const {
  const std::uint64_t mask = mask_of(n_qubits, targets[0]);
  const std::uint64_t len = amplitudes.size();
  const double* re = amplitudes.re();
  const double* im = amplitudes.im();
  double sum = 0.0;
  for (std::uint64_t h = 0; h < len; h += 2 * mask) {
    for (std::uint64_t i = h; i < h + mask; ++i) sum = sum + (re[i] * re[i] + im[i] * im[i]);
    for (std::uint64_t i = h + mask; i < h + 2 * mask; ++i) sum = sum - (re[i] * re[i] + im[i] * im[i]);
  }
  return sum;
}

double PauliZZ::evaluate(std::uint64_t n_qubits, std::span<const std::uint64_t> targets,
                         AmplitudeView amplitudes) const {
  const std::uint64_t shift_t = n_qubits - 1 - targets[0];
  const std::uint64_t shift_u = n_qubits - 1 - targets[1];
  const std::uint64_t len = amplitudes.size();
  const double* re = amplitudes.re();
  const double* im = amplitudes.im();
  double sum = 0.0;
  for (std::uint64_t i = 0; i < len; ++i) {
    const double p = re[i] * re[i] + im[i] * im[i];
    // Subtracting p is adding -p exactly, and -p is p with its sign bit flipped: the sign is
    // chosen without a branch, which the alternating bit pattern of a low qubit would mispredict.
    const std::uint64_t differ = ((i >> shift_t) ^ (i >> shift_u)) & 1;
    sum = sum + std::bit_cast<double>(std::bit_cast<std::uint64_t>(p) ^ (differ << 63));
  }
  return sum;
}

}  // namespace telm
