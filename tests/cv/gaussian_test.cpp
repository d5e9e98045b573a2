#include "cv/gaussian.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "core/invariant.hpp"

namespace telm {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

template <class T>
Status as_status(const Result<T>& result) {
  if (!result) return fail(result.error());
  return {};
}

GaussianState vacuum(std::uint64_t n) {
  auto state = GaussianState::vacuum(n);
  EXPECT_TRUE(state);
  return std::move(state).value();
}

TEST(GaussianVacuum, HasZeroMeansAndUnitCovariance) {
  const GaussianState one = vacuum(1);
  EXPECT_EQ(one.n_modes(), 1u);
  EXPECT_EQ(one.phase_space_dim(), 2u);
  EXPECT_EQ(one.displacement(), (std::vector<double>{0, 0}));
  EXPECT_EQ(one.covariance(), (std::vector<double>{1, 0, 0, 1}));
  const GaussianState three = vacuum(3);
  EXPECT_EQ(three.phase_space_dim(), 6u);
  EXPECT_EQ(three.covariance().size(), 36u);
  EXPECT_EQ(three.covariance()[2 * 6 + 2], 1.0);
  EXPECT_EQ(three.covariance()[2 * 6 + 3], 0.0);
}

TEST(GaussianVacuum, ZeroModesIsAnInvalidDimension) {
  const auto state = GaussianState::vacuum(0);
  ASSERT_FALSE(state);
  EXPECT_EQ(state.error(), TelmError(errors::InvalidDimension{0}));
  EXPECT_EQ(state.error().message(), "invalid subsystem dimension 0: must be \u2265 2");
}

TEST(GaussianVacuum, CovariancesThatCannotBeAddressedAreRefusedBeforeAllocating) {
  // 2n overflows; (2n)^2 overflows; (2n)^2 doubles exceed what a vector can hold.
  for (const std::uint64_t n : {std::numeric_limits<std::uint64_t>::max(), std::uint64_t{1} << 63,
                                std::uint64_t{1} << 32, std::uint64_t{1} << 31, std::uint64_t{1} << 29}) {
    const auto state = GaussianState::vacuum(n);
    ASSERT_FALSE(state) << n;
    EXPECT_EQ(state.error().kind(), ErrorKind::DimensionOverflow) << n;
  }
}

TEST(GaussianSqueeze, ScalesXDownAndPUp) {
  GaussianState state = vacuum(1);
  ASSERT_TRUE(state.squeeze(0, 1.0));
  const double a = std::exp(-1.0), b = std::exp(1.0);
  EXPECT_EQ(state.covariance(), (std::vector<double>{a * a, 0, 0, b * b}));
  EXPECT_EQ(state.displacement(), (std::vector<double>{0, 0}));
  ASSERT_TRUE(state.squeeze(0, -1.0));
  const auto& v = state.covariance();
  EXPECT_NEAR(v[0], 1.0, 1e-15);
  EXPECT_NEAR(v[3], 1.0, 1e-15);
  EXPECT_EQ(v[1], 0.0);
  EXPECT_EQ(v[2], 0.0);
}

TEST(GaussianSqueeze, ScalesAnEarlierDisplacement) {
  GaussianState state = vacuum(1);
  ASSERT_TRUE(state.displace(0, 1.0, 1.0));
  ASSERT_TRUE(state.squeeze(0, std::log(2.0)));
  EXPECT_EQ(state.displacement(), (std::vector<double>{0.5, 2.0}));
}

TEST(GaussianSqueeze, OverflowMakesThatModesRowsNotANumberAndNothingElse) {
  for (const double r : {710.0, 800.0, -710.0, -800.0}) {
    GaussianState state = vacuum(3);
    ASSERT_TRUE(state.squeeze(1, r));
    const auto& v = state.covariance();
    for (std::size_t i = 0; i < 6; ++i) {
      for (std::size_t j = 0; j < 6; ++j) {
        const double entry = v[i * 6 + j];
        if (i == 2 || i == 3) {
          EXPECT_TRUE(std::isnan(entry)) << r << " " << i << "," << j;
        } else {
          EXPECT_EQ(entry, i == j ? 1.0 : 0.0) << r << " " << i << "," << j;
        }
      }
    }
    // S d adds 0 * d terms: the means of mode 1 become not-a-number, the others stay 0.
    const auto& d = state.displacement();
    EXPECT_EQ(d[0], 0.0);
    EXPECT_TRUE(std::isnan(d[2]));
    EXPECT_TRUE(std::isnan(d[3]));
    EXPECT_EQ(d[5], 0.0);
    // The read-outs report the not-a-number variance at the floor.
    EXPECT_EQ(state.homodyne(1, Quadrature::X).value().variance, 1e-12);
    EXPECT_EQ(state.homodyne(0, Quadrature::P).value(), (HomodyneReadout{0.0, 1.0}));
  }
}

TEST(GaussianDisplace, AddsToTheMeansOnly) {
  GaussianState state = vacuum(2);
  ASSERT_TRUE(state.displace(1, 1.5, -2.0));
  ASSERT_TRUE(state.displace(1, 0.5, 0.0));
  EXPECT_EQ(state.displacement(), (std::vector<double>{0, 0, 2.0, -2.0}));
  EXPECT_EQ(state.covariance(), GaussianState::vacuum(2).value().covariance());
}

TEST(GaussianBeamsplitter, QuarterTurnMovesTheMeanToTheOtherMode) {
  GaussianState state = vacuum(2);
  ASSERT_TRUE(state.displace(0, 1.0, 0.0));
  ASSERT_TRUE(state.beamsplitter(0, 1, std::numbers::pi / 2));
  const auto& d = state.displacement();
  EXPECT_NEAR(d[0], 0.0, 1e-15);
  EXPECT_EQ(d[1], 0.0);
  EXPECT_EQ(d[2], 1.0);  // sin(pi/2) rounds to 1
  EXPECT_EQ(d[3], 0.0);
  // A passive gate keeps the vacuum covariance up to rounding.
  const auto& v = state.covariance();
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = 0; j < 4; ++j) EXPECT_NEAR(v[i * 4 + j], i == j ? 1.0 : 0.0, 1e-15);
  }
}

TEST(GaussianBeamsplitter, BalancedSplitterOfASqueezedModeCorrelatesTheModes) {
  GaussianState state = vacuum(2);
  ASSERT_TRUE(state.squeeze(0, 0.5));
  ASSERT_TRUE(state.beamsplitter(0, 1, std::numbers::pi / 4));
  const double vx = std::exp(-1.0);
  const auto& v = state.covariance();
  EXPECT_NEAR(v[0 * 4 + 0], (vx + 1) / 2, 1e-15);
  EXPECT_NEAR(v[0 * 4 + 2], (vx - 1) / 2, 1e-15);
  EXPECT_NEAR(v[2 * 4 + 0], (vx - 1) / 2, 1e-15);
  EXPECT_EQ(v[0 * 4 + 3], 0.0);
}

TEST(GaussianReadout, HomodyneAndHeterodyneReadTheMoments) {
  GaussianState state = vacuum(1);
  EXPECT_EQ(state.heterodyne(0).value(), (HeterodyneReadout{0.0, 0.0, 2.0, 2.0}));
  EXPECT_EQ(state.homodyne(0, Quadrature::P).value(), (HomodyneReadout{0.0, 1.0}));
  ASSERT_TRUE(state.displace(0, 1.5, -2.0));
  EXPECT_EQ(state.homodyne(0, Quadrature::X).value(), (HomodyneReadout{1.5, 1.0}));
  EXPECT_EQ(state.homodyne(0, Quadrature::P).value(), (HomodyneReadout{-2.0, 1.0}));
  EXPECT_EQ(state.heterodyne(0).value(), (HeterodyneReadout{1.5, -2.0, 2.0, 2.0}));
  // Reading twice gives the same numbers: nothing is sampled or collapsed.
  EXPECT_EQ(state.heterodyne(0).value(), (HeterodyneReadout{1.5, -2.0, 2.0, 2.0}));
  EXPECT_EQ(state.displacement(), (std::vector<double>{1.5, -2.0}));
}

TEST(GaussianReadout, VariancesAreFlooredAtOneInATrillion) {
  GaussianState squeezed = vacuum(1);
  ASSERT_TRUE(squeezed.squeeze(0, 14.0));  // variance e^-28 ~ 6.9e-13
  EXPECT_EQ(squeezed.homodyne(0, Quadrature::X).value().variance, 1e-12);
  EXPECT_EQ(squeezed.homodyne(0, Quadrature::P).value().variance, std::exp(14.0) * std::exp(14.0));

  // Variances: -5 (below the floor even with the vacuum unit), NaN, +inf, -inf.
  const auto state = GaussianState::from_moments({0, 0, 0, 0}, {-5, 0, 0, 0,  //
                                                                0, nan, 0, 0,  //
                                                                0, 0, inf, 0,  //
                                                                0, 0, 0, -inf});
  ASSERT_TRUE(state);
  EXPECT_EQ(state->homodyne(0, Quadrature::X).value().variance, 1e-12);
  EXPECT_EQ(state->homodyne(0, Quadrature::P).value().variance, 1e-12);
  EXPECT_EQ(state->homodyne(1, Quadrature::X).value().variance, inf);
  EXPECT_EQ(state->homodyne(1, Quadrature::P).value().variance, 1e-12);
  EXPECT_EQ(state->heterodyne(0).value(), (HeterodyneReadout{0, 0, 1e-12, 1e-12}));
  EXPECT_EQ(state->heterodyne(1).value(), (HeterodyneReadout{0, 0, inf, 1e-12}));
}

TEST(GaussianModeCheck, EveryOperationRefusesAModeOutOfRangeAndChangesNothing) {
  using Op = std::function<Status(GaussianState&)>;
  struct Case {
    const char* name;
    Op op;
    std::uint64_t reported;
  };
  const std::vector<Case> cases = {
      {"squeeze", [](GaussianState& s) { return s.squeeze(2, 0.5); }, 2},
      {"displace", [](GaussianState& s) { return s.displace(7, 1.0, 1.0); }, 7},
      {"beamsplitter a", [](GaussianState& s) { return s.beamsplitter(5, 0, 0.5); }, 5},
      {"beamsplitter b", [](GaussianState& s) { return s.beamsplitter(0, 2, 0.5); }, 2},
      {"beamsplitter both", [](GaussianState& s) { return s.beamsplitter(5, 9, 0.5); }, 5},
      {"beamsplitter same out of range", [](GaussianState& s) { return s.beamsplitter(3, 3, 0.5); }, 3},
      {"homodyne", [](GaussianState& s) { return as_status(s.homodyne(2, Quadrature::P)); }, 2},
      {"heterodyne", [](GaussianState& s) { return as_status(s.heterodyne(4)); }, 4},
  };
  for (const auto& c : cases) {
    GaussianState state = vacuum(2);
    ASSERT_TRUE(state.squeeze(0, 0.25));
    ASSERT_TRUE(state.displace(1, 0.5, -0.5));
    const GaussianState before = state;
    const Status status = c.op(state);
    ASSERT_FALSE(status) << c.name;
    EXPECT_EQ(status.error(), TelmError(errors::SubsystemOutOfRange{c.reported, 2})) << c.name;
    EXPECT_EQ(status.error().message(),
              "subsystem index " + std::to_string(c.reported) + " out of range (system has 2 subsystems)");
    EXPECT_EQ(state.displacement(), before.displacement()) << c.name;
    EXPECT_EQ(state.covariance(), before.covariance()) << c.name;
  }
}

TEST(GaussianBeamsplitter, EqualModesAreNotImplemented) {
  GaussianState state = vacuum(2);
  const Status status = state.beamsplitter(1, 1, 0.5);
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), TelmError(errors::NotImplemented{"two-mode gate requires distinct modes"}));
  EXPECT_EQ(status.error().message(), "not yet implemented: two-mode gate requires distinct modes");
  EXPECT_EQ(state.covariance(), GaussianState::vacuum(2).value().covariance());
}

TEST(GaussianSymplectic, AppliesSToTheMeansAndSVSTransposedToTheCovariance) {
  GaussianState state = GaussianState::from_moments({1, 2}, {1, 0, 0, 1}).value();
  state.apply_symplectic(std::vector<double>{2, 1, 0, 1});
  EXPECT_EQ(state.displacement(), (std::vector<double>{4, 2}));
  EXPECT_EQ(state.covariance(), (std::vector<double>{5, 1, 1, 1}));
}

TEST(GaussianSymplectic, TheMeansProductAddsEveryTermZerosIncluded) {
  // S d has no zero skipping: the 0 * inf of the identity's off-diagonal reaches the other mean.
  GaussianState state = GaussianState::from_moments({inf, 1}, {1, 0, 0, 1}).value();
  state.apply_symplectic(std::vector<double>{1, 0, 0, 1});
  EXPECT_EQ(state.displacement()[0], inf);
  EXPECT_TRUE(std::isnan(state.displacement()[1]));
  EXPECT_EQ(state.covariance(), (std::vector<double>{1, 0, 0, 1}));
}

TEST(GaussianSymplectic, AMatrixOfTheWrongSizeIsAnInvariantViolationAndChangesNothing) {
  GaussianState state = vacuum(2);
  state.apply_symplectic(std::vector<double>{2, 0, 0, 2});
  EXPECT_TRUE(take_invariant_violation());
  EXPECT_EQ(state.covariance(), vacuum(2).covariance());
}

TEST(GaussianFromMoments, RefusesMomentsOfMismatchedShape) {
  EXPECT_EQ(GaussianState::from_moments({}, {}).error(), TelmError(errors::InvalidDimension{0}));
  EXPECT_EQ(GaussianState::from_moments({0, 0, 0}, std::vector<double>(9)).error().kind(),
            ErrorKind::NotImplemented);
  EXPECT_EQ(GaussianState::from_moments({0, 0}, std::vector<double>(3)).error().kind(), ErrorKind::NotImplemented);
  const auto state = GaussianState::from_moments({1, 2}, {3, 4, 5, 6});
  ASSERT_TRUE(state);
  EXPECT_EQ(state->n_modes(), 1u);
  EXPECT_EQ(state->covariance(), (std::vector<double>{3, 4, 5, 6}));
}

}  // namespace
}  // namespace telm
