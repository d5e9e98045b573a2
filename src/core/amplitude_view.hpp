#pragma once

#include <cstdint>
#include <span>

#include "core/complex.hpp"

namespace telm {

// Read-only view of a complex vector kept as two arrays of doubles (all real parts, then all
// imaginary parts), so observables and overlaps can read a state in place without copying it.
class AmplitudeView {
 public:
  AmplitudeView() = default;
  // `re` and `im` must have the same length.
  AmplitudeView(std::span<const double> re, std::span<const double> im) : re_(re), im_(im) {}

  [[nodiscard]] std::uint64_t size() const { return re_.size(); }
  [[nodiscard]] const double* re() const { return re_.data(); }
  [[nodiscard]] const double* im() const { return im_.data(); }
  [[nodiscard]] Complex get(std::uint64_t i) const { return Complex{re_[i], im_[i]}; }

 private:
  std::span<const double> re_;
  std::span<const double> im_;
};

}  // namespace telm
