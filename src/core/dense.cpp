#include "core/dense.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include <Eigen/QR>

#ifdef TELM_HAVE_LAPACK
extern "C" {
void zgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const std::complex<double>* alpha, const std::complex<double>* a, const int* lda,
            const std::complex<double>* b, const int* ldb, const std::complex<double>* beta, std::complex<double>* c,
            const int* ldc, std::size_t, std::size_t);
void zgeqrf_(const int* m, const int* n, std::complex<double>* a, const int* lda, std::complex<double>* tau,
             std::complex<double>* work, const int* lwork, int* info);
void zungqr_(const int* m, const int* n, const int* k, std::complex<double>* a, const int* lda,
             const std::complex<double>* tau, std::complex<double>* work, const int* lwork, int* info);
}
#endif

namespace telm::dense {
namespace {

using Stride = Eigen::OuterStride<>;
using ConstView = Eigen::Map<const ColMatrix, 0, Stride>;
using View = Eigen::Map<ColMatrix, 0, Stride>;

[[maybe_unused]] bool fits_int(std::initializer_list<Index> values) {
  return std::all_of(values.begin(), values.end(),
                     [](Index v) { return v >= 0 && v <= std::numeric_limits<int>::max(); });
}

template <class Operand>
void multiply_into(View& c, Op op_b, const Operand& op_a_value, const ConstView& b) {
  switch (op_b) {
    case Op::None: c.noalias() = op_a_value * b; break;
    case Op::Transpose: c.noalias() = op_a_value * b.transpose(); break;
    case Op::Adjoint: c.noalias() = op_a_value * b.adjoint(); break;
  }
}

void eigen_gemm(Op op_a, Op op_b, Index m, Index n, Index k, const Complex* a, Index lda, const Complex* b, Index ldb,
                Complex* c, Index ldc) {
  const ConstView av(a, op_a == Op::None ? m : k, op_a == Op::None ? k : m, Stride(lda));
  const ConstView bv(b, op_b == Op::None ? k : n, op_b == Op::None ? n : k, Stride(ldb));
  View cv(c, m, n, Stride(ldc));
  switch (op_a) {
    case Op::None: multiply_into(cv, op_b, av, bv); break;
    case Op::Transpose: multiply_into(cv, op_b, av.transpose(), bv); break;
    case Op::Adjoint: multiply_into(cv, op_b, av.adjoint(), bv); break;
  }
}

void eigen_thin_qr(ColMatrix& a, ColMatrix& r) {
  const Index k = std::min(a.rows(), a.cols());
  Eigen::HouseholderQR<ColMatrix> qr(a);
  r = qr.matrixQR().topRows(k).triangularView<Eigen::Upper>();
  a = ColMatrix::Identity(a.rows(), k);
  a.applyOnTheLeft(qr.householderQ());
}

}  // namespace

void gemm(Op op_a, Op op_b, Index m, Index n, Index k, const Complex* a, Index lda, const Complex* b, Index ldb,
          Complex* c, Index ldc) {
  if (m == 0 || n == 0) return;
  if (k == 0) {
    View(c, m, n, Stride(ldc)).setZero();
    return;
  }
#ifdef TELM_HAVE_LAPACK
  if (fits_int({m, n, k, lda, ldb, ldc})) {
    const int mi = static_cast<int>(m), ni = static_cast<int>(n), ki = static_cast<int>(k);
    const int ldai = static_cast<int>(lda), ldbi = static_cast<int>(ldb), ldci = static_cast<int>(ldc);
    const Complex one(1.0, 0.0), zero(0.0, 0.0);
    const char ta = static_cast<char>(op_a), tb = static_cast<char>(op_b);
    zgemm_(&ta, &tb, &mi, &ni, &ki, &one, a, &ldai, b, &ldbi, &zero, c, &ldci, 1, 1);
    return;
  }
#endif
  eigen_gemm(op_a, op_b, m, n, k, a, lda, b, ldb, c, ldc);
}

void thin_qr(ColMatrix& a, ColMatrix& r) {
  const Index rows = a.rows(), cols = a.cols();
  const Index k = std::min(rows, cols);
#ifdef TELM_HAVE_LAPACK
  if (k > 0 && fits_int({rows, cols})) {
    const int m = static_cast<int>(rows), n = static_cast<int>(cols), kk = static_cast<int>(k);
    std::vector<Complex> tau(static_cast<std::size_t>(k));
    int info = 0, lwork = -1;
    Complex query;
    zgeqrf_(&m, &n, a.data(), &m, tau.data(), &query, &lwork, &info);
    int lwork_q = -1;
    Complex query_q;
    if (info == 0) zungqr_(&m, &kk, &kk, a.data(), &m, tau.data(), &query_q, &lwork_q, &info);
    if (info == 0) {
      lwork = std::max({1, static_cast<int>(query.real()), static_cast<int>(query_q.real())});
      std::vector<Complex> work(static_cast<std::size_t>(lwork));
      zgeqrf_(&m, &n, a.data(), &m, tau.data(), work.data(), &lwork, &info);
      if (info == 0) {
        r = a.topRows(k).triangularView<Eigen::Upper>();
        a.conservativeResize(rows, k);  // keeps the leading reflectors, column-major
        zungqr_(&m, &kk, &kk, a.data(), &m, tau.data(), work.data(), &lwork, &info);
        if (info == 0) return;
      }
    }
    // The LAPACK routines report only argument errors; none can occur here. Recompute safely.
  }
#endif
  eigen_thin_qr(a, r);
}

}  // namespace telm::dense
