// Time per gate of random squeezer / beam-splitter networks on 10, 100 and 1,000 modes: the block updates
// of squeeze and beamsplitter against the full-matrix apply_symplectic they reproduce (same bits, checked
// here on the gates that both run).
//
//   bench_gaussian_bench [--skip-full-at-1000]
#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "cv/gaussian.hpp"
#include "cv/symplectic_block.hpp"

namespace {

using telm::GaussianState;
using telm::SymplecticBlock;

struct Gate {
  bool squeezer;
  std::uint64_t a, b;
  double value;
};

std::vector<Gate> random_network(std::uint64_t n_modes, std::size_t count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<std::uint64_t> mode(0, n_modes - 1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<Gate> gates;
  gates.reserve(count);
  for (std::size_t g = 0; g < count; ++g) {
    if (unit(rng) < 0.3) {
      gates.push_back({true, mode(rng), 0, 0.2 * (unit(rng) - 0.5)});
    } else {
      const std::uint64_t a = mode(rng);
      std::uint64_t b = mode(rng);
      while (b == a) b = mode(rng);
      gates.push_back({false, a, b, 6.283185307179586 * unit(rng)});
    }
  }
  return gates;
}

SymplecticBlock block_of(const Gate& g) {
  return g.squeezer ? telm::squeeze_block(g.a, g.value) : telm::beamsplitter_block(g.a, g.b, g.value);
}

void apply_fast(GaussianState& state, const Gate& g) {
  const bool ok = g.squeezer ? state.squeeze(g.a, g.value).has_value() : state.beamsplitter(g.a, g.b, g.value).has_value();
  if (!ok) std::fprintf(stderr, "gate failed\n");
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool same_bits(const std::vector<double>& x, const std::vector<double>& y) {
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const bool both_nan = std::isnan(x[i]) && std::isnan(y[i]);
    if (!both_nan && std::bit_cast<std::uint64_t>(x[i]) != std::bit_cast<std::uint64_t>(y[i])) return false;
  }
  return true;
}

// The memory floor of any per-gate update that keeps the full matrix: rotate (or scale) the block columns of
// every row in place, with none of the bookkeeping that keeps the results identical to the full products.
double floor_us_per_gate(std::vector<double> covariance, std::size_t side, const std::vector<Gate>& network) {
  const auto start = std::chrono::steady_clock::now();
  for (const Gate& g : network) {
    const SymplecticBlock block = block_of(g);
    const std::size_t a = block.index[0];
    const std::size_t b = block.index[block.count - 2];
    const double c = block.entry(0, 0);
    const double s = block.count == 4 ? block.entry(0, 2) : block.entry(1, 1);
    for (std::size_t i = 0; i < side; ++i) {
      double* row = covariance.data() + i * side;
      if (g.squeezer) {
        row[a] *= c;
        row[a + 1] *= s;
      } else {
        const double xa = row[a], pa = row[a + 1], xb = row[b], pb = row[b + 1];
        row[a] = c * xa + s * xb;
        row[a + 1] = c * pa + s * pb;
        row[b] = c * xb - s * xa;
        row[b + 1] = c * pb - s * pa;
      }
    }
  }
  const double us = 1e6 * seconds_since(start) / static_cast<double>(network.size());
  volatile double sink = covariance[side + 1];
  (void)sink;
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  const bool skip_full_at_1000 = argc > 1 && std::strcmp(argv[1], "--skip-full-at-1000") == 0;
  std::printf("%8s %10s %14s %14s %12s %10s %14s %10s %s\n", "modes", "gates", "block us/gate", "floor us/gate",
              "block/floor", "full gates", "full us/gate", "full/block", "same bits");
  struct Size {
    std::uint64_t modes;
    std::size_t gates;
    std::size_t full_gates;
  };
  for (const Size size : {Size{10, 200000, 2000}, Size{100, 50000, 20}, Size{1000, 5000, skip_full_at_1000 ? 0u : 1u}}) {
    const std::vector<Gate> network = random_network(size.modes, size.gates, 42 + size.modes);
    GaussianState state = GaussianState::vacuum(size.modes).value();
    // Warm-up: one pass over the first gates so the state is dense before timing.
    for (std::size_t g = 0; g < std::min<std::size_t>(size.gates, 4 * size.modes); ++g) apply_fast(state, network[g]);

    // Best of three passes over the network, each on a copy of the same starting state.
    const GaussianState start_state = state;
    double block_us = 0.0;
    for (int pass = 0; pass < 3; ++pass) {
      GaussianState run = start_state;
      const auto start = std::chrono::steady_clock::now();
      for (const Gate& g : network) apply_fast(run, g);
      const double us = 1e6 * seconds_since(start) / static_cast<double>(size.gates);
      block_us = pass == 0 ? us : std::min(block_us, us);
      if (pass == 2) state = std::move(run);
    }
    double floor_us = 0.0;
    for (int pass = 0; pass < 3; ++pass) {
      const double us = floor_us_per_gate(start_state.covariance(), 2 * size.modes, network);
      floor_us = pass == 0 ? us : std::min(floor_us, us);
    }

    // The full products on copies of the same dense state, gate for gate.
    double full_us = 0.0;
    bool same = true;
    if (size.full_gates > 0) {
      GaussianState fast = state;
      GaussianState full = state;
      const std::vector<Gate> tail = random_network(size.modes, size.full_gates, 7 + size.modes);
      double full_seconds = 0.0;
      for (const Gate& g : tail) {
        const std::vector<double> matrix = block_of(g).expand(2 * size.modes);
        const auto t0 = std::chrono::steady_clock::now();
        full.apply_symplectic(matrix);
        full_seconds += seconds_since(t0);
        apply_fast(fast, g);
      }
      full_us = 1e6 * full_seconds / static_cast<double>(size.full_gates);
      same = same_bits(fast.covariance(), full.covariance()) && same_bits(fast.displacement(), full.displacement());
    }
    const double trace = [&] {
      double t = 0;
      for (std::size_t i = 0; i < 2 * size.modes; ++i) t += state.covariance()[i * 2 * size.modes + i];
      return t;
    }();
    if (size.full_gates > 0) {
      std::printf("%8llu %10zu %14.3f %14.3f %12.2f %10zu %14.1f %10.0f %s   (trace %.6g)\n",
                  static_cast<unsigned long long>(size.modes), size.gates, block_us, floor_us, block_us / floor_us,
                  size.full_gates, full_us, full_us / block_us, same ? "yes" : "NO", trace);
    } else {
      std::printf("%8llu %10zu %14.3f %14.3f %12.2f %10s %14s %10s %s   (trace %.6g)\n",
                  static_cast<unsigned long long>(size.modes), size.gates, block_us, floor_us, block_us / floor_us,
                  "-", "-", "-", "-", trace);
    }
  }
  return 0;
}
