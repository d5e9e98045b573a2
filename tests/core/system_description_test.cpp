#include "core/system_description.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace telm {
namespace {

using Dims = std::vector<std::uint64_t>;
constexpr std::uint64_t k2to32 = std::uint64_t{1} << 32;

TEST(SystemDescription, FromDimsKeepsOrderAndProduct) {
  auto s = SystemDescription::from_dims(Dims{2, 3});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->n_subsystems(), 2u);
  EXPECT_EQ(s->dims(), (Dims{2, 3}));
  EXPECT_EQ(s->total_dim(), 6u);
  EXPECT_TRUE(s->registers().empty());
  EXPECT_FALSE(s->subsystems()[0].label.has_value());
  EXPECT_FALSE(s->all_qubits());
}

TEST(SystemDescription, FromDimsErrors) {
  struct Case {
    Dims dims;
    TelmError error;
  };
  const Case cases[] = {
      {{2, 1, 0}, errors::InvalidDimension{1}},            // the first bad entry, not the smallest
      {{0}, errors::InvalidDimension{0}},
      {{k2to32, k2to32}, errors::DimensionOverflow{}},     // exactly 2^64
      {{1, k2to32, k2to32}, errors::InvalidDimension{1}},  // validity before the product
      {{k2to32, k2to32, 1}, errors::InvalidDimension{1}},
  };
  for (const Case& c : cases) {
    auto s = SystemDescription::from_dims(c.dims);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error(), c.error) << s.error().message();
  }
}

TEST(SystemDescription, EmptySystems) {
  for (auto s : {SystemDescription::from_dims(Dims{}), SystemDescription::from_qubits(0)}) {
    ASSERT_TRUE(s);
    EXPECT_EQ(s->n_subsystems(), 0u);
    EXPECT_EQ(s->total_dim(), 1u);
    EXPECT_TRUE(s->dims().empty());
  }
}

TEST(SystemDescription, FromQubitsLimit) {
  auto big = SystemDescription::from_qubits(63);
  ASSERT_TRUE(big);
  EXPECT_EQ(big->total_dim(), std::uint64_t{1} << 63);
  EXPECT_TRUE(big->all_qubits());
  for (std::uint64_t n : {64u, 65u, 1000u}) {
    auto s = SystemDescription::from_qubits(n);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error().message(), "total Hilbert space dimension overflows usize");
  }
  EXPECT_FALSE(SystemDescription::from_qubits(~std::uint64_t{0}));
}

TEST(SystemDescription, DimIndexCheck) {
  auto s = SystemDescription::from_dims(Dims{2, 3, 4});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->dim(2).value(), 4u);
  auto bad = s->dim(5);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error(), TelmError(errors::SubsystemOutOfRange{5, 3}));
  EXPECT_EQ(s->dim(3).error(), TelmError(errors::SubsystemOutOfRange{3, 3}));
}

TEST(SystemDescription, CopiesAreEqualValues) {
  auto s = SystemDescription::from_dims(Dims{3, 2}).value();
  SystemDescription copy = s;
  EXPECT_EQ(copy, s);
  EXPECT_NE(copy, SystemDescription::from_dims(Dims{2, 3}).value());
}

}  // namespace
}  // namespace telm
