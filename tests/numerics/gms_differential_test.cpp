// The qubit fast paths against the generic kernel (bit for bit), and both against a plain dense
// matrix-vector product with the full operator built from the small matrix (up to rounding).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "core/invariant.hpp"
#include "numerics/gms.hpp"

namespace telm {
namespace {

using Indices = std::vector<std::uint64_t>;

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  double uniform() { return std::uniform_real_distribution<double>(-1.0, 1.0)(engine_); }
  std::uint64_t below(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(engine_); }
  std::mt19937_64& engine() { return engine_; }

 private:
  std::mt19937_64 engine_;
};

enum class Shape { Dense, Monomial, Diagonal, SparseDense, ZeroRow, Real, RxShaped, RealMonomial };

std::vector<Complex> random_matrix(Random& rng, std::uint64_t d, Shape shape) {
  std::vector<Complex> m(d * d);
  switch (shape) {
    case Shape::Dense:
      for (auto& z : m) z = {rng.uniform(), rng.uniform()};
      break;
    case Shape::Monomial: {
      Indices perm(d);
      for (std::uint64_t i = 0; i < d; ++i) perm[i] = i;
      std::shuffle(perm.begin(), perm.end(), rng.engine());
      // Zero parts of either sign, and entries with one zero part, as real gates have.
      for (std::uint64_t r = 0; r < d; ++r) {
        for (std::uint64_t c = 0; c < d; ++c) m[r * d + c] = {rng.below(2) ? 0.0 : -0.0, rng.below(2) ? 0.0 : -0.0};
        const auto kind = rng.below(3);
        m[r * d + perm[r]] = {kind == 1 ? 0.0 : rng.uniform(), kind == 2 ? -0.0 : rng.uniform()};
      }
      break;
    }
    case Shape::Diagonal:
      for (std::uint64_t r = 0; r < d; ++r) m[r * d + r] = {rng.uniform(), rng.uniform()};
      break;
    case Shape::SparseDense:  // some rows with two entries: must not take the single-entry loop
      for (auto& z : m) z = rng.below(3) == 0 ? Complex{rng.uniform(), rng.uniform()} : Complex{};
      m[0] = {rng.uniform(), 0.0};
      m[1] = {0.0, rng.uniform()};
      break;
    case Shape::Real:  // imaginary parts are zeros of either sign, as in H, RY, CNOT
      for (auto& z : m) z = {rng.below(5) == 0 ? 0.0 : rng.uniform(), rng.below(2) ? 0.0 : -0.0};
      break;
    case Shape::RxShaped:  // real diagonal, imaginary off-diagonal, as in RX
      for (std::uint64_t r = 0; r < d; ++r) {
        for (std::uint64_t c = 0; c < d; ++c) {
          const double zero = rng.below(2) ? 0.0 : -0.0;
          m[r * d + c] = r == c ? Complex{rng.uniform(), zero} : Complex{zero, rng.uniform()};
        }
      }
      break;
    case Shape::RealMonomial:
      m = random_matrix(rng, d, Shape::Monomial);
      for (auto& z : m) z.im = rng.below(2) ? 0.0 : -0.0;
      break;
    case Shape::ZeroRow:
      for (std::uint64_t r = 0; r < d; ++r) m[r * d + (r + 1) % d] = {rng.uniform(), rng.uniform()};
      for (std::uint64_t c = 0; c < d; ++c) m[(d - 1) * d + c] = {};
      break;
  }
  return m;
}

ComplexBuffer random_state(Random& rng, std::uint64_t len) {
  auto buffer = ComplexBuffer::zeros(len);
  for (std::uint64_t i = 0; i < len; ++i) {
    const auto kind = rng.below(8);
    Complex z{rng.uniform(), rng.uniform()};
    if (kind == 0) z = {0.0, -0.0};
    if (kind == 1) z = {-0.0, rng.uniform()};
    buffer.set(i, z);
  }
  return buffer;
}

// y = F x with F the full operator: F(i, j) = M(block(i), block(j)) when i and j agree outside
// the targets, else 0.
std::vector<Complex> dense_reference(const ComplexBuffer& x, const Indices& dims, const Indices& targets,
                                     const std::vector<Complex>& m) {
  const auto strides = subsystem_strides(dims);
  const std::uint64_t len = x.len();
  std::uint64_t d = 1;
  for (auto t : targets) d *= dims[t];
  auto digit = [&](std::uint64_t index, std::uint64_t subsystem) { return (index / strides[subsystem]) % dims[subsystem]; };
  auto block_index = [&](std::uint64_t index) {
    std::uint64_t b = 0;
    for (auto t : targets) b = b * dims[t] + digit(index, t);
    return b;
  };
  auto same_outside = [&](std::uint64_t i, std::uint64_t j) {
    for (std::uint64_t s = 0; s < dims.size(); ++s) {
      if (std::find(targets.begin(), targets.end(), s) == targets.end() && digit(i, s) != digit(j, s)) return false;
    }
    return true;
  };
  std::vector<Complex> y(len);
  for (std::uint64_t i = 0; i < len; ++i) {
    double sr = 0.0, si = 0.0;
    for (std::uint64_t j = 0; j < len; ++j) {
      if (!same_outside(i, j)) continue;
      const Complex e = m[block_index(i) * d + block_index(j)];
      const Complex a = x.get(j);
      sr += e.re * a.re - e.im * a.im;
      si += e.re * a.im + e.im * a.re;
    }
    y[i] = {sr, si};
  }
  return y;
}

void expect_bitwise_equal(const ComplexBuffer& a, const ComplexBuffer& b, const char* what) {
  ASSERT_EQ(a.len(), b.len());
  for (std::size_t i = 0; i < a.data().size(); ++i) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(a.data()[i]), std::bit_cast<std::uint64_t>(b.data()[i]))
        << what << " differs at double " << i;
  }
}

void expect_close(const ComplexBuffer& a, const std::vector<Complex>& b, const char* what) {
  ASSERT_EQ(a.len(), b.size());
  for (std::uint64_t i = 0; i < a.len(); ++i) {
    ASSERT_NEAR(a.get(i).re, b[i].re, 1e-12) << what << " at " << i;
    ASSERT_NEAR(a.get(i).im, b[i].im, 1e-12) << what << " at " << i;
  }
}

TEST(GatherScatterDifferential, QubitFastPathsMatchGenericKernelAndDenseProduct) {
  Random rng(20261211);
  const Shape shapes[] = {Shape::Dense,   Shape::Monomial, Shape::Diagonal,    Shape::SparseDense,
                          Shape::ZeroRow, Shape::Real,     Shape::RxShaped,    Shape::RealMonomial};
  for (int trial = 0; trial < 640; ++trial) {
    const std::uint64_t n = 1 + rng.below(8);
    const std::uint64_t k = n == 1 ? 1 : 1 + rng.below(2);
    Indices targets;
    while (targets.size() < k) {
      const auto t = rng.below(n);
      if (std::find(targets.begin(), targets.end(), t) == targets.end()) targets.push_back(t);
    }
    std::sort(targets.begin(), targets.end());
    const Indices dims(n, 2);
    const std::uint64_t d = k == 1 ? 2 : 4;
    const auto m = random_matrix(rng, d, shapes[trial % 8]);
    const auto start = random_state(rng, std::uint64_t{1} << n);

    auto fast = start;
    auto generic = start;
    apply_gate(fast, dims, targets, m);
    apply_gate_generic(generic, dims, targets, m);
    SCOPED_TRACE(testing::Message() << "trial " << trial << " n " << n << " targets " << targets[0] << ","
                                    << targets.back());
    expect_bitwise_equal(fast, generic, "fast path vs generic kernel");
    expect_close(generic, dense_reference(start, dims, targets, m), "generic kernel vs dense product");
  }
  EXPECT_FALSE(take_invariant_violation());
}

TEST(GatherScatterDifferential, MixedDimensionsMatchDenseProduct) {
  Random rng(7);
  for (int trial = 0; trial < 60; ++trial) {
    const std::uint64_t n = 1 + rng.below(4);
    Indices dims(n);
    for (auto& dim : dims) dim = 2 + rng.below(2);
    std::uint64_t len = 1;
    for (auto dim : dims) len *= dim;
    const std::uint64_t k = n == 1 ? 1 : 1 + rng.below(2);
    Indices targets;
    while (targets.size() < k) {
      const auto t = rng.below(n);
      if (std::find(targets.begin(), targets.end(), t) == targets.end()) targets.push_back(t);
    }
    std::sort(targets.begin(), targets.end());
    std::uint64_t d = 1;
    for (auto t : targets) d *= dims[t];
    const Shape shape = trial % 3 == 0 ? Shape::Dense : trial % 3 == 1 ? Shape::Monomial : Shape::Real;
    const auto m = random_matrix(rng, d, shape);
    const auto start = random_state(rng, len);

    auto fast = start;
    auto generic = start;
    apply_gate(fast, dims, targets, m);
    apply_gate_generic(generic, dims, targets, m);
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    expect_bitwise_equal(fast, generic, "dispatching kernel vs generic kernel");
    expect_close(generic, dense_reference(start, dims, targets, m), "generic kernel vs dense product");
  }
  EXPECT_FALSE(take_invariant_violation());
}

}  // namespace
}  // namespace telm
