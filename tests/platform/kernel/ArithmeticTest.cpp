#include <gtest/gtest.h>

#include <limits>

#include "platform/kernel/Arithmetic.h"

namespace {

constexpr INT kMax = std::numeric_limits<INT>::max();
constexpr INT kMin = std::numeric_limits<INT>::min();

TEST(MulDivTest, RoundsToNearestWithHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 1, 4), 3);   // 2.5
  EXPECT_EQ(MulDiv(-10, 1, 4), -3);
  EXPECT_EQ(MulDiv(10, -1, 4), -3);
  EXPECT_EQ(MulDiv(10, 1, -4), -3);
  EXPECT_EQ(MulDiv(-10, 1, -4), 3);
  EXPECT_EQ(MulDiv(7, 1, 3), 2);    // 2.33
  EXPECT_EQ(MulDiv(8, 1, 3), 3);    // 2.67
  EXPECT_EQ(MulDiv(-8, 1, 3), -3);
  EXPECT_EQ(MulDiv(1, 1, 3), 0);
}

TEST(MulDivTest, KeepsTheFullProductBeforeDividing) {
  EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
  EXPECT_EQ(MulDiv(kMax, kMax, kMax), kMax);
  EXPECT_EQ(MulDiv(kMin, kMin, kMin), kMin);
  EXPECT_EQ(MulDiv(kMin, 1, 1), kMin);
  // The joystick scaling: the end of travel beyond the dead zone gives the full range.
  EXPECT_EQ(MulDiv(32768 - 16383, 1000, 32767 - 16383), 1000);
}

TEST(MulDivTest, FailsWithMinusOneOnZeroDivisorOrOverflow) {
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
  EXPECT_EQ(MulDiv(kMax, 2, 1), -1);
  EXPECT_EQ(MulDiv(kMin, -1, 1), -1);
  EXPECT_EQ(MulDiv(kMin, 1, -1), -1);
  EXPECT_EQ(MulDiv(kMin, 2, 1), -1);
}

}  // namespace
