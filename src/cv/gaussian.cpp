#include "cv/gaussian.hpp"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "core/invariant.hpp"
#include "cv/irregular_entry.hpp"
#include "cv/real_matrix.hpp"

namespace telm {
namespace {

constexpr double variance_floor = 1e-12;

// max(v, 1e-12), with not-a-number reported as the floor.
double floored(double variance) { return variance > variance_floor ? variance : variance_floor; }

// The phase-space dimension 2n and its square, or nothing when the covariance could not even be addressed.
bool covariance_fits(std::uint64_t n_modes, std::size_t& side) {
  const std::size_t max_entries = std::vector<double>().max_size();
  if (n_modes > max_entries / 2) return false;
  side = static_cast<std::size_t>(2 * n_modes);
  return side <= max_entries / side;
}

}  // namespace

GaussianState::GaussianState(std::uint64_t n_modes, std::vector<double> displacement, std::vector<double> covariance)
    : n_modes_(n_modes),
      displacement_(std::move(displacement)),
      covariance_(std::move(covariance)),
      covariance_row_irregular_(displacement_.size(), 0) {}

Result<GaussianState> GaussianState::vacuum(std::uint64_t n_modes) {
  if (n_modes == 0) return fail(errors::InvalidDimension{0});
  std::size_t side = 0;
  if (!covariance_fits(n_modes, side)) return fail(errors::DimensionOverflow{});
  // Past this point only the allocation itself can fail (std::bad_alloc, MemoryError in Python). The
  // covariance comes first: when it cannot be had, nothing has been written to memory yet.
  std::vector<double> covariance = identity(side);
  std::vector<double> displacement(side, 0.0);
  return GaussianState(n_modes, std::move(displacement), std::move(covariance));
}

Result<GaussianState> GaussianState::from_moments(std::vector<double> displacement, std::vector<double> covariance) {
  const std::size_t side = displacement.size();
  if (side == 0) return fail(errors::InvalidDimension{0});
  if (side % 2 != 0) return fail(errors::NotImplemented{"a displacement holds two quadratures per mode"});
  if (side > covariance.size() / side || covariance.size() != side * side) {
    return fail(errors::NotImplemented{"the covariance must be square with the side of the displacement"});
  }
  GaussianState state(side / 2, std::move(displacement), std::move(covariance));
  state.count_irregular();
  return state;
}

void GaussianState::count_irregular() {
  displacement_irregular_ = static_cast<std::size_t>(std::ranges::count_if(displacement_, is_irregular));
  const std::size_t side = displacement_.size();
  covariance_row_irregular_.assign(side, 0);
  for (std::size_t i = 0; i < side; ++i) {
    const auto row = std::span<const double>(covariance_).subspan(i * side, side);
    covariance_row_irregular_[i] = static_cast<std::size_t>(std::ranges::count_if(row, is_irregular));
  }
}

void GaussianState::apply_symplectic(std::span<const double> symplectic) {
  const std::size_t size = displacement_.size();
  TELM_EXPECT(symplectic.size() == size * size, );
  std::vector<double> moved(size, 0.0);
  for (std::size_t i = 0; i < size; ++i) {
    double sum = 0.0;
    for (std::size_t k = 0; k < size; ++k) sum += symplectic[i * size + k] * displacement_[k];
    moved[i] = sum;
  }
  std::vector<double> transposed(size * size);
  for (std::size_t i = 0; i < size; ++i) {
    for (std::size_t j = 0; j < size; ++j) transposed[j * size + i] = symplectic[i * size + j];
  }
  std::vector<double> left = mat_mul(symplectic, covariance_, size);
  std::vector<double> both = mat_mul(left, transposed, size);
  TELM_EXPECT(both.size() == size * size, );
  displacement_ = std::move(moved);
  covariance_ = std::move(both);
  count_irregular();
}

Status GaussianState::check_mode(std::uint64_t mode) const {
  if (mode >= n_modes_) return fail(errors::SubsystemOutOfRange{mode, n_modes_});
  return {};
}

Status GaussianState::squeeze(std::uint64_t mode, double r) {
  TELM_TRY(check_mode(mode));
  apply_block(squeeze_block(mode, r));
  return {};
}

Status GaussianState::displace(std::uint64_t mode, double alpha_x, double alpha_p) {
  TELM_TRY(check_mode(mode));
  const std::size_t q = static_cast<std::size_t>(2 * mode);
  const std::size_t before = std::size_t{is_irregular(displacement_[q])} + is_irregular(displacement_[q + 1]);
  displacement_[q] = alpha_x + displacement_[q];
  displacement_[q + 1] = alpha_p + displacement_[q + 1];
  const std::size_t after = std::size_t{is_irregular(displacement_[q])} + is_irregular(displacement_[q + 1]);
  displacement_irregular_ = displacement_irregular_ - before + after;
  return {};
}

Status GaussianState::beamsplitter(std::uint64_t mode_a, std::uint64_t mode_b, double theta) {
  for (const std::uint64_t mode : {mode_a, mode_b}) {
    if (mode >= n_modes_) return fail(errors::SubsystemOutOfRange{mode, n_modes_});
  }
  if (mode_a == mode_b) return fail(errors::NotImplemented{"two-mode gate requires distinct modes"});
  apply_block(beamsplitter_block(mode_a, mode_b, theta));
  return {};
}

Result<HomodyneReadout> GaussianState::homodyne(std::uint64_t mode, Quadrature quadrature) const {
  TELM_TRY(check_mode(mode));
  const std::size_t side = displacement_.size();
  const std::size_t q = static_cast<std::size_t>(2 * mode) + (quadrature == Quadrature::P ? 1 : 0);
  return HomodyneReadout{displacement_[q], floored(covariance_[q * side + q])};
}

Result<HeterodyneReadout> GaussianState::heterodyne(std::uint64_t mode) const {
  TELM_TRY(check_mode(mode));
  const std::size_t side = displacement_.size();
  const std::size_t x = static_cast<std::size_t>(2 * mode);
  const std::size_t p = x + 1;
  // One unit of vacuum noise on each quadrature.
  return HeterodyneReadout{displacement_[x], displacement_[p], floored(covariance_[x * side + x] + 1.0),
                           floored(covariance_[p * side + p] + 1.0)};
}

}  // namespace telm
