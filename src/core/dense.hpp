#pragma once

#include <complex>

#include <Eigen/Core>

namespace telm::dense {

using Complex = std::complex<double>;
using Index = Eigen::Index;
using ColMatrix = Eigen::MatrixXcd;

// How an operand enters a product: as stored, transposed, or conjugate-transposed.
enum class Op : char { None = 'N', Transpose = 'T', Adjoint = 'C' };

// c = op(a) · op(b) for column-major operands with leading dimensions (c is m × n, the inner
// extent k). A row-major matrix is passed as the column-major view of its transpose.
void gemm(Op op_a, Op op_b, Index m, Index n, Index k, const Complex* a, Index lda, const Complex* b, Index ldb,
          Complex* c, Index ldc);

// Thin QR of a column-major matrix: on return `a` holds the k = min(rows, cols) orthonormal
// columns of Q (rows × k) and `r` the upper-trapezoidal k × cols factor, with Q · R = a.
void thin_qr(ColMatrix& a, ColMatrix& r);

}  // namespace telm::dense
