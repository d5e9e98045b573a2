#include "discrete/statevector.hpp"

#include <algorithm>
#include <string>

#include "core/invariant.hpp"
#include "numerics/gms.hpp"

namespace telm {
namespace {

// The overlap sum over i of conj(a_i) * b_i, accumulated in index order from 0.0, squared.
double squared_overlap(AmplitudeView a, const double* b_re, const double* b_im) {
  const double* a_re = a.re();
  const double* a_im = a.im();
  double sum_re = 0.0;
  double sum_im = 0.0;
  for (std::uint64_t i = 0; i < a.size(); ++i) {
    sum_re = sum_re + (a_re[i] * b_re[i] + a_im[i] * b_im[i]);
    sum_im = sum_im + (a_re[i] * b_im[i] - a_im[i] * b_re[i]);
  }
  return sum_re * sum_re + sum_im * sum_im;
}

}  // namespace

StateVector::StateVector(SystemDescription system)
    : system_(std::move(system)), dims_(system_.dims()), amplitudes_(ComplexBuffer::zeros(system_.total_dim())) {
  amplitudes_.set(0, Complex{1.0, 0.0});
}

StateVector::StateVector(const StateVector& other)
    : Backend(), system_(other.system_), dims_(other.dims_), amplitudes_(other.amplitudes_) {}

StateVector::StateVector(StateVector&& other) noexcept
    : Backend(),
      system_(std::move(other.system_)),
      dims_(std::move(other.dims_)),
      amplitudes_(std::move(other.amplitudes_)) {}

StateVector& StateVector::operator=(StateVector&& other) noexcept {
  system_ = std::move(other.system_);
  dims_ = std::move(other.dims_);
  amplitudes_ = std::move(other.amplitudes_);
  return *this;
}

Status StateVector::check_qubits() const {
  for (std::uint64_t dim : dims_) {
    if (dim != 2) return fail(errors::NotImplemented{"statevector backend currently supports qubit systems only"});
  }
  return {};
}

Status StateVector::check_targets_in_range(std::span<const std::uint64_t> targets) const {
  for (std::uint64_t target : targets) {
    if (target >= dims_.size()) return fail(errors::SubsystemOutOfRange{target, dims_.size()});
  }
  return {};
}

Status StateVector::apply_operator_with_params(const Operator& op, std::span<const std::uint64_t> targets,
                                               std::span<const double> params) {
  TELM_TRY(check_qubits());
  if (targets.size() != op.n_targets()) return fail(errors::TargetCountMismatch{op.n_targets(), targets.size()});
  TELM_TRY(check_targets_in_range(targets));
  // Gates have one or two targets: sort them on the stack rather than allocate per gate.
  std::uint64_t few[8];
  std::vector<std::uint64_t> many;
  std::span<std::uint64_t> sorted;
  if (targets.size() <= 8) {
    sorted = std::span<std::uint64_t>(few, targets.size());
    std::copy(targets.begin(), targets.end(), sorted.begin());
  } else {
    many.assign(targets.begin(), targets.end());
    sorted = many;
  }
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
    return fail(errors::NotImplemented{"duplicate targets are not supported for statevector gate application"});
  }
  const std::uint64_t required = op.param_spec().required_count();
  if (required != params.size()) return fail(errors::ParameterCountMismatch{required, params.size()});

  TELM_ASSIGN_OR_RETURN(ComplexMatrix matrix, op.matrix(system_, targets, params));
  TELM_ASSIGN_OR_RETURN(const std::uint64_t subspace_dim, op.subspace_dim(system_, targets));
  if (matrix.dim != subspace_dim) return fail(errors::DimensionMismatch{matrix.dim, subspace_dim});
  // An operator whose entry list does not match its dimension is broken; refuse it rather than
  // read past its entries.
  TELM_EXPECT(matrix.data.size() == matrix.dim * matrix.dim,
              fail(errors::NotImplemented{"operator matrix entries do not match its dimension"}));
  // The kernel's block limit; no gate of the catalogue comes near it (two targets give 4).
  if (subspace_dim > MAX_SUBSPACE_DIM) {
    return fail(errors::NotImplemented{"gate subspace dimension " + std::to_string(subspace_dim) +
                                       " exceeds MAX_SUBSPACE_DIM (" + std::to_string(MAX_SUBSPACE_DIM) + ")"});
  }

  if (std::equal(sorted.begin(), sorted.end(), targets.begin())) {
    apply_gate(amplitudes_, dims_, sorted, matrix.data);
    return {};
  }
  TELM_ASSIGN_OR_RETURN(const std::vector<Complex> reordered,
                        permute_gate_for_sorted_targets(matrix.data, targets, sorted));
  apply_gate(amplitudes_, dims_, sorted, reordered);
  return {};
}

Result<double> StateVector::expectation_value_with_params(const Observable& obs, std::span<const std::uint64_t> targets,
                                                          std::span<const double> params) const {
  TELM_TRY(check_qubits());
  if (targets.size() != obs.n_targets()) return fail(errors::TargetCountMismatch{obs.n_targets(), targets.size()});
  TELM_TRY(check_targets_in_range(targets));
  const std::uint64_t required = obs.param_spec().required_count();
  if (required != params.size()) return fail(errors::ParameterCountMismatch{required, params.size()});
  return obs.expectation_value(system_, targets, amplitudes_.view(), params);
}

Result<SampleResult> StateVector::sample(std::span<const std::uint64_t> targets, std::uint64_t shots) const {
  TELM_TRY(check_qubits());
  SampleResult result;
  result.shots = shots;
  if (targets.empty()) {
    result.outcomes.assign(shots, {});
    return result;
  }
  TELM_TRY(check_targets_in_range(targets));
  result.targets.assign(targets.begin(), targets.end());

  // The marginal table is indexed by the targets' bits, the first target most significant.
  // A repeated target always repeats its bit, so the table over the distinct targets (in order of
  // first appearance) holds every entry that can be non-zero, in the same order and with the
  // same sums; entries of the full table that are always zero change neither the cumulative
  // sums nor which index the search finds. This keeps the table no larger than the state.
  std::vector<std::uint64_t> distinct;
  std::vector<std::uint64_t> position(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const auto found = std::find(distinct.begin(), distinct.end(), targets[i]);
    position[i] = static_cast<std::uint64_t>(found - distinct.begin());
    if (found == distinct.end()) distinct.push_back(targets[i]);
  }
  const std::uint64_t n = dims_.size();
  const std::uint64_t k = distinct.size();
  std::vector<std::uint64_t> shifts(k);
  for (std::uint64_t j = 0; j < k; ++j) shifts[j] = n - 1 - distinct[j];

  std::vector<double> cumulative(std::uint64_t{1} << k, 0.0);
  const double* re = amplitudes_.re();
  const double* im = amplitudes_.im();
  for (std::uint64_t index = 0; index < amplitudes_.len(); ++index) {
    std::uint64_t m = 0;
    for (std::uint64_t j = 0; j < k; ++j) m = (m << 1) | ((index >> shifts[j]) & 1);
    cumulative[m] = cumulative[m] + (re[index] * re[index] + im[index] * im[index]);
  }
  for (std::size_t m = 1; m < cumulative.size(); ++m) cumulative[m] = cumulative[m - 1] + cumulative[m];
  cumulative.back() = 1.0;

  // Below the last entry the table is non-decreasing up to its first NaN (a NaN, once summed in,
  // stays), so a binary search there finds the smallest index whose value is at least u.
  const auto searchable_end =
      std::find_if(cumulative.begin(), cumulative.end() - 1, [](double value) { return value != value; });

  const std::uint64_t requested = targets.size();
  std::uint64_t state = requested + shots * 0x9E3779B97F4A7C15ull;
  result.outcomes.reserve(shots);
  for (std::uint64_t shot = 0; shot < shots; ++shot) {
    state = state * 6364136223846793005ull + 1;
    const double u = static_cast<double>(state >> 11) * 0x1.0p-53;
    const auto found = std::lower_bound(cumulative.begin(), searchable_end, u);
    const std::uint64_t outcome =
        found == searchable_end ? cumulative.size() - 1 : static_cast<std::uint64_t>(found - cumulative.begin());
    std::vector<std::uint64_t> values(requested);
    for (std::size_t i = 0; i < requested; ++i) values[i] = (outcome >> (k - 1 - position[i])) & 1;
    result.outcomes.push_back(std::move(values));
  }
  return result;
}

Result<StateSnapshot> StateVector::state_snapshot() const { return StateSnapshot{amplitudes_.to_vec()}; }

Status StateVector::reset_to_zero() {
  amplitudes_.fill_zero();
  amplitudes_.set(0, Complex{1.0, 0.0});
  return {};
}

Result<std::unique_ptr<Backend>> StateVector::clone_state() const {
  return std::unique_ptr<Backend>(new StateVector(*this));
}

Status StateVector::apply_channel(const Channel&, std::span<const std::uint64_t>) {
  return fail(errors::ChannelsUnsupported{});
}

Result<StateSnapshot> StateVector::partial_trace(std::span<const std::uint64_t>) const {
  return fail(errors::NotImplemented{"partial trace for statevector backend"});
}

Result<double> StateVector::fidelity(const Backend& other) const {
  // Another state vector is read in place; its snapshot would be the same numbers.
  if (const auto* vector = dynamic_cast<const StateVector*>(&other)) {
    const ComplexBuffer& theirs = vector->amplitudes_;
    if (theirs.len() != amplitudes_.len()) return fail(errors::DimensionMismatch{amplitudes_.len(), theirs.len()});
    return squared_overlap(amplitudes_.view(), theirs.re(), theirs.im());
  }
  TELM_ASSIGN_OR_RETURN(const StateSnapshot snapshot, other.state_snapshot());
  const std::vector<Complex>* theirs = snapshot.amplitudes();
  if (theirs == nullptr) return fail(errors::NotImplemented{"fidelity across backend snapshot types"});
  if (theirs->size() != amplitudes_.len()) return fail(errors::DimensionMismatch{amplitudes_.len(), theirs->size()});
  std::vector<double> split(2 * theirs->size());
  for (std::size_t i = 0; i < theirs->size(); ++i) {
    split[i] = (*theirs)[i].re;
    split[theirs->size() + i] = (*theirs)[i].im;
  }
  return squared_overlap(amplitudes_.view(), split.data(), split.data() + theirs->size());
}

Result<std::vector<Complex>> permute_gate_for_sorted_targets(std::span<const Complex> matrix,
                                                             std::span<const std::uint64_t> targets,
                                                             std::span<const std::uint64_t> sorted) {
  const std::uint64_t k = targets.size();
  if (k == 0) return std::vector<Complex>(matrix.begin(), matrix.end());
  // 2^k x 2^k entries; from k = 32 on that count is not representable, so no list can match.
  if (k >= 32 || matrix.size() != (std::uint64_t{1} << (2 * k)) || sorted.size() != k) {
    return fail(errors::NotImplemented{"non-qubit subspace gate permutation not supported"});
  }
  std::vector<std::uint64_t> perm(k);
  for (std::uint64_t j = 0; j < k; ++j) {
    const auto found = std::find(targets.begin(), targets.end(), sorted[j]);
    if (found == targets.end()) return fail(errors::NotImplemented{"target permutation failed"});
    perm[j] = static_cast<std::uint64_t>(found - targets.begin());
  }
  const std::uint64_t dim = std::uint64_t{1} << k;
  // P maps a sorted-basis index to the caller's: bit j of x (from the top) goes to bit perm[j].
  std::vector<std::uint64_t> to_caller(dim);
  for (std::uint64_t x = 0; x < dim; ++x) {
    std::uint64_t y = 0;
    for (std::uint64_t j = 0; j < k; ++j) {
      const std::uint64_t bit = (x >> (k - 1 - j)) & 1;
      y |= bit << (k - 1 - perm[j]);
    }
    to_caller[x] = y;
  }
  std::vector<Complex> out(dim * dim);
  for (std::uint64_t i = 0; i < dim; ++i) {
    for (std::uint64_t j = 0; j < dim; ++j) out[i * dim + j] = matrix[to_caller[i] * dim + to_caller[j]];
  }
  return out;
}

}  // namespace telm
