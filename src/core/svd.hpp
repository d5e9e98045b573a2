#pragma once

#include <complex>
#include <cstdint>

#include <Eigen/Core>

namespace telm {

using RowMatrix = Eigen::Matrix<std::complex<double>, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// A thin decomposition a ≈ u · diag(s) · vh: s real, non-negative and non-increasing, u with
// orthonormal columns, vh with orthonormal rows, all in the same order.
struct SvdResult {
  Eigen::VectorXd s;
  RowMatrix u;   // rows × r
  RowMatrix vh;  // r × cols
};

// Thin decomposition with all min(rows, cols) singular values. The matrix is consumed (the
// decomposition may work in its storage). Never fails: a matrix with a not-a-number or infinite
// entry gives singular values that are all not-a-number, u the leading identity columns and vh
// filled with not-a-number, so that the poison shows in every later result.
[[nodiscard]] SvdResult thin_svd(RowMatrix a);

// Randomized decomposition of rank at most `rank` (at least 1) from a single sketch with
// `oversampling` extra columns and no power iterations; the sample matrix comes from the
// ChaCha stream keyed by `seed`, so equal inputs give equal results.
[[nodiscard]] SvdResult randomized_svd(const Eigen::Ref<const RowMatrix>& a, std::uint64_t rank,
                                       std::uint64_t oversampling, std::uint64_t seed);

}  // namespace telm
