#include "input/Joystick.h"

#include <gtest/gtest.h>

#include "InputTestSupport.h"

namespace {

using JoystickTest = InputTest;

constexpr uint32_t kLeftEnd = 0;
constexpr uint32_t kMiddle = 32767;
constexpr uint32_t kRightEnd = 65535;

TEST(ScaleJoystickAxis, MapsTheTravelOutsideTheDeadZoneOntoTheRange) {
  EXPECT_EQ(ScaleJoystickAxis(32767, 65535, 0, 1000, 50), 0);
  EXPECT_EQ(ScaleJoystickAxis(49150, 65535, 0, 1000, 50), 0) << "just at the dead zone's edge";
  EXPECT_EQ(ScaleJoystickAxis(49151, 65535, 0, 1000, 50), 0) << "just outside starts near 0";
  EXPECT_EQ(ScaleJoystickAxis(57342, 65535, 0, 1000, 50), 500);
  EXPECT_EQ(ScaleJoystickAxis(65535, 65535, 0, 1000, 50), 1000);
  EXPECT_EQ(ScaleJoystickAxis(0, 65535, 0, 1000, 50), -1000);
  EXPECT_EQ(ScaleJoystickAxis(16384, 65535, 0, 1000, 50), 0);
  EXPECT_EQ(ScaleJoystickAxis(65535, 65535, 0, 1000, 0), 1000);
  EXPECT_EQ(ScaleJoystickAxis(0, 65535, 0, 1000, 0), -1000);
  for (Integer position : {0, 1, 20000, 32767, 50000, 65535})
    EXPECT_EQ(ScaleJoystickAxis(position, 65535, 0, 1000, 100), 0) << position;
  // The middle is taken as half the span, also when the minimum is not 0.
  EXPECT_EQ(ScaleJoystickAxis(50, 100, 50, 10, 0), 10);
  // Extreme arguments stay within 32 bits.
  EXPECT_EQ(ScaleJoystickAxis(INT32_MAX, INT32_MAX, 0, INT32_MAX, 0), INT32_MAX);
  EXPECT_EQ(ScaleJoystickAxis(INT32_MIN, INT32_MAX, 0, INT32_MAX, -100), INT32_MIN);
}

TEST_F(JoystickTest, DeadZonesAndRangesAreClampedAndKeptPerOffset) {
  auto* input = new TDXInput(form);
  TJoystick* joystick = input->Joystick();
  EXPECT_EQ(joystick->DeadZoneX(), 50);
  EXPECT_EQ(joystick->RangeZ(), 1000);
  EXPECT_EQ(joystick->DeadZone(12), 0);
  joystick->SetDeadZoneX(150);
  EXPECT_EQ(joystick->DeadZoneX(), 100);
  joystick->SetDeadZoneY(-3);
  EXPECT_EQ(joystick->DeadZoneY(), 0);
  joystick->SetRangeX(-5);
  EXPECT_EQ(joystick->RangeX(), 0);
  // The point of view has neither.
  joystick->SetDeadZone(32, 10);
  joystick->SetRange(32, 10);
  EXPECT_EQ(joystick->DeadZone(32), -1);
  EXPECT_EQ(joystick->Range(32), -1);
  joystick->SetDeadZone(271, 10);
  joystick->SetRange(-4, 10);
  EXPECT_EQ(joystick->DeadZone(271), 0);
  EXPECT_EQ(joystick->Range(-4), 0);
  EXPECT_EQ(joystick->DeadZone(100000), 0);
}

TEST_F(JoystickTest, DirectInputJoystickGivesDirectionsAndButtons) {
  const int32_t stick = TestAttachJoystick(2, 8);
  TDXInput* input = MakeInput();
  TJoystick* joystick = input->Joystick();
  ASSERT_NE(joystick->Device(), nullptr);
  ASSERT_NE(joystick->Device2(), nullptr);
  EXPECT_EQ(joystick->JoyID(), -1);
  EXPECT_EQ(joystick->ButtonCount(), 8);
  joystick->Update();
  EXPECT_TRUE(joystick->States().Empty());

  TestSetJoystickAxis(stick, 0, kLeftEnd);
  TestSetJoystickAxis(stick, 1, kRightEnd);
  TestSetJoystickButtons(stick, 1u << 5);
  joystick->Update();
  EXPECT_EQ(joystick->JoyState().lX, -1000);
  EXPECT_EQ(joystick->JoyState().lY, 1000);
  EXPECT_EQ(joystick->States(), (TInputStates{StateLeft, StateDown, StateButton6}));

  // Inside the dead zone the stick reads as centred.
  TestSetJoystickAxis(stick, 0, kMiddle + 10000);
  TestSetJoystickAxis(stick, 1, kMiddle - 10000);
  TestSetJoystickButtons(stick, 0);
  joystick->Update();
  EXPECT_EQ(joystick->JoyState().lX, 0);
  EXPECT_TRUE(joystick->States().Empty());
  joystick->SetRangeX(10);
  joystick->SetDeadZoneX(0);
  TestSetJoystickAxis(stick, 0, kRightEnd);
  joystick->Update();
  EXPECT_EQ(joystick->JoyState().lX, 10) << "settings reach the device at once";
  EXPECT_EQ(joystick->States(), (TInputStates{StateRight}));
}

TEST_F(JoystickTest, WhatTheDeviceRefusesReadsBackAsMinusOne) {
  TestAttachJoystick(2, 2);
  TDXInput* input = MakeInput();
  TJoystick* joystick = input->Joystick();
  EXPECT_EQ(joystick->DeadZoneX(), 50);
  EXPECT_EQ(joystick->RangeY(), 1000);
  // This joystick has no Z axis.
  EXPECT_EQ(joystick->DeadZoneZ(), -1);
  EXPECT_EQ(joystick->RangeZ(), -1);
  // A button has no dead zone, an axis no range of 0.
  EXPECT_EQ(joystick->DeadZone(48), -1);
  EXPECT_EQ(joystick->Range(12), -1);
  TestDInputRefuseNext(DInputCall::SetProperty);
  joystick->SetDeadZoneX(20);
  EXPECT_EQ(joystick->DeadZoneX(), -1);
}

TEST_F(JoystickTest, TheIdPicksTheAttachedJoystick) {
  const int32_t first = TestAttachJoystick(2, 2);
  TDXInput* input = MakeInput();
  TJoystick* joystick = input->Joystick();
  joystick->SetID(1);
  EXPECT_TRUE(joystick->Initialized());
  EXPECT_EQ(joystick->Device(), nullptr);
  EXPECT_EQ(joystick->JoyID(), -1);
  TestSetJoystickAxis(first, 0, kLeftEnd);
  joystick->Update();
  EXPECT_TRUE(joystick->States().Empty()) << "no second joystick, nothing reported";

  const int32_t second = TestAttachJoystick(2, 2);
  joystick->Initialize();
  ASSERT_NE(joystick->Device(), nullptr);
  joystick->Update();
  EXPECT_TRUE(joystick->States().Empty()) << "the first joystick is not the one asked for";
  TestSetJoystickAxis(second, 1, kLeftEnd);
  joystick->Update();
  EXPECT_EQ(joystick->States(), (TInputStates{StateUp}));

  joystick->SetID(-1);
  EXPECT_FALSE(joystick->Initialized());
}

TEST_F(JoystickTest, WithoutDirectInputTheMultimediaJoystickIsScaledHere) {
  WithdrawDirectInput();
  TestAttachJoystick(2, 3);
  const int32_t stick = TestAttachJoystick(3, 40);
  TDXInput* input = new TDXInput(form);
  input->Joystick()->SetID(1);
  input->Initialize();
  TJoystick* joystick = input->Joystick();
  EXPECT_EQ(joystick->JoyID(), 1);
  EXPECT_EQ(joystick->ButtonCount(), 32);
  TestSetJoystickAxis(stick, 0, kRightEnd);
  TestSetJoystickAxis(stick, 1, kMiddle + 10000);
  TestSetJoystickAxis(stick, 2, kLeftEnd);
  TestSetJoystickButtons(stick, (1u << 5) | (1u << 31));
  joystick->Update();
  EXPECT_EQ(joystick->JoyState().lX, 1000);
  EXPECT_EQ(joystick->JoyState().lY, 0);
  EXPECT_EQ(joystick->JoyState().lZ, -1000);
  EXPECT_EQ(joystick->States(), (TInputStates{StateRight, StateButton6, StateButton32}));

  // Unplugged: the joystick goes silent instead of reporting a stick in a corner.
  TestRemoveJoystick(stick);
  joystick->Update();
  EXPECT_TRUE(joystick->States().Empty());
  EXPECT_EQ(joystick->JoyState().lX, 0);
}

TEST_F(JoystickTest, AFailingDirectInputJoystickFallsBackToTheMultimediaOne) {
  const int32_t stick = TestAttachJoystick(2, 2);
  for (DInputCall refused : {DInputCall::EnumDevices, DInputCall::CreateDevice,
                             DInputCall::GetCapabilities, DInputCall::SetDataFormat}) {
    TDXInput* input = new TDXInput(form);
    input->Keyboard()->SetEnabled(false);
    TestDInputRefuseNext(refused);
    input->Initialize();
    TJoystick* joystick = input->Joystick();
    EXPECT_EQ(joystick->Device(), nullptr) << static_cast<int>(refused);
    EXPECT_EQ(joystick->JoyID(), 0) << static_cast<int>(refused);
    TestSetJoystickAxis(stick, 0, kLeftEnd);
    joystick->Update();
    EXPECT_EQ(joystick->States(), (TInputStates{StateLeft})) << static_cast<int>(refused);
    TestSetJoystickAxis(stick, 0, kMiddle);
    delete input;
  }
}

TEST_F(JoystickTest, AJoystickWithoutItsSecondInterfaceIsFinalisedAndTheErrorPassesOn) {
  TestAttachJoystick(2, 2);
  auto* input = new TDXInput(form);
  TestDInputRefuseNext(DInputCall::QueryDevice2, E_NOINTERFACE);
  EXPECT_EQ(MessageOf<EIntfCastError>([&] { input->Initialize(); }),
            "Interface nicht unterstützt");
  EXPECT_FALSE(input->Joystick()->Initialized());
  EXPECT_EQ(input->Joystick()->Device(), nullptr);
}

TEST_F(JoystickTest, AnUnpluggedDirectInputJoystickReportsNothing) {
  const int32_t stick = TestAttachJoystick(2, 2);
  TDXInput* input = MakeInput();
  TestSetJoystickAxis(stick, 0, kLeftEnd);
  TestSetJoystickButtons(stick, 1);
  input->Update();
  EXPECT_EQ(input->States(), (TInputStates{StateLeft, StateButton1}));
  TestRemoveJoystick(stick);
  input->Update();
  EXPECT_TRUE(input->States().Empty());
  EXPECT_TRUE(input->Joystick()->Initialized());
}

// Two joysticks and the game reading the first: unplugging the first silences the game's joystick
// instead of handing it the second, on the DirectInput path and on the multimedia one.
TEST_F(JoystickTest, UnpluggingTheJoystickInUseSilencesItInsteadOfSwitchingToAnother) {
  for (const bool directInput : {true, false}) {
    SCOPED_TRACE(directInput ? "DirectInput" : "multimedia");
    if (!directInput) WithdrawDirectInput();
    const int32_t first = TestAttachJoystick(2, 2);
    const int32_t second = TestAttachJoystick(2, 2);
    TDXInput* input = MakeInput();
    EXPECT_EQ(input->Joystick()->Device() != nullptr, directInput);
    TestSetJoystickAxis(first, 0, kLeftEnd);
    TestSetJoystickAxis(second, 0, kRightEnd);
    input->Update();
    EXPECT_EQ(input->States(), (TInputStates{StateLeft}));

    TestRemoveJoystick(first);
    input->Update();
    input->Update();
    EXPECT_TRUE(input->States().Empty()) << "the second joystick must not take the first's place";

    // Plugged in again, a joystick takes the free first number: the multimedia joystick reads it
    // under that number; the DirectInput device stays with the joystick it was made for.
    EXPECT_EQ(TestAttachJoystick(2, 2), first);
    TestSetJoystickAxis(first, 1, kLeftEnd);
    input->Update();
    EXPECT_EQ(input->States(), directInput ? TInputStates{} : TInputStates{StateUp});
    delete input;
    TestRemoveJoystick(first);
    TestRemoveJoystick(second);
  }
}

TEST_F(JoystickTest, WithoutAutoCenterTheStickIsHeldExclusively) {
  TestAttachJoystick(2, 2);
  TDXInput* input = MakeInput();
  EXPECT_EQ(input->Joystick()->GetCooperativeLevel(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  input->Joystick()->SetAutoCenter(false);
  EXPECT_EQ(input->Joystick()->GetCooperativeLevel(), DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  input->SetActiveOnly(false);
  EXPECT_EQ(input->Joystick()->GetCooperativeLevel(), DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  input->Joystick()->SetAutoCenter(true);
  EXPECT_EQ(input->Joystick()->GetCooperativeLevel(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
}

TEST_F(JoystickTest, TheMouseGivesMotionAndButtonsThroughDirectInput) {
  TDXInput* input = MakeInput();
  TMouse* mouse = input->Mouse();
  mouse->SetEnabled(true);
  ASSERT_TRUE(mouse->Initialized());
  EXPECT_EQ(mouse->ButtonCount(), 3);
  mouse->Update();
  TestMoveMouse(100, 100);
  mouse->Update();
  TestMoveMouse(90, 120);
  mouse->Update();
  EXPECT_EQ(mouse->States(), (TInputStates{StateLeft, StateDown}));
  mouse->Update();
  EXPECT_TRUE(mouse->States().Empty()) << "a direction lasts only while the mouse moves";
  HostMouseButton(VK_RBUTTON, true);
  mouse->Update();
  EXPECT_EQ(mouse->States(), (TInputStates{StateButton2}));
  HostMouseButton(VK_RBUTTON, false);

  TestDInputRefuseNext(DInputCall::CreateDevice);
  mouse->Initialize();
  EXPECT_FALSE(mouse->Initialized());
  EXPECT_EQ(mouse->Device(), nullptr);
}

}  // namespace
