#include <gtest/gtest.h>

#include <cmath>

#include "platform/kernel/FloatingPoint.h"

namespace {

// Kept out of constant folding, so the division happens at run time.
volatile double zero = 0.0;
volatile double one = 1.0;

class FloatingPointTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetFloatingPointControlWord(); }
  void TearDown() override { SetFloatingPointControlWord(saved_); }
  uint16_t saved_ = 0;
};

TEST_F(FloatingPointTest, MaskedExceptionsYieldInfinityAndNotANumber) {
  SetFloatingPointControlWord(GetFloatingPointControlWord() | FP_MASK_INVALID | FP_MASK_ZERODIVIDE);
  EXPECT_EQ(GetFloatingPointControlWord() & 0x5, 0x5);
  const double infinite = one / zero;
  EXPECT_TRUE(std::isinf(infinite));
  const double notANumber = zero / zero;
  EXPECT_TRUE(std::isnan(notANumber));
  volatile long double extendedOne = 1.0L;
  volatile long double extendedZero = 0.0L;
  EXPECT_TRUE(std::isinf(static_cast<long double>(extendedOne / extendedZero)));
}

TEST_F(FloatingPointTest, UnmaskedZeroDivideTrapsInDoubleArithmetic) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        SetFloatingPointControlWord(static_cast<uint16_t>(GetFloatingPointControlWord() &
                                                          ~FP_MASK_ZERODIVIDE));
        volatile double result = one / zero;
        (void)result;
      },
      "");
}

}  // namespace
