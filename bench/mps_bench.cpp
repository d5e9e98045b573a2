// Random brickwork on an MPS chain: RY on every qubit, then CNOTs on the even bonds (even
// layers) or the odd bonds (odd layers). Prints the wall time per two-site gate (whole circuit
// time divided by the number of CNOTs) and the kept norm, for chi_max 32, 64 and 128.
// Usage: bench_mps_bench [n_qubits=50] [depth=20] [repeats=3]; single-threaded linear algebra.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/tensor.hpp"

#ifdef TELM_HAVE_LAPACK
extern "C" void openblas_set_num_threads(int);
#endif

namespace {

using C = std::complex<double>;

struct RunResult {
  double seconds;
  std::uint64_t two_site_gates;
  double norm_sq;
  std::uint64_t max_bond;
};

RunResult run_brickwork(std::uint64_t n, int depth, std::uint64_t chi_max, const std::vector<double>& angles) {
  const std::vector<C> cnot = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0};
  auto created = telm::Mps::zero_state(std::vector<std::uint64_t>(n, 2), telm::MpsConfig{chi_max, 1e-10, 64, 10});
  if (!created) std::exit(1);
  telm::Mps mps = std::move(created).value();
  std::uint64_t gates = 0;
  const auto start = std::chrono::steady_clock::now();
  std::size_t next_angle = 0;
  for (int layer = 0; layer < depth; ++layer) {
    for (std::uint64_t q = 0; q < n; ++q) {
      const double theta = angles[next_angle++];
      const double c = std::cos(theta * 0.5), s = std::sin(theta * 0.5);
      const std::vector<C> ry = {c, -s, s, c};
      if (!mps.apply_single_site_gate(q, ry)) std::exit(1);
    }
    for (std::uint64_t q = static_cast<std::uint64_t>(layer % 2); q + 1 < n; q += 2) {
      if (!mps.apply_two_site_gate(q, cnot)) std::exit(1);
      ++gates;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {seconds, gates, mps.norm_sq(), mps.max_bond_dim()};
}

}  // namespace

int main(int argc, char** argv) {
#ifdef TELM_HAVE_LAPACK
  openblas_set_num_threads(1);
#endif
  const std::uint64_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 50;
  const int depth = argc > 2 ? std::atoi(argv[2]) : 20;
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;

  // Angles uniform in [0, 2π) from a fixed seed, layer by layer (bench/mps_peers.py draws its own).
  std::mt19937_64 gen(1234);
  std::uniform_real_distribution<double> angle(0.0, 2.0 * 3.141592653589793);
  std::vector<double> angles(static_cast<std::size_t>(n) * static_cast<std::size_t>(depth));
  for (double& a : angles) a = angle(gen);

  std::printf("brickwork n=%llu depth=%d (best of %d)\n", static_cast<unsigned long long>(n), depth, repeats);
  std::printf("%8s %12s %14s %20s %9s\n", "chi_max", "total_s", "us_per_2q", "norm_sq", "max_bond");
  for (const std::uint64_t chi : {32u, 64u, 128u}) {
    RunResult best{1e300, 0, 0, 0};
    for (int r = 0; r < repeats; ++r) {
      const RunResult run = run_brickwork(n, depth, chi, angles);
      if (run.seconds < best.seconds) best = run;
    }
    std::printf("%8llu %12.3f %14.1f %20.15f %9llu\n", static_cast<unsigned long long>(chi), best.seconds,
                best.seconds / static_cast<double>(best.two_site_gates) * 1e6, best.norm_sq,
                static_cast<unsigned long long>(best.max_bond));
  }
  return 0;
}
