#pragma once

#include <cmath>

namespace telm {

// An entry that the zero-skipping products treat specially even where the symplectic matrix is the
// identity: a non-finite value turns every 0 it meets into not-a-number, and -0 comes out as +0 (every sum
// starts from +0).
inline bool is_irregular(double x) { return !std::isfinite(x) || (x == 0.0 && std::signbit(x)); }

}  // namespace telm
