#include <gtest/gtest.h>

#include "platform/TestControl.h"
#include "platform/mmsystem/MMSystem.h"

namespace {

class MMSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { TestResetPlatform(); }
  void TearDown() override { TestResetPlatform(); }
};

TEST_F(MMSystemTest, ClockFollowsTheManualClockAndWraps) {
  TestSetManualClock(true);
  TestSetClock(0xFFFFFFFFu);
  EXPECT_EQ(timeGetTime(), 0xFFFFFFFFu);
  TestAdvanceClock(34);
  EXPECT_EQ(timeGetTime(), 33u);
  EXPECT_EQ(timeGetTime() - 0xFFFFFFFFu, 34u) << "differences survive the wrap";
}

TEST_F(MMSystemTest, NoJoystickAttachedIsReportedUnplugged) {
  EXPECT_EQ(joyGetNumDevs(), 16u);
  JOYCAPSA caps{};
  EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_UNPLUGGED);
  EXPECT_EQ(joyGetDevCapsA(16, &caps, sizeof caps), JOYERR_PARMS);
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = JOY_RETURNALL;
  EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_UNPLUGGED);
}

TEST_F(MMSystemTest, CapabilitiesDescribeTheAttachedJoystick) {
  TestAttachJoystick(3, 5, true);
  JOYCAPSA caps{};
  EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps - 1), MMSYSERR_INVALPARAM);
  ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_NOERROR);
  EXPECT_EQ(caps.wNumButtons, 5u);
  EXPECT_EQ(caps.wNumAxes, 3u);
  EXPECT_EQ(caps.wXmin, 0u);
  EXPECT_EQ(caps.wXmax, 65535u);
  EXPECT_EQ(caps.wZmax, 65535u);
  EXPECT_TRUE(caps.wCaps & JOYCAPS_HASZ);
  EXPECT_FALSE(caps.wCaps & JOYCAPS_HASR);
  EXPECT_TRUE(caps.wCaps & JOYCAPS_HASPOV);
  EXPECT_STREQ(caps.szPname, "Test joystick");
  EXPECT_EQ(joyGetDevCapsA(1, &caps, sizeof caps), JOYERR_UNPLUGGED);
}

TEST_F(MMSystemTest, PositionReadsOnlyWhatTheFlagsAskFor) {
  const int32_t stick = TestAttachJoystick(2, 4, true);
  TestSetJoystickAxis(stick, 0, 0);
  TestSetJoystickAxis(stick, 1, 65535);
  TestSetJoystickButtons(stick, 0xFF);  // more than the four it has
  TestSetJoystickPov(stick, 9000);
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = 0x4C7;  // X, Y, Z, point of view, buttons, centred
  info.dwRpos = 0xABCD;
  ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
  EXPECT_EQ(info.dwXpos, 0u);
  EXPECT_EQ(info.dwYpos, 65535u);
  EXPECT_EQ(info.dwZpos, 0u) << "an axis it does not have";
  EXPECT_EQ(info.dwRpos, 0xABCDu) << "not asked for";
  EXPECT_EQ(info.dwButtons, 0xFu);
  EXPECT_EQ(info.dwButtonNumber, 4u);
  EXPECT_EQ(info.dwPOV, 9000u);
  info.dwSize = 40;
  EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_PARMS);
  EXPECT_EQ(joyGetPosEx(0, nullptr), JOYERR_PARMS);
}

TEST_F(MMSystemTest, AnUnpluggedJoysticksNumberStaysFreeUntilTheNextOneIsPluggedIn) {
  TestAttachJoystick(2, 1);
  TestAttachJoystick(2, 7);
  TestRemoveJoystick(0);
  JOYCAPSA caps{};
  EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_UNPLUGGED);
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = JOY_RETURNALL;
  EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_UNPLUGGED);
  ASSERT_EQ(joyGetDevCapsA(1, &caps, sizeof caps), JOYERR_NOERROR);
  EXPECT_EQ(caps.wNumButtons, 7u) << "the other keeps its number";

  EXPECT_EQ(TestAttachJoystick(2, 3), 0) << "the lowest free number";
  ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_NOERROR);
  EXPECT_EQ(caps.wNumButtons, 3u);
  EXPECT_EQ(TestAttachJoystick(2, 2), 2);
}

}  // namespace
