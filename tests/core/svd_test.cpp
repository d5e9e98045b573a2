#include "core/svd.hpp"

#include "core/dense.hpp"

#include <cmath>
#include <limits>
#include <random>

#include <Eigen/QR>
#include <gtest/gtest.h>

namespace telm {
namespace {

RowMatrix random_matrix(Eigen::Index rows, Eigen::Index cols, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> normal;
  RowMatrix m(rows, cols);
  for (Eigen::Index i = 0; i < m.size(); ++i) m.data()[i] = {normal(gen), normal(gen)};
  return m;
}

RowMatrix reconstruct(const SvdResult& r) {
  RowMatrix scaled = r.vh;
  for (Eigen::Index i = 0; i < scaled.rows(); ++i) scaled.row(i) *= r.s[i];
  return r.u * scaled;
}

void expect_well_formed(const SvdResult& r, Eigen::Index rows, Eigen::Index cols, Eigen::Index rank) {
  ASSERT_EQ(r.s.size(), rank);
  ASSERT_EQ(r.u.rows(), rows);
  ASSERT_EQ(r.u.cols(), rank);
  ASSERT_EQ(r.vh.rows(), rank);
  ASSERT_EQ(r.vh.cols(), cols);
  for (Eigen::Index i = 0; i < rank; ++i) {
    EXPECT_GE(r.s[i], 0.0);
    if (i > 0) {
      EXPECT_LE(r.s[i], r.s[i - 1]);
    }
  }
  EXPECT_LT((r.u.adjoint() * r.u - RowMatrix::Identity(rank, rank)).norm(), 1e-12);
  EXPECT_LT((r.vh * r.vh.adjoint() - RowMatrix::Identity(rank, rank)).norm(), 1e-12);
}

TEST(ThinSvd, ReconstructsTallWideAndSquare) {
  for (const auto& [rows, cols] : {std::pair{40, 25}, std::pair{25, 40}, std::pair{1, 7}, std::pair{17, 17}}) {
    SCOPED_TRACE(testing::Message() << rows << "x" << cols);
    const RowMatrix a = random_matrix(rows, cols, 7);
    const SvdResult r = thin_svd(a);
    expect_well_formed(r, rows, cols, std::min(rows, cols));
    EXPECT_LT((reconstruct(r) - a).norm(), 1e-12 * a.norm());
  }
}

TEST(RandomizedSvd, ExactForLowRankAndDeterministic) {
  // Rank 5 with distinct singular values 5, 4, 3, 2, 1.
  const Eigen::Index rows = 120, cols = 90, rank = 5;
  Eigen::HouseholderQR<Eigen::MatrixXcd> qu(random_matrix(rows, rank, 1));
  Eigen::HouseholderQR<Eigen::MatrixXcd> qv(random_matrix(cols, rank, 2));
  const Eigen::MatrixXcd u = qu.householderQ() * Eigen::MatrixXcd::Identity(rows, rank);
  const Eigen::MatrixXcd v = qv.householderQ() * Eigen::MatrixXcd::Identity(cols, rank);
  Eigen::VectorXd sigma(rank);
  sigma << 5, 4, 3, 2, 1;
  const RowMatrix a = u * sigma.cast<std::complex<double>>().asDiagonal() * v.adjoint();

  const SvdResult r = randomized_svd(a, 8, 10, 0xABCDEF);
  expect_well_formed(r, rows, cols, 8);
  for (Eigen::Index i = 0; i < rank; ++i) EXPECT_NEAR(r.s[i], sigma[i], 1e-12);
  for (Eigen::Index i = rank; i < 8; ++i) EXPECT_LT(r.s[i], 1e-12);
  EXPECT_LT((reconstruct(r) - a).norm(), 1e-12);

  const SvdResult again = randomized_svd(a, 8, 10, 0xABCDEF);
  EXPECT_EQ(again.s, r.s);
  EXPECT_EQ(again.u, r.u);
  EXPECT_EQ(again.vh, r.vh);
}

TEST(RandomizedSvd, RankIsCappedBySize) {
  const RowMatrix a = random_matrix(70, 6, 3);
  const SvdResult r = randomized_svd(a, 64, 10, 1);
  expect_well_formed(r, 70, 6, 6);
  EXPECT_LT((reconstruct(r) - a).norm(), 1e-12 * a.norm());
}

TEST(Svd, NonFiniteInputReturnsNotANumber) {
  for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    RowMatrix a = random_matrix(80, 30, 4);
    a(3, 4) = {bad, 0.0};
    const SvdResult exact = thin_svd(a);
    ASSERT_EQ(exact.s.size(), 30);
    EXPECT_TRUE(std::isnan(exact.s[0]));
    EXPECT_EQ(exact.u.rows(), 80);
    const SvdResult sketch = randomized_svd(a, 4, 10, 9);
    ASSERT_GE(sketch.s.size(), 1);
    EXPECT_TRUE(std::isnan(sketch.s[0]));
    EXPECT_EQ(sketch.vh.cols(), 30);
  }
}

}  // namespace
}  // namespace telm

namespace telm {
namespace {

using dense::ColMatrix;
using dense::Op;

ColMatrix apply_op(const ColMatrix& m, Op op) {
  switch (op) {
    case Op::None: return m;
    case Op::Transpose: return m.transpose();
    case Op::Adjoint: return m.adjoint();
  }
  return m;
}

TEST(DenseGemm, EveryOperandFormAgainstPlainProduct) {
  const Eigen::Index m = 7, n = 5, k = 9;
  for (const Op op_a : {Op::None, Op::Transpose, Op::Adjoint}) {
    for (const Op op_b : {Op::None, Op::Transpose, Op::Adjoint}) {
      SCOPED_TRACE(testing::Message() << static_cast<char>(op_a) << static_cast<char>(op_b));
      // Stored shapes are those before the operation; leading dimensions are larger than the rows.
      const Eigen::Index a_rows = op_a == Op::None ? m : k, a_cols = op_a == Op::None ? k : m;
      const Eigen::Index b_rows = op_b == Op::None ? k : n, b_cols = op_b == Op::None ? n : k;
      const ColMatrix a_store = random_matrix(a_rows + 3, a_cols, 21);
      const ColMatrix b_store = random_matrix(b_rows + 2, b_cols, 22);
      ColMatrix c_store = ColMatrix::Constant(m + 1, n, {7.0, 7.0});
      dense::gemm(op_a, op_b, m, n, k, a_store.data(), a_rows + 3, b_store.data(), b_rows + 2, c_store.data(), m + 1);
      const ColMatrix expected =
          apply_op(a_store.topRows(a_rows), op_a) * apply_op(b_store.topRows(b_rows), op_b);
      EXPECT_LT((c_store.topRows(m) - expected).norm(), 1e-12 * expected.norm());
      EXPECT_EQ(c_store.row(m), ColMatrix::Constant(1, n, {7.0, 7.0}));  // padding untouched
    }
  }
}

TEST(DenseThinQr, TallWideAndSquare) {
  for (const auto& [rows, cols] : {std::pair{12, 5}, std::pair{5, 12}, std::pair{6, 6}, std::pair{1, 3}}) {
    SCOPED_TRACE(testing::Message() << rows << "x" << cols);
    const ColMatrix a = random_matrix(rows, cols, 31);
    ColMatrix q = a;
    ColMatrix r;
    dense::thin_qr(q, r);
    const Eigen::Index k = std::min(rows, cols);
    ASSERT_EQ(q.rows(), rows);
    ASSERT_EQ(q.cols(), k);
    ASSERT_EQ(r.rows(), k);
    ASSERT_EQ(r.cols(), cols);
    EXPECT_LT((q.adjoint() * q - ColMatrix::Identity(k, k)).norm(), 1e-12);
    EXPECT_LT((q * r - a).norm(), 1e-12 * a.norm());
    for (Eigen::Index i = 0; i < k; ++i) {
      for (Eigen::Index j = 0; j < i; ++j) EXPECT_EQ(r(i, j), std::complex<double>(0.0, 0.0));
    }
  }
}

}  // namespace
}  // namespace telm
