#include "cv/real_matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/invariant.hpp"

namespace telm {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(RealMatrix, IdentityIsRowMajorUnitDiagonal) {
  EXPECT_EQ(identity(1), (std::vector<double>{1.0}));
  EXPECT_EQ(identity(3), (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_TRUE(identity(0).empty());
}

TEST(RealMatrix, MatMulMultipliesRowMajorMatrices) {
  const std::vector<double> a{1, 2, 3, 4};
  const std::vector<double> b{5, 6, 7, 8};
  EXPECT_EQ(mat_mul(a, b, 2), (std::vector<double>{19, 22, 43, 50}));
}

TEST(RealMatrix, MatMulSkipsZerosOfTheLeftFactorOnly) {
  // +0 and -0 on the left never meet the infinity in b; a zero on the right does meet a left infinity.
  const std::vector<double> a{0.0, 1.0, -0.0, 2.0};
  const std::vector<double> b{inf, inf, 3.0, 4.0};
  EXPECT_EQ(mat_mul(a, b, 2), (std::vector<double>{3, 4, 6, 8}));

  const std::vector<double> a_inf{inf, 0.0, 0.0, 1.0};
  const std::vector<double> b_zero{0.0, 1.0, 2.0, 3.0};
  const auto c = mat_mul(a_inf, b_zero, 2);
  EXPECT_TRUE(std::isnan(c[0]));  // inf * 0
  EXPECT_EQ(c[1], inf);
  EXPECT_EQ(c[2], 2.0);
  EXPECT_EQ(c[3], 3.0);
}

TEST(RealMatrix, MatMulDoesNotSkipNotANumber) {
  const std::vector<double> a{nan, 0.0, 0.0, 1.0};
  const std::vector<double> b{0.0, 0.0, 0.0, 1.0};
  const auto c = mat_mul(a, b, 2);
  EXPECT_TRUE(std::isnan(c[0]));
  EXPECT_TRUE(std::isnan(c[1]));
  EXPECT_EQ(c[2], 0.0);
  EXPECT_EQ(c[3], 1.0);
}

TEST(RealMatrix, MatMulSumsFromPositiveZero) {
  const std::vector<double> a{-1.0, 0.0, 0.0, 1.0};
  const std::vector<double> b{0.0, 0.0, 0.0, -0.0};
  const auto c = mat_mul(a, b, 2);
  for (double v : c) EXPECT_FALSE(std::signbit(v));  // +0 + (-0) is +0
}

TEST(RealMatrix, MismatchedLengthsAreAnInvariantViolationNotACrash) {
  const std::vector<double> a{1, 2, 3};
  EXPECT_TRUE(mat_mul(a, a, 2).empty());
  EXPECT_TRUE(take_invariant_violation());
}

}  // namespace
}  // namespace telm
