// Thin complex SVD: Eigen's BDCSVD against LAPACK's zgesdd, one thread each.
// Prints the time per decomposition for square and MPS-shaped matrices and the ratio.
#include <chrono>
#include <complex>
#include <cstdio>
#include <random>

#include <Eigen/SVD>

#include "core/svd.hpp"

#ifdef TELM_HAVE_LAPACK
extern "C" void openblas_set_num_threads(int);  // OpenBLAS: keep the comparison single-threaded
#endif

namespace {

using telm::RowMatrix;
using Clock = std::chrono::steady_clock;

RowMatrix random_matrix(Eigen::Index rows, Eigen::Index cols) {
  std::mt19937_64 gen(42);
  std::normal_distribution<double> normal;
  RowMatrix m(rows, cols);
  for (Eigen::Index i = 0; i < m.size(); ++i) m.data()[i] = {normal(gen), normal(gen)};
  return m;
}

template <class F>
double seconds_per_call(F&& f) {
  int reps = 1;
  for (;;) {
    const auto start = Clock::now();
    for (int i = 0; i < reps; ++i) f();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed > 0.3 || reps >= 1 << 16) return elapsed / reps;
    reps *= 2;
  }
}

}  // namespace

int main() {
  Eigen::setNbThreads(1);
#ifdef TELM_HAVE_LAPACK
  openblas_set_num_threads(1);
#endif
  const std::pair<int, int> shapes[] = {{32, 32},  {64, 64},   {128, 128}, {256, 256}, {512, 512},
                                        {42, 64},  {74, 128},  {138, 256}, {32, 64}};
  std::printf("%-10s %14s %14s %8s\n", "shape", "eigen_bdc_ms", "telm_svd_ms", "ratio");
  for (const auto& [rows, cols] : shapes) {
    const RowMatrix a = random_matrix(rows, cols);
    const double eigen = seconds_per_call([&] {
      Eigen::BDCSVD<Eigen::MatrixXcd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
      volatile double s0 = svd.singularValues()[0];
      (void)s0;
    });
    const double ours = seconds_per_call([&] {
      const telm::SvdResult r = telm::thin_svd(a);
      volatile double s0 = r.s[0];
      (void)s0;
    });
    std::printf("%4dx%-5d %14.3f %14.3f %8.2f\n", rows, cols, eigen * 1e3, ours * 1e3, ours / eigen);
  }
#ifdef TELM_HAVE_LAPACK
  std::printf("telm_svd = LAPACK zgesdd (OpenBLAS)\n");
#else
  std::printf("telm_svd = Eigen BDCSVD (no LAPACK linked)\n");
#endif
  return 0;
}
