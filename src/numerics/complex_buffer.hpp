#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/amplitude_view.hpp"
#include "core/complex.hpp"

namespace telm {

// A fixed-length complex array stored split: all real parts, then all imaginary parts, in one
// contiguous allocation. Split storage lets the gate kernels stream each half with plain
// vector loads. Copying copies every double; the length never changes.
class ComplexBuffer {
 public:
  ComplexBuffer() = default;
  // Throws std::bad_alloc when 2 * len doubles cannot be allocated or even addressed.
  [[nodiscard]] static ComplexBuffer zeros(std::uint64_t len);

  ComplexBuffer(const ComplexBuffer& other);
  ComplexBuffer& operator=(const ComplexBuffer& other);
  ComplexBuffer(ComplexBuffer&&) noexcept = default;
  ComplexBuffer& operator=(ComplexBuffer&&) noexcept = default;

  [[nodiscard]] std::uint64_t len() const { return len_; }

  // An index of len() or more is a programming error: get returns 0 and set does nothing.
  [[nodiscard]] Complex get(std::uint64_t i) const;
  void set(std::uint64_t i, Complex z);

  [[nodiscard]] std::vector<Complex> to_vec() const;
  void fill_zero();

  // The 2 * len() doubles: real parts at [0, len), imaginary parts at [len, 2 len).
  [[nodiscard]] std::span<const double> data() const { return {data_.get(), 2 * len_}; }
  [[nodiscard]] double* re() { return data_.get(); }
  [[nodiscard]] double* im() { return data_.get() + len_; }
  [[nodiscard]] const double* re() const { return data_.get(); }
  [[nodiscard]] const double* im() const { return data_.get() + len_; }
  [[nodiscard]] AmplitudeView view() const { return AmplitudeView({re(), len_}, {im(), len_}); }

 private:
  struct AlignedDelete {
    void operator()(double* p) const noexcept;
  };
  static std::unique_ptr<double[], AlignedDelete> allocate(std::uint64_t doubles);

  std::unique_ptr<double[], AlignedDelete> data_;
  std::uint64_t len_ = 0;
};

}  // namespace telm
