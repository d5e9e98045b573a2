#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace telm {

// Square real matrices stored row-major as flat lists: entry (i, j) of a size x size matrix is at i * size + j.

// The size x size identity.
[[nodiscard]] std::vector<double> identity(std::size_t size);

// c = a * b. Row i of c accumulates a[i][j] * b[j][.] for j in increasing order, starting from +0, and skips
// every a[i][j] that is exactly zero (of either sign), so 0 * inf in the left factor never reaches c; a
// not-a-number a[i][j] is not skipped.
[[nodiscard]] std::vector<double> mat_mul(std::span<const double> a, std::span<const double> b, std::size_t size);

}  // namespace telm
