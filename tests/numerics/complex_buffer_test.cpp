#include "numerics/complex_buffer.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "core/invariant.hpp"

namespace telm {
namespace {

TEST(ComplexBuffer, SplitStorageRealPartsThenImaginaryParts) {
  auto buffer = ComplexBuffer::zeros(4);
  EXPECT_EQ(buffer.len(), 4u);
  ASSERT_EQ(buffer.data().size(), 8u);
  for (double x : buffer.data()) EXPECT_EQ(x, 0.0);

  buffer.set(1, Complex{0.5, 0.25});
  const std::vector<double> storage(buffer.data().begin(), buffer.data().end());
  EXPECT_EQ(storage, (std::vector<double>{0, 0.5, 0, 0, 0, 0.25, 0, 0}));
  EXPECT_EQ(buffer.get(1), (Complex{0.5, 0.25}));
  EXPECT_EQ(buffer.to_vec(), (std::vector<Complex>{{0, 0}, {0.5, 0.25}, {0, 0}, {0, 0}}));

  const AmplitudeView view = buffer.view();
  EXPECT_EQ(view.size(), 4u);
  EXPECT_EQ(view.get(1), (Complex{0.5, 0.25}));
  EXPECT_EQ(view.re(), buffer.re());  // a view, not a copy
}

TEST(ComplexBuffer, CopiesAreIndependentAndFillZeroClearsEverything) {
  auto a = ComplexBuffer::zeros(3);
  a.set(2, Complex{1.0, -1.0});
  ComplexBuffer b = a;
  b.set(2, Complex{2.0, 2.0});
  EXPECT_EQ(a.get(2), (Complex{1.0, -1.0}));
  b.fill_zero();
  for (double x : b.data()) EXPECT_EQ(x, 0.0);
  a = b;
  EXPECT_EQ(a.get(2), Complex{});
}

TEST(ComplexBuffer, IndexBeyondLengthIsRecordedNotFatal) {
  auto buffer = ComplexBuffer::zeros(2);
  buffer.set(2, Complex{1.0, 1.0});
  EXPECT_TRUE(take_invariant_violation());
  EXPECT_EQ(buffer.get(5), Complex{});
  EXPECT_TRUE(take_invariant_violation());
  for (double x : buffer.data()) EXPECT_EQ(x, 0.0);
}

TEST(ComplexBuffer, UnaddressableLengthIsAnAllocationFailure) {
  EXPECT_THROW((void)ComplexBuffer::zeros(std::uint64_t{1} << 62), std::bad_alloc);
}

}  // namespace
}  // namespace telm
