#include "core/svd.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include <Eigen/SVD>

#include "core/chacha.hpp"
#include "core/dense.hpp"

#ifdef TELM_HAVE_LAPACK
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
#endif

namespace telm {
namespace {

using Eigen::Index;
using dense::ColMatrix;
using dense::Op;

// a = u · diag(s) · vt, all column-major: u is m × k, vt is k × n, k = min(m, n).
struct ColSvd {
  Eigen::VectorXd s;
  ColMatrix u;
  ColMatrix vt;
};

#ifdef TELM_HAVE_LAPACK
enum class LapackDriver { DivideAndConquer, QrIteration };

// False when the driver reports non-convergence (or the sizes do not fit its integers).
bool lapack_svd(LapackDriver driver, ColMatrix& a, ColSvd& out) {
  if (a.rows() > std::numeric_limits<int>::max() || a.cols() > std::numeric_limits<int>::max()) return false;
  const int m = static_cast<int>(a.rows()), n = static_cast<int>(a.cols());
  const int k = std::min(m, n);
  const int mx = std::max(m, n);
  out.s.resize(k);
  out.u.resize(m, k);
  out.vt.resize(k, n);
  int info = 0;
  int lwork = -1;
  std::complex<double> query;
  const char job = 'S';
  const auto kk = static_cast<std::size_t>(k);
  if (driver == LapackDriver::DivideAndConquer) {
    std::vector<double> rwork(std::max<std::size_t>(
        1, std::max(5 * kk * kk + 5 * kk, 2 * static_cast<std::size_t>(mx) * kk + 2 * kk * kk + kk)));
    std::vector<int> iwork(8 * kk);
    zgesdd_(&job, &m, &n, a.data(), &m, out.s.data(), out.u.data(), &m, out.vt.data(), &k, &query, &lwork,
            rwork.data(), iwork.data(), &info, 1);
    if (info != 0) return false;
    lwork = std::max(1, static_cast<int>(query.real()));
    std::vector<std::complex<double>> work(static_cast<std::size_t>(lwork));
    zgesdd_(&job, &m, &n, a.data(), &m, out.s.data(), out.u.data(), &m, out.vt.data(), &k, work.data(), &lwork,
            rwork.data(), iwork.data(), &info, 1);
  } else {
    std::vector<double> rwork(std::max<std::size_t>(1, 5 * kk));
    zgesvd_(&job, &job, &m, &n, a.data(), &m, out.s.data(), out.u.data(), &m, out.vt.data(), &k, &query, &lwork,
            rwork.data(), &info, 1, 1);
    if (info != 0) return false;
    lwork = std::max(1, static_cast<int>(query.real()));
    std::vector<std::complex<double>> work(static_cast<std::size_t>(lwork));
    zgesvd_(&job, &job, &m, &n, a.data(), &m, out.s.data(), out.u.data(), &m, out.vt.data(), &k, work.data(),
            &lwork, rwork.data(), &info, 1, 1);
  }
  return info == 0;
}
#endif

// Jacobi rotations converge for every finite matrix: the last resort.
ColSvd jacobi_svd(const ColMatrix& a) {
  Eigen::JacobiSVD<ColMatrix> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
  return ColSvd{svd.singularValues().cwiseAbs(), svd.matrixU(), svd.matrixV().adjoint()};
}

[[maybe_unused]] ColSvd eigen_svd(const ColMatrix& a) {
  Eigen::BDCSVD<ColMatrix> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
  if (svd.info() != Eigen::Success) return jacobi_svd(a);
  return ColSvd{svd.singularValues().cwiseAbs(), svd.matrixU(), svd.matrixV().adjoint()};
}

ColSvd poisoned(Index rows, Index cols, Index k) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return ColSvd{Eigen::VectorXd::Constant(k, nan), ColMatrix::Identity(rows, k),
                ColMatrix::Constant(k, cols, std::complex<double>(nan, nan))};
}

// The thin decomposition of a column-major matrix (consumed); never fails.
ColSvd col_svd(ColMatrix a) {
  const Index rows = a.rows(), cols = a.cols(), k = std::min(rows, cols);
  // Iterative decompositions give no defined answer for non-finite input; decide it here.
  if (!a.allFinite()) return poisoned(rows, cols, k);
  if (k == 0) return ColSvd{Eigen::VectorXd(0), ColMatrix(rows, 0), ColMatrix(0, cols)};
#ifdef TELM_HAVE_LAPACK
  // Divide and conquer first; if it reports non-convergence, QR iteration, then Jacobi.
  ColSvd result;
  ColMatrix work = a;
  if (lapack_svd(LapackDriver::DivideAndConquer, work, result)) return result;
  work = a;
  if (lapack_svd(LapackDriver::QrIteration, work, result)) return result;
  return jacobi_svd(a);
#else
  return eigen_svd(a);
#endif
}

}  // namespace

SvdResult thin_svd(RowMatrix a) {
  // The row-major buffer is the column-major transpose: A^T = U' S V'^H gives A = conj(V') S U'^T,
  // and the column-major buffers of V'^H and U' are the row-major buffers of u and vh.
  const Index rows = a.rows(), cols = a.cols();
  ColSvd t = col_svd(Eigen::Map<const ColMatrix>(a.data(), cols, rows));
  const Index k = t.s.size();
  SvdResult result;
  result.s = std::move(t.s);
  result.u = Eigen::Map<const RowMatrix>(t.vt.data(), rows, k);
  result.vh = Eigen::Map<const RowMatrix>(t.u.data(), k, cols);
  return result;
}

SvdResult randomized_svd(const Eigen::Ref<const RowMatrix>& a, std::uint64_t rank, std::uint64_t oversampling,
                         std::uint64_t seed) {
  const Index rows = a.rows(), cols = a.cols();
  const std::uint64_t k = std::max<std::uint64_t>(rank, 1);
  const std::uint64_t sketch_max =
      k > std::numeric_limits<std::uint64_t>::max() - oversampling ? std::numeric_limits<std::uint64_t>::max()
                                                                   : k + oversampling;
  const auto sketch = static_cast<Index>(std::min<std::uint64_t>(
      std::min(static_cast<std::uint64_t>(rows), static_cast<std::uint64_t>(cols)), sketch_max));
  const auto kept = static_cast<Index>(std::min<std::uint64_t>(k, static_cast<std::uint64_t>(sketch)));
  if (!a.allFinite()) {
    ColSvd p = poisoned(rows, cols, kept);
    return SvdResult{std::move(p.s), p.u, p.vt};
  }

  // Column-major storage: filling it in memory order is filling column by column, row 0 first.
  ColMatrix omega(cols, sketch);
  ChaChaStream stream = ChaChaStream::from_seed(seed);
  std::complex<double>* entry = omega.data();
  for (Index i = 0; i < omega.size(); ++i) {
    const double re = stream.next_symmetric_unit();
    const double im = stream.next_symmetric_unit();
    entry[i] = std::complex<double>(re, im);
  }

  // The row-major a is the column-major a^T (cols × rows, leading dimension outerStride).
  const Index lda = a.outerStride();
  ColMatrix q(rows, sketch);
  dense::gemm(Op::Transpose, Op::None, rows, sketch, cols, a.data(), lda, omega.data(), cols, q.data(), rows);
  ColMatrix r;
  dense::thin_qr(q, r);

  ColMatrix b(sketch, cols);
  dense::gemm(Op::Adjoint, Op::Transpose, sketch, cols, rows, q.data(), rows, a.data(), lda, b.data(), sketch);
  ColSvd small = col_svd(std::move(b));

  const auto kept_values = std::min<Index>(kept, small.s.size());
  SvdResult result;
  result.s = small.s.head(kept_values);
  // u = q · (first columns of u_b), written row-major: as column-major it is u_b^T · q^T.
  result.u.resize(rows, kept_values);
  dense::gemm(Op::Transpose, Op::Transpose, kept_values, rows, sketch, small.u.data(), small.u.rows(), q.data(),
              rows, result.u.data(), kept_values);
  result.vh = small.vt.topRows(kept_values);
  return result;
}

}  // namespace telm
