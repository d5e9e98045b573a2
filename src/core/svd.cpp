#include "core/svd.hpp"

#include <algorithm>
#include <limits>
#include <vector>

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

#ifdef TELM_HAVE_LAPACK
}  // namespace
}  // namespace telm

// LAPACK's Fortran entry points (hidden string lengths last).
extern "C" {
void zgesdd_(const char* jobz, const int* m, const int* n, std::complex<double>* a, const int* lda, double* s,
             std::complex<double>* u, const int* ldu, std::complex<double>* vt, const int* ldvt,
             std::complex<double>* work, const int* lwork, double* rwork, int* iwork, int* info, std::size_t);
void zgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, std::complex<double>* a,
             const int* lda, double* s, std::complex<double>* u, const int* ldu, std::complex<double>* vt,
             const int* ldvt, std::complex<double>* work, const int* lwork, double* rwork, int* info, std::size_t,
             std::size_t);
}

namespace telm {
namespace {

// A row-major rows × cols matrix is, in memory, the column-major cols × rows matrix A^T. LAPACK
// decomposes that: A^T = U' S V'^H, so A = conj(V') S U'^T, and the column-major buffers of V'^H
// and U' are exactly the row-major buffers of our u and vh. No transposes are needed.
enum class LapackDriver { DivideAndConquer, QrIteration };

bool lapack_svd(LapackDriver driver, RowMatrix& a, SvdResult& out) {
  const Index rows = a.rows(), cols = a.cols();
  if (rows > std::numeric_limits<int>::max() || cols > std::numeric_limits<int>::max()) return false;
  const int m = static_cast<int>(cols), n = static_cast<int>(rows);
  const int k = std::min(m, n);
  const int mx = std::max(m, n);
  out.s.resize(k);
  out.u.resize(rows, k);
  out.vh.resize(k, cols);
  int info = 0;
  int lwork = -1;
  std::complex<double> query;
  const char s_job = 'S';
  if (driver == LapackDriver::DivideAndConquer) {
    const auto kk = static_cast<std::size_t>(k);
    std::vector<double> rwork(std::max<std::size_t>(
        1, std::max(5 * kk * kk + 5 * kk, 2 * static_cast<std::size_t>(mx) * kk + 2 * kk * kk + kk)));
    std::vector<int> iwork(8 * kk);
    zgesdd_(&s_job, &m, &n, a.data(), &m, out.s.data(), out.vh.data(), &m, out.u.data(), &k, &query, &lwork,
            rwork.data(), iwork.data(), &info, 1);
    if (info != 0) return false;
    lwork = static_cast<int>(query.real());
    std::vector<std::complex<double>> work(static_cast<std::size_t>(std::max(lwork, 1)));
    zgesdd_(&s_job, &m, &n, a.data(), &m, out.s.data(), out.vh.data(), &m, out.u.data(), &k, work.data(), &lwork,
            rwork.data(), iwork.data(), &info, 1);
  } else {
    std::vector<double> rwork(std::max<std::size_t>(1, 5 * static_cast<std::size_t>(k)));
    zgesvd_(&s_job, &s_job, &m, &n, a.data(), &m, out.s.data(), out.vh.data(), &m, out.u.data(), &k, &query,
            &lwork, rwork.data(), &info, 1, 1);
    if (info != 0) return false;
    lwork = static_cast<int>(query.real());
    std::vector<std::complex<double>> work(static_cast<std::size_t>(std::max(lwork, 1)));
    zgesvd_(&s_job, &s_job, &m, &n, a.data(), &m, out.s.data(), out.vh.data(), &m, out.u.data(), &k, work.data(),
            &lwork, rwork.data(), &info, 1, 1);
  }
  return info == 0;
}
#endif

// Jacobi rotations converge for every finite matrix: the last resort.
SvdResult jacobi_svd(const RowMatrix& a) {
  Eigen::JacobiSVD<ColMatrix> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
  SvdResult result;
  result.s = svd.singularValues().cwiseAbs();
  result.u = svd.matrixU();
  result.vh = svd.matrixV().adjoint();
  return result;
}

[[maybe_unused]] SvdResult eigen_svd(const RowMatrix& a) {
  Eigen::BDCSVD<ColMatrix> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
  if (svd.info() != Eigen::Success) return jacobi_svd(a);
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
#ifdef TELM_HAVE_LAPACK
  // Divide and conquer first; if it reports non-convergence, QR iteration, then Jacobi.
  SvdResult result;
  RowMatrix work = a;
  if (lapack_svd(LapackDriver::DivideAndConquer, work, result)) return result;
  work = a;
  if (lapack_svd(LapackDriver::QrIteration, work, result)) return result;
  return jacobi_svd(a);
#else
  return eigen_svd(a);
#endif
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
