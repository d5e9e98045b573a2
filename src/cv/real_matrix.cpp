#include "cv/real_matrix.hpp"


#include "core/invariant.hpp"

namespace telm {
namespace {

bool square_fits(std::size_t size) {
  return size == 0 || size <= std::vector<double>().max_size() / size;
}

}  // namespace

std::vector<double> identity(std::size_t size) {
  TELM_EXPECT(square_fits(size), {});
  std::vector<double> m(size * size, 0.0);
  for (std::size_t i = 0; i < size; ++i) m[i * size + i] = 1.0;
  return m;
}

std::vector<double> mat_mul(std::span<const double> a, std::span<const double> b, std::size_t size) {
  TELM_EXPECT(square_fits(size) && a.size() == size * size && b.size() == size * size, {});
  std::vector<double> c(size * size, 0.0);
  for (std::size_t i = 0; i < size; ++i) {
    double* c_row = c.data() + i * size;
    for (std::size_t j = 0; j < size; ++j) {
      const double a_ij = a[i * size + j];
      if (a_ij == 0.0) continue;
      const double* b_row = b.data() + j * size;
      for (std::size_t k = 0; k < size; ++k) c_row[k] += a_ij * b_row[k];
    }
  }
  return c;
}

}  // namespace telm
