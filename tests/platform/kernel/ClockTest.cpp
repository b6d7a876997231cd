#include <gtest/gtest.h>

#include "platform/TestControl.h"
#include "platform/kernel/Clock.h"

namespace {

class ManualClockTest : public ::testing::Test {
 protected:
  void SetUp() override { SetManualClock(true); }
  void TearDown() override { TestResetPlatform(); }
};

TEST_F(ManualClockTest, MovesOnlyWhenToldAndWrapsAt32Bits) {
  SetManualClockTime(1000);
  EXPECT_EQ(GetTickCount(), 1000u);
  EXPECT_EQ(GetTickCount(), 1000u);
  AdvanceManualClock(33);
  EXPECT_EQ(GetTickCount(), 1033u);
  SetManualClockTime(0xFFFFFFF0u);
  AdvanceManualClock(0x20);
  EXPECT_EQ(GetTickCount(), 0x10u);
}

TEST_F(ManualClockTest, SystemTimeCountsFromTheStartOf2000) {
  SetManualClockTime(((13u * 60 + 14) * 60 + 15) * 1000 + 167);
  SYSTEMTIME time{};
  GetSystemTime(&time);
  EXPECT_EQ(time.wYear, 2000);
  EXPECT_EQ(time.wMonth, 1);
  EXPECT_EQ(time.wDay, 1);
  EXPECT_EQ(time.wDayOfWeek, 6) << "a Saturday";
  EXPECT_EQ(time.wHour, 13);
  EXPECT_EQ(time.wMinute, 14);
  EXPECT_EQ(time.wSecond, 15);
  EXPECT_EQ(time.wMilliseconds, 167);
  AdvanceManualClock(11u * 3600 * 1000);
  GetSystemTime(&time);
  EXPECT_EQ(time.wDay, 2);
  EXPECT_EQ(time.wHour, 0);
}

TEST(RealClockTest, SwitchingToManualContinuesFromTheRealCount) {
  const DWORD before = GetTickCount();
  SetManualClock(true);
  EXPECT_GE(GetTickCount(), before);
  EXPECT_TRUE(ManualClock());
  SetManualClock(false);
  EXPECT_FALSE(ManualClock());
  SYSTEMTIME time{};
  GetSystemTime(&time);
  EXPECT_GE(time.wYear, 2024);
}

}  // namespace
