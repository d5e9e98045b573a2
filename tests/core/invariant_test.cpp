#include "core/invariant.hpp"

#include <gtest/gtest.h>

namespace telm {
namespace {

int guarded_divide(int a, int b) {
  TELM_EXPECT(b != 0, 0);
  return a / b;
}

TEST(Invariant, ViolationIsRecordedOnceAndTaken) {
  EXPECT_FALSE(take_invariant_violation());
  EXPECT_EQ(guarded_divide(6, 3), 2);
  EXPECT_FALSE(take_invariant_violation());
  EXPECT_EQ(guarded_divide(6, 0), 0);
  EXPECT_EQ(guarded_divide(7, 0), 0);  // the first violation is kept
  auto what = take_invariant_violation();
  ASSERT_TRUE(what);
  EXPECT_NE(what->find("b != 0"), std::string::npos);
  EXPECT_FALSE(take_invariant_violation());
}

}  // namespace
}  // namespace telm
