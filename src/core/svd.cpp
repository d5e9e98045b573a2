#include "core/svd.hpp"

#include <algorithm>
#include <limits>

#include <Eigen/QR>
#include <Eigen/SVD>

#include "core/chacha.hpp"

namespace telm {
namespace {

using Eigen::Index;
using ColMatrix = Eigen::MatrixXcd;

SvdResult poisoned_result(Index rows, Index cols, Index k) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  SvdResult result;
  result.s = Eigen::VectorXd::Constant(k, nan);
  result.u = RowMatrix::Identity(rows, k);
  result.vh = RowMatrix::Constant(k, cols, std::complex<double>(nan, nan));
  return result;
}

SvdResult eigen_svd(const RowMatrix& a) {
  Eigen::BDCSVD<ColMatrix> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
  SvdResult result;
  result.s = svd.singularValues().cwiseAbs();
  result.u = svd.matrixU();
  result.vh = svd.matrixV().adjoint();
  return result;
}

}  // namespace

SvdResult thin_svd(RowMatrix a) {
  // Iterative decompositions give no defined answer for non-finite input; decide it here.
  if (!a.allFinite()) return poisoned_result(a.rows(), a.cols(), std::min(a.rows(), a.cols()));
  if (a.size() == 0) {
    SvdResult empty;
    empty.u.resize(a.rows(), 0);
    empty.vh.resize(0, a.cols());
    return empty;
  }
  return eigen_svd(a);
}

SvdResult randomized_svd(const Eigen::Ref<const RowMatrix>& a, std::uint64_t rank, std::uint64_t oversampling,
                         std::uint64_t seed) {
  const auto rows = static_cast<std::uint64_t>(a.rows());
  const auto cols = static_cast<std::uint64_t>(a.cols());
  const std::uint64_t k = std::max<std::uint64_t>(rank, 1);
  const std::uint64_t sketch_max = k > std::numeric_limits<std::uint64_t>::max() - oversampling
                                       ? std::numeric_limits<std::uint64_t>::max()
                                       : k + oversampling;
  const auto sketch = static_cast<Index>(std::min(std::min(rows, cols), sketch_max));
  if (!a.allFinite()) {
    return poisoned_result(a.rows(), a.cols(), static_cast<Index>(std::min<std::uint64_t>(k, static_cast<std::uint64_t>(sketch))));
  }

  // Column-major storage: filling it in memory order is filling column by column, row 0 first.
  ColMatrix omega(a.cols(), sketch);
  ChaChaStream stream = ChaChaStream::from_seed(seed);
  std::complex<double>* entry = omega.data();
  for (Index i = 0; i < omega.size(); ++i) {
    const double re = stream.next_symmetric_unit();
    const double im = stream.next_symmetric_unit();
    entry[i] = std::complex<double>(re, im);
  }

  ColMatrix y(a.rows(), sketch);
  y.noalias() = a * omega;
  Eigen::HouseholderQR<ColMatrix> qr(std::move(y));
  ColMatrix q = ColMatrix::Identity(a.rows(), sketch);
  q.applyOnTheLeft(qr.householderQ());

  RowMatrix b(sketch, a.cols());
  b.noalias() = q.adjoint() * a;
  SvdResult small = thin_svd(std::move(b));

  const Index r = static_cast<Index>(std::min<std::uint64_t>(k, static_cast<std::uint64_t>(small.s.size())));
  SvdResult result;
  result.s = small.s.head(r);
  result.u.resize(a.rows(), r);
  result.u.noalias() = q * small.u.leftCols(r);
  result.vh = small.vh.topRows(r);
  return result;
}

}  // namespace telm
