#include "DInputTestSupport.h"

namespace {

using DeviceAcquisitionTest = DInputFixture;

// The A key (scan code 30) at byte 0 and the Space bar (57) at byte 1.
OwnedFormat TwoKeys() {
  return OwnedFormat(0, 4,
                     {{&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_A), 0},
                      {&GUID_Key, 1, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_SPACE), 0}});
}

}  // namespace

TEST_F(DeviceAcquisitionTest, CooperativeLevelNeedsOneAccessOneScopeAndAWindowToFollow) {
  ComPtr<IDirectInputDevice> keyboard = CreateDevice(GUID_SysKeyboard);
  ComPtr<IDirectInputDevice> mouse = CreateDevice(GUID_SysMouse);
  ASSERT_TRUE(keyboard && mouse);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window,
                                          DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window,
                                          DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            E_HANDLE);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  HWND child = CreateWindowExA(0, "DInputTestWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                               window, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(keyboard->SetCooperativeLevel(child, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), E_HANDLE)
      << "a device follows a top-level window";
  // The system keyboard and mouse are never held exclusively while in the background.
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND),
            DIERR_UNSUPPORTED);
  EXPECT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND),
            DIERR_UNSUPPORTED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);

  TestDInputRefuseNext(DInputCall::SetCooperativeLevel);
  EXPECT_EQ(mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_GENERIC);
  EXPECT_EQ(TestDInputDevices()[1].cooperativeLevel, 0u) << "a refused call changes nothing";
  EXPECT_EQ(TestDInputDevices()[0].cooperativeLevel, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  EXPECT_EQ(TestDInputDevices()[0].window, window);
}

TEST_F(DeviceAcquisitionTest, ForegroundDevicesAreAcquiredOnlyWhileTheirWindowIsInFront) {
  OwnedFormat keys = TwoKeys();
  ComPtr<IDirectInputDevice> keyboard = CreateDevice(GUID_SysKeyboard);
  ASSERT_TRUE(keyboard);
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
  ASSERT_EQ(keyboard->SetDataFormat(&keys.format), DI_OK);
  ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);

  HWND other = NewWindow();
  ASSERT_EQ(GetForegroundWindow(), other);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_FALSE(TestDInputDevices()[0].acquired);
  ASSERT_TRUE(SetForegroundWindow(window));
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT) << "already acquired";
  EXPECT_TRUE(TestDInputDevices()[0].acquired);

  // The program loses the focus: the next read reports the loss once, then the device is
  // simply not acquired until it is acquired again in the foreground.
  BYTE state[4];
  TestSetApplicationActive(false);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  TestSetApplicationActive(true);
  ASSERT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);

  // Another window taking the front ends the acquisition just the same.
  ASSERT_TRUE(SetForegroundWindow(other));
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
}

TEST_F(DeviceAcquisitionTest, BackgroundDevicesKeepReadingWithoutTheFocus) {
  OwnedFormat keys = TwoKeys();
  ComPtr<IDirectInputDevice> keyboard =
      AcquiredDevice(GUID_SysKeyboard, keys.format, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  ASSERT_TRUE(keyboard);
  TestSetApplicationActive(false);
  BYTE state[4];
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
}

TEST_F(DeviceAcquisitionTest, LostInputIsReportedOnceAndRecoveredByAcquiring) {
  OwnedFormat keys = TwoKeys();
  ComPtr<IDirectInputDevice> keyboard = AcquiredDevice(GUID_SysKeyboard, keys.format);
  ComPtr<IDirectInputDevice> idle = CreateDevice(GUID_SysKeyboard);
  ASSERT_TRUE(keyboard && idle);
  TestDInputLoseDevices();
  EXPECT_FALSE(TestDInputDevices()[1].acquired) << "a device not acquired has nothing to lose";
  BYTE state[4] = {1, 1, 1, 1};
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DIERR_INPUTLOST);
  EXPECT_EQ(state[0], 1) << "a failed read writes nothing";
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);

  // A lost device that is acquired again before its next read reads normally.
  TestDInputLoseDevices();
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);
}

TEST_F(DeviceAcquisitionTest, ExclusiveAccessIsHeldByOneDeviceObjectAtATime) {
  OwnedFormat button = OwnedFormat(0, 4, {{nullptr, 0, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0}});
  const DWORD exclusive = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
  ComPtr<IDirectInputDevice> first = AcquiredDevice(GUID_SysMouse, button.format, exclusive);
  ComPtr<IDirectInputDevice> second = CreateDevice(GUID_SysMouse);
  ComPtr<IDirectInputDevice> shared = CreateDevice(GUID_SysMouse);
  ASSERT_TRUE(first && second && shared);
  ASSERT_EQ(second->SetDataFormat(&button.format), DI_OK);
  ASSERT_EQ(second->SetCooperativeLevel(window, exclusive), DI_OK);
  ASSERT_EQ(shared->SetDataFormat(&button.format), DI_OK);
  ASSERT_EQ(shared->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(shared->Acquire(), DI_OK) << "shared access goes alongside";
  EXPECT_EQ(first->Unacquire(), DI_OK);
  EXPECT_EQ(second->Acquire(), DI_OK);

  // A holder whose input is lost no longer stands in the way.
  ASSERT_EQ(first->Acquire(), DIERR_OTHERAPPHASPRIO);
  TestDInputLoseDevices();
  EXPECT_EQ(first->Acquire(), DI_OK);
}

TEST_F(DeviceAcquisitionTest, FormatAndLevelAreFixedWhileAcquired) {
  OwnedFormat keys = TwoKeys();
  ComPtr<IDirectInputDevice> keyboard = AcquiredDevice(GUID_SysKeyboard, keys.format);
  ASSERT_TRUE(keyboard);
  EXPECT_EQ(keyboard->SetDataFormat(&keys.format), DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            DIERR_ACQUIRED);
  EXPECT_EQ(TestDInputDevices()[0].cooperativeLevel, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
}

TEST_F(DeviceAcquisitionTest, DataFormatsAreCheckedBeforeTheyTakeEffect) {
  ComPtr<IDirectInputDevice> keyboard = CreateDevice(GUID_SysKeyboard);
  ASSERT_TRUE(keyboard);
  const DIOBJECTDATAFORMAT keyA = {&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_A), 0};
  auto accepts = [&](DWORD flags, DWORD dataSize, std::vector<DIOBJECTDATAFORMAT> objects) {
    OwnedFormat format(flags, dataSize, std::move(objects));
    return keyboard->SetDataFormat(&format.format);
  };
  EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(accepts(0, 0, {}), DIERR_INVALIDPARAM) << "no data";
  EXPECT_EQ(accepts(0, 6, {keyA}), DIERR_INVALIDPARAM) << "not whole double words";
  EXPECT_EQ(accepts(DIDF_ABSAXIS | DIDF_RELAXIS, 4, {keyA}), DIERR_INVALIDPARAM);
  EXPECT_EQ(accepts(0, 4, {{&GUID_Key, 4, keyA.dwType, 0}}), DIERR_INVALIDPARAM)
      << "offset past the data";
  EXPECT_EQ(accepts(0, 4, {keyA, {&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_B), 0}}),
            DIERR_INVALIDPARAM)
      << "two objects on one byte";
  EXPECT_EQ(accepts(0, 4, {{&GUID_XAxis, 0, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0}}),
            DIERR_INVALIDPARAM)
      << "the keyboard has no axis";
  EXPECT_EQ(accepts(0, 4, {{&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0), 0}}),
            DIERR_INVALIDPARAM)
      << "scan code 0 is no key";
  EXPECT_EQ(
      accepts(0, 4,
              {{&GUID_Key, 0, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0), 0}, keyA}),
      DI_OK)
      << "an optional object may be missing";
  OwnedFormat badSize(0, 4, {keyA});
  badSize.format.dwSize = 20;
  EXPECT_EQ(keyboard->SetDataFormat(&badSize.format), DIERR_INVALIDPARAM);

  ComPtr<IDirectInputDevice> mouse = CreateDevice(GUID_SysMouse);
  ASSERT_TRUE(mouse);
  OwnedFormat misaligned(0, 8, {{&GUID_XAxis, 2, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0}});
  EXPECT_EQ(mouse->SetDataFormat(&misaligned.format), DIERR_INVALIDPARAM);
  OwnedFormat onePointer(0, 8, {{&GUID_XAxis, 4, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0}});
  TestDInputRefuseNext(DInputCall::SetDataFormat);
  EXPECT_EQ(mouse->SetDataFormat(&onePointer.format), DIERR_GENERIC);
  EXPECT_FALSE(TestDInputDevices()[1].hasDataFormat);
  EXPECT_EQ(mouse->SetDataFormat(&onePointer.format), DI_OK);
  EXPECT_TRUE(TestDInputDevices()[1].hasDataFormat);
}

TEST_F(DeviceAcquisitionTest, ReadsMustMatchTheFormatsSizeAndCanBeRefused) {
  OwnedFormat keys = TwoKeys();
  ComPtr<IDirectInputDevice> keyboard = AcquiredDevice(GUID_SysKeyboard, keys.format);
  ASSERT_TRUE(keyboard);
  BYTE state[8];
  EXPECT_EQ(keyboard->GetDeviceState(8, state), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->GetDeviceState(4, nullptr), DIERR_INVALIDPARAM);
  TestDInputRefuseNext(DInputCall::GetDeviceState, DIERR_INPUTLOST);
  EXPECT_EQ(keyboard->GetDeviceState(4, state), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard->GetDeviceState(4, state), DI_OK);
  TestDInputRefuseNext(DInputCall::Acquire, DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
}
