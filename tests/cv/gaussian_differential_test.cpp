// squeeze and beamsplitter update only what their block changes; apply_symplectic with the full matrix is
// the definition. Random states (with signed zeros, infinities and not-a-number entries) and random gate
// sequences must give the same bits, not-a-number matching not-a-number.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "cv/gaussian.hpp"
#include "cv/symplectic_block.hpp"

namespace telm {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Empty when equal, else the first differing entry.
std::string first_difference(const std::vector<double>& fast, const std::vector<double>& reference) {
  if (fast.size() != reference.size()) return "sizes differ";
  for (std::size_t i = 0; i < fast.size(); ++i) {
    if (!same(fast[i], reference[i])) {
      return "entry " + std::to_string(i) + ": " + std::to_string(fast[i]) + " vs " + std::to_string(reference[i]);
    }
  }
  return {};
}

// How often each kind of irregular value appears in a random state.
struct Mix {
  double zero;        // +0 or -0
  double non_finite;  // inf, -inf or not-a-number
};

class Sampler {
 public:
  explicit Sampler(std::uint64_t seed) : rng_(seed) {}

  double entry(const Mix& mix) {
    const double u = uniform_(rng_);
    if (u < mix.zero) return pick({0.0, -0.0});
    if (u < mix.zero + mix.non_finite) return pick({inf, -inf, nan});
    if (u < mix.zero + mix.non_finite + 0.02) return pick({1e308, -1e308, 5e-324, -1e-310});
    return normal_(rng_);
  }

  double squeeze_r() {
    if (uniform_(rng_) < 0.85) return 0.5 * normal_(rng_);
    return pick({0.0, -0.0, 14.0, 710.0, -710.0, 800.0, -800.0, 1e-300, nan, inf, -inf});
  }

  double angle() {
    if (uniform_(rng_) < 0.85) return std::numbers::pi * (2 * uniform_(rng_) - 1);
    return pick({0.0, -0.0, std::numbers::pi / 2, std::numbers::pi, 1e10, nan, inf, -inf});
  }

  double alpha() {
    if (uniform_(rng_) < 0.9) return normal_(rng_);
    return pick({-0.0, inf, -inf, nan});
  }

  std::uint64_t below(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng_); }
  double uniform() { return uniform_(rng_); }

 private:
  double pick(std::initializer_list<double> values) {
    return *(values.begin() + below(values.size()));
  }

  std::mt19937_64 rng_;
  std::uniform_real_distribution<double> uniform_{0.0, 1.0};
  std::normal_distribution<double> normal_{0.0, 1.0};
};

GaussianState random_state(Sampler& sampler, std::uint64_t n_modes, const Mix& mix) {
  const std::size_t side = 2 * n_modes;
  std::vector<double> d(side), v(side * side);
  for (double& x : d) x = sampler.entry(mix);
  for (double& x : v) x = sampler.entry(mix);
  return GaussianState::from_moments(std::move(d), std::move(v)).value();
}

// Runs a random gate sequence on `fast` through squeeze/beamsplitter and on a copy through
// apply_symplectic, comparing both moments after every step.
void check_sequence(Sampler& sampler, GaussianState fast, int steps, const std::string& label) {
  GaussianState reference = fast;
  const std::uint64_t n = fast.n_modes();
  const std::size_t side = 2 * n;
  for (int step = 0; step < steps; ++step) {
    const double kind = sampler.uniform();
    std::string what;
    if (kind < 0.4 || n == 1) {
      const std::uint64_t mode = sampler.below(n);
      const double r = sampler.squeeze_r();
      what = "squeeze(" + std::to_string(mode) + ", " + std::to_string(r) + ")";
      ASSERT_TRUE(fast.squeeze(mode, r));
      reference.apply_symplectic(squeeze_block(mode, r).expand(side));
    } else if (kind < 0.9) {
      const std::uint64_t a = sampler.below(n);
      std::uint64_t b = sampler.below(n - 1);
      if (b >= a) ++b;
      const double theta = sampler.angle();
      what = "beamsplitter(" + std::to_string(a) + ", " + std::to_string(b) + ", " + std::to_string(theta) + ")";
      ASSERT_TRUE(fast.beamsplitter(a, b, theta));
      reference.apply_symplectic(beamsplitter_block(a, b, theta).expand(side));
    } else {
      const std::uint64_t mode = sampler.below(n);
      const double x = sampler.alpha(), p = sampler.alpha();
      what = "displace";
      ASSERT_TRUE(fast.displace(mode, x, p));
      ASSERT_TRUE(reference.displace(mode, x, p));
    }
    const std::string d_diff = first_difference(fast.displacement(), reference.displacement());
    ASSERT_TRUE(d_diff.empty()) << label << " step " << step << " " << what << ": displacement " << d_diff;
    const std::string v_diff = first_difference(fast.covariance(), reference.covariance());
    ASSERT_TRUE(v_diff.empty()) << label << " step " << step << " " << what << ": covariance " << v_diff;
  }
}

TEST(GaussianBlockUpdate, MatchesTheFullProductsFromTheVacuum) {
  Sampler sampler(1);
  for (int trial = 0; trial < 200; ++trial) {
    const std::uint64_t n = 1 + sampler.below(6);
    check_sequence(sampler, GaussianState::vacuum(n).value(), 30, "vacuum trial " + std::to_string(trial));
  }
}

TEST(GaussianBlockUpdate, MatchesTheFullProductsOnRandomStates) {
  const Mix mixes[] = {
      {0.0, 0.0},     // dense and finite
      {0.4, 0.0},     // sparse, with negative zeros
      {0.2, 0.02},    // a few non-finite entries
      {0.2, 0.15},    // many
      {0.0, 0.9},     // almost nothing finite
  };
  Sampler sampler(2);
  for (const Mix& mix : mixes) {
    for (int trial = 0; trial < 400; ++trial) {
      const std::uint64_t n = 1 + sampler.below(5);
      check_sequence(sampler, random_state(sampler, n, mix), 12,
                     "mix " + std::to_string(mix.zero) + "/" + std::to_string(mix.non_finite) + " trial " +
                         std::to_string(trial));
    }
  }
}

TEST(GaussianBlockUpdate, MatchesTheFullProductsWithOneNonFiniteEntry) {
  // A lone infinity or not-a-number at every position of a small state, the case where "every other term"
  // matters most: its own entry survives, the rest of its row turns into not-a-number.
  Sampler sampler(3);
  for (const double bad : {inf, -inf, nan}) {
    for (std::size_t position = 0; position < 36; ++position) {
      std::vector<double> v(36);
      for (std::size_t i = 0; i < 36; ++i) v[i] = (i % 7 == 0) ? 0.0 : sampler.entry({0.0, 0.0});
      v[position] = bad;
      std::vector<double> d{1, 2, 3, 4, 5, 6};
      d[position % 6] = bad;
      check_sequence(sampler, GaussianState::from_moments(d, v).value(), 4,
                     "lone " + std::to_string(bad) + " at " + std::to_string(position));
    }
  }
}

}  // namespace
}  // namespace telm
