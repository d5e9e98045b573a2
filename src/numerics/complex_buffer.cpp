#include "numerics/complex_buffer.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "core/invariant.hpp"

namespace telm {
namespace {

// Cache-line alignment, so both halves start on a vector boundary for power-of-two lengths.
constexpr std::align_val_t kAlignment{64};

}  // namespace

void ComplexBuffer::AlignedDelete::operator()(double* p) const noexcept { ::operator delete[](p, kAlignment); }

std::unique_ptr<double[], ComplexBuffer::AlignedDelete> ComplexBuffer::allocate(std::uint64_t doubles) {
  if (doubles == 0) return {};
  auto* p = static_cast<double*>(::operator new[](doubles * sizeof(double), kAlignment));
  return std::unique_ptr<double[], AlignedDelete>(p);
}

ComplexBuffer ComplexBuffer::zeros(std::uint64_t len) {
  // A length whose storage size is not even representable is refused like any other
  // allocation that cannot be satisfied.
  if (len > std::numeric_limits<std::uint64_t>::max() / (2 * sizeof(double))) throw std::bad_alloc();
  ComplexBuffer buffer;
  buffer.data_ = allocate(2 * len);
  buffer.len_ = len;
  buffer.fill_zero();
  return buffer;
}

ComplexBuffer::ComplexBuffer(const ComplexBuffer& other) : data_(allocate(2 * other.len_)), len_(other.len_) {
  std::copy_n(other.data_.get(), 2 * len_, data_.get());
}

ComplexBuffer& ComplexBuffer::operator=(const ComplexBuffer& other) {
  if (this != &other) *this = ComplexBuffer(other);
  return *this;
}

Complex ComplexBuffer::get(std::uint64_t i) const {
  TELM_EXPECT(i < len_, Complex{});
  return Complex{data_[i], data_[len_ + i]};
}

void ComplexBuffer::set(std::uint64_t i, Complex z) {
  TELM_EXPECT(i < len_, );
  data_[i] = z.re;
  data_[len_ + i] = z.im;
}

std::vector<Complex> ComplexBuffer::to_vec() const {
  std::vector<Complex> out(len_);
  for (std::uint64_t i = 0; i < len_; ++i) out[i] = Complex{data_[i], data_[len_ + i]};
  return out;
}

void ComplexBuffer::fill_zero() { std::fill_n(data_.get(), 2 * len_, 0.0); }

}  // namespace telm
