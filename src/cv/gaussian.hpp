#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/result.hpp"
#include "cv/symplectic_block.hpp"

namespace telm {

// Selects the position (index 2m) or momentum (index 2m + 1) quadrature of mode m.
enum class Quadrature { X, P };

struct HomodyneReadout {
  double mean;
  double variance;
  friend bool operator==(const HomodyneReadout&, const HomodyneReadout&) = default;
};

struct HeterodyneReadout {
  double mean_x;
  double mean_p;
  double variance_x;
  double variance_p;
  friend bool operator==(const HeterodyneReadout&, const HeterodyneReadout&) = default;
};

// A Gaussian state of n bosonic modes: the displacement vector (2n first moments) and the 2n x 2n covariance
// matrix, row-major, with quadratures interleaved by mode (x0, p0, x1, p1, ...). The vacuum covariance is
// the identity: no hbar or other scale.
//
// Squeezers and beam splitters are defined as apply_symplectic with the full matrix, zero-skipping products
// included; squeeze and beamsplitter compute the same numbers bit for bit (not-a-number and infinity in the
// same places) while touching only the rows and columns their block changes. To keep that cheap, each
// covariance row carries the count of its entries that are non-finite or negative zero ("irregular"
// entries, the only ones whose fate in the full products differs from being left alone).
class GaussianState {
 public:
  [[nodiscard]] static Result<GaussianState> vacuum(std::uint64_t n_modes);

  // A state with the given moments: 2n displacement entries (n >= 1) and (2n)^2 covariance entries.
  [[nodiscard]] static Result<GaussianState> from_moments(std::vector<double> displacement,
                                                          std::vector<double> covariance);

  // d <- S d (every term added), V <- S V S^T (zero-skipping products). S is 2n x 2n row-major.
  void apply_symplectic(std::span<const double> symplectic);

  Status squeeze(std::uint64_t mode, double r);
  Status displace(std::uint64_t mode, double alpha_x, double alpha_p);
  Status beamsplitter(std::uint64_t mode_a, std::uint64_t mode_b, double theta);

  // Read-outs of the moments; nothing is sampled and the state does not change.
  [[nodiscard]] Result<HomodyneReadout> homodyne(std::uint64_t mode, Quadrature quadrature) const;
  [[nodiscard]] Result<HeterodyneReadout> heterodyne(std::uint64_t mode) const;

  [[nodiscard]] std::uint64_t n_modes() const { return n_modes_; }
  [[nodiscard]] std::uint64_t phase_space_dim() const { return 2 * n_modes_; }
  [[nodiscard]] const std::vector<double>& displacement() const { return displacement_; }
  [[nodiscard]] const std::vector<double>& covariance() const { return covariance_; }

 private:
  GaussianState(std::uint64_t n_modes, std::vector<double> displacement, std::vector<double> covariance);

  [[nodiscard]] Status check_mode(std::uint64_t mode) const;
  void count_irregular();

  // The same result as apply_symplectic(block.expand(2n)) in O(n) work while rows are regular.
  void apply_block(const SymplecticBlock& block);
  void apply_block_to_displacement(const SymplecticBlock& block);
  void apply_block_to_covariance(const SymplecticBlock& block);

  std::uint64_t n_modes_;
  std::vector<double> displacement_;
  std::vector<double> covariance_;
  std::size_t displacement_irregular_ = 0;
  std::vector<std::size_t> covariance_row_irregular_;
  std::vector<double> block_rows_;  // scratch: the block's rows of S V during one update
};

}  // namespace telm
