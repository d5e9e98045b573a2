#pragma once

namespace telm {

// One amplitude or matrix entry: a pair of doubles, real part first. Plain data on purpose:
// every product and sum in the library is written out, so the operation order is visible.
struct Complex {
  double re = 0.0;
  double im = 0.0;

  friend bool operator==(const Complex&, const Complex&) = default;
};

}  // namespace telm
