#include "cv/symplectic_block.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace telm {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

TEST(SqueezeBlock, IsDiagonalScalingOfTheModesQuadratures) {
  const auto block = squeeze_block(1, 0.5);
  const std::vector<double> s = block.expand(6);
  std::vector<double> expected(36, 0.0);
  for (int i = 0; i < 6; ++i) expected[i * 6 + i] = 1.0;
  expected[2 * 6 + 2] = std::exp(-0.5);
  expected[3 * 6 + 3] = std::exp(0.5);
  EXPECT_EQ(s, expected);
  // (a - b) * 0 keeps the sign of a - b.
  EXPECT_TRUE(std::signbit(s[2 * 6 + 3]));
  EXPECT_TRUE(std::signbit(s[3 * 6 + 2]));
  EXPECT_FALSE(std::signbit(squeeze_block(0, -0.5).entry(0, 1)));
}

TEST(SqueezeBlock, OverflowingExponentialsGiveNotANumberEntries) {
  // r = 710: b = inf, a > 0; r = 800: a = 0 too; r = -710: a = inf.
  for (const double r : {710.0, 800.0}) {
    const auto block = squeeze_block(0, r);
    EXPECT_TRUE(std::isnan(block.entry(0, 0))) << r;  // inf * 0 + a
    EXPECT_TRUE(std::isnan(block.entry(0, 1))) << r;
    EXPECT_TRUE(std::isnan(block.entry(1, 0))) << r;
    EXPECT_EQ(block.entry(1, 1), inf) << r;  // a * 0 + inf
  }
  const auto block = squeeze_block(0, -710.0);
  EXPECT_EQ(block.entry(0, 0), inf);
  EXPECT_TRUE(std::isnan(block.entry(0, 1)));
  EXPECT_TRUE(std::isnan(block.entry(1, 0)));
  EXPECT_TRUE(std::isnan(block.entry(1, 1)));
  EXPECT_TRUE(squeeze_block(0, 700.0).all_finite());
  EXPECT_FALSE(block.all_finite());
}

TEST(BeamsplitterBlock, HasTheSixteenEntriesOfTheTwoModeRotation) {
  const double theta = 0.3;
  const double c = std::cos(theta), s = std::sin(theta);
  const std::vector<double> m = beamsplitter_block(0, 2, theta).expand(6);
  auto at = [&](int i, int j) { return m[i * 6 + j]; };
  // a = 0, b = 4.
  EXPECT_EQ(at(0, 0), c);
  EXPECT_EQ(at(1, 1), c);
  EXPECT_EQ(at(4, 4), c);
  EXPECT_EQ(at(5, 5), c);
  EXPECT_EQ(at(0, 4), -s);
  EXPECT_EQ(at(1, 5), -s);
  EXPECT_EQ(at(4, 0), s);
  EXPECT_EQ(at(5, 1), s);
  for (auto [i, j] : {std::pair{0, 1}, {1, 0}, {4, 5}, {5, 4}, {0, 5}, {1, 4}, {4, 1}, {5, 0}}) {
    EXPECT_EQ(at(i, j), 0.0) << i << "," << j;
  }
  EXPECT_EQ(at(2, 2), 1.0);
  EXPECT_EQ(at(3, 3), 1.0);
  EXPECT_EQ(at(2, 0), 0.0);
}

TEST(BeamsplitterBlock, ModeOrderDoesNotChangeTheMatrix) {
  // Swapping the modes is the rotation by -theta: the entries move, the formulas do not.
  const std::vector<double> forward = beamsplitter_block(2, 0, 0.7).expand(6);
  const double c = std::cos(0.7), s = std::sin(0.7);
  EXPECT_EQ(forward[4 * 6 + 4], c);
  EXPECT_EQ(forward[4 * 6 + 0], -s);  // x_a' = c x_a - s x_b with a = 4, b = 0
  EXPECT_EQ(forward[0 * 6 + 4], s);
  const auto block = beamsplitter_block(2, 0, 0.7);
  EXPECT_EQ(block.index, (std::array<std::size_t, 4>{0, 1, 4, 5}));
}

TEST(BeamsplitterBlock, CrossEntriesAreZeroTimesSine) {
  // sin(-0.3) < 0 makes 0 * s a negative zero; a non-finite angle makes it not-a-number while the four
  // plain zeros stay zero.
  const std::vector<double> m = beamsplitter_block(0, 1, -0.3).expand(4);
  EXPECT_TRUE(std::signbit(m[0 * 4 + 3]));
  EXPECT_FALSE(std::signbit(m[0 * 4 + 1]));
  const std::vector<double> bad = beamsplitter_block(0, 1, inf).expand(4);
  EXPECT_TRUE(std::isnan(bad[0 * 4 + 3]));
  EXPECT_TRUE(std::isnan(bad[0 * 4 + 0]));
  EXPECT_TRUE(std::isnan(bad[0 * 4 + 2]));
  EXPECT_EQ(bad[0 * 4 + 1], 0.0);
  EXPECT_EQ(bad[2 * 4 + 3], 0.0);
  EXPECT_TRUE(beamsplitter_block(0, 1, std::numbers::pi).all_finite());
}

}  // namespace
}  // namespace telm
