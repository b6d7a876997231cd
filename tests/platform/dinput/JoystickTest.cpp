#include <cstddef>

#include "DInputTestSupport.h"

namespace {

class JoystickTest : public DInputFixture {
 protected:
  // A joystick read through a format built from its own objects, as DIJOYSTATE2.
  void Open(int32_t axes, int32_t buttons, bool pov = false) {
    TestAttachJoystick(axes, buttons, pov);
    joystick = CreateDevice(GUID_Joystick);
    ASSERT_TRUE(joystick);
    layout = std::make_unique<FormatFromObjects>(joystick.Get(), DIDF_ABSAXIS, sizeof(DIJOYSTATE2));
    ASSERT_EQ(joystick->SetDataFormat(&layout->format), DI_OK);
    ASSERT_EQ(joystick->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  }

  void TearDown() override {
    joystick.Reset();
    DInputFixture::TearDown();
  }

  DIJOYSTATE2 Read() {
    DIJOYSTATE2 state{};
    EXPECT_EQ(joystick->GetDeviceState(sizeof(state), &state), DI_OK);
    return state;
  }

  HRESULT SetRange(DWORD offset, LONG low, LONG high, DWORD how = DIPH_BYOFFSET) {
    DIPROPRANGE range{{sizeof(DIPROPRANGE), 16, offset, how}, low, high};
    return joystick->SetProperty(DIPROP_RANGE, &range.diph);
  }

  HRESULT SetDeadZone(DWORD offset, DWORD zone) {
    DIPROPDWORD value{{sizeof(DIPROPDWORD), 16, offset, DIPH_BYOFFSET}, zone};
    return joystick->SetProperty(DIPROP_DEADZONE, &value.diph);
  }

  ComPtr<IDirectInputDevice> joystick;
  std::unique_ptr<FormatFromObjects> layout;
};

}  // namespace

TEST_F(JoystickTest, ObjectsLieAtTheirPlacesInTheJoystickState) {
  TestAttachJoystick(3, 5, true);
  joystick = CreateDevice(GUID_Joystick);
  ASSERT_TRUE(joystick);
  std::vector<ListedObject> objects;
  ASSERT_EQ(joystick->EnumObjects(&ListObject, &objects, DIDFT_ALL), DI_OK);
  ASSERT_EQ(objects.size(), 1u + 3u + 1u + 5u);
  EXPECT_EQ(objects[0].type, GUID_Unknown) << "the collection that holds the rest";
  EXPECT_EQ(objects[0].typeBits & DIDFT_NODATA, DIDFT_NODATA);
  EXPECT_EQ(objects[1].type, GUID_XAxis);
  EXPECT_EQ(objects[1].offset, offsetof(DIJOYSTATE2, lX));
  EXPECT_EQ(objects[2].type, GUID_YAxis);
  EXPECT_EQ(objects[2].offset, offsetof(DIJOYSTATE2, lY));
  EXPECT_EQ(objects[3].type, GUID_ZAxis);
  EXPECT_EQ(objects[3].offset, offsetof(DIJOYSTATE2, lZ));
  EXPECT_EQ(DIDFT_GETTYPE(objects[3].typeBits), DIDFT_ABSAXIS);
  EXPECT_EQ(objects[4].type, GUID_POV);
  EXPECT_EQ(objects[4].offset, offsetof(DIJOYSTATE2, rgdwPOV));
  for (DWORD button = 0; button < 5; ++button) {
    EXPECT_EQ(objects[5 + button].type, GUID_Button);
    EXPECT_EQ(objects[5 + button].offset, offsetof(DIJOYSTATE2, rgbButtons) + button);
    EXPECT_EQ(DIDFT_GETINSTANCE(objects[5 + button].typeBits), button);
  }
  std::vector<ListedObject> buttons;
  ASSERT_EQ(joystick->EnumObjects(&ListObject, &buttons, DIDFT_BUTTON), DI_OK);
  EXPECT_EQ(buttons.size(), 5u);
  std::vector<ListedObject> actuators;
  ASSERT_EQ(joystick->EnumObjects(&ListObject, &actuators, DIDFT_AXIS | DIDFT_FFACTUATOR), DI_OK);
  EXPECT_TRUE(actuators.empty()) << "no force feedback";

  DIDEVCAPS caps{};
  caps.dwSize = 44;
  ASSERT_EQ(joystick->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwAxes, 3u);
  EXPECT_EQ(caps.dwButtons, 5u);
  EXPECT_EQ(caps.dwPOVs, 1u);
  EXPECT_EQ(caps.dwFlags, DIDC_ATTACHED);
  TestDInputRefuseNext(DInputCall::GetCapabilities);
  EXPECT_EQ(joystick->GetCapabilities(&caps), DIERR_GENERIC);
}

TEST_F(JoystickTest, ReadsPositionsButtonsAndPointOfViewIntoTheJoystickState) {
  Open(3, 6, true);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  TestSetJoystickAxis(0, 0, 0);
  TestSetJoystickAxis(0, 1, 65535);
  TestSetJoystickAxis(0, 2, 40000);
  TestSetJoystickButtons(0, 0b100001);
  TestSetJoystickPov(0, 9000);
  DIJOYSTATE2 state = Read();
  // Without a range set, positions come as the host reports them.
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 65535);
  EXPECT_EQ(state.lZ, 40000);
  EXPECT_EQ(state.lRx, 0) << "an axis the joystick lacks";
  EXPECT_EQ(state.rgdwPOV[0], 9000u);
  EXPECT_EQ(state.rgbButtons[0], 0x80);
  EXPECT_EQ(state.rgbButtons[1], 0);
  EXPECT_EQ(state.rgbButtons[5], 0x80);
  EXPECT_EQ(state.rgbButtons[6], 0) << "a button the joystick lacks";
  TestSetJoystickPov(0, 0xFFFF);
  EXPECT_EQ(Read().rgdwPOV[0], 0xFFFFFFFFu) << "centred";
}

TEST_F(JoystickTest, AxesAreScaledToTheirRangeOutsideTheDeadZone) {
  Open(2, 2);
  ASSERT_EQ(SetRange(0, -1000, 1000), DI_OK);
  ASSERT_EQ(SetRange(4, -1000, 1000), DI_OK);
  ASSERT_EQ(SetDeadZone(0, 5000), DI_OK);
  ASSERT_EQ(joystick->Acquire(), DI_OK);

  struct Case {
    uint32_t position;
    LONG x;  // with half the travel as dead zone
    LONG y;  // without
  };
  const Case cases[] = {
      {32767, 0, 0},        // centre
      {49150, 0, 500},      // just inside the dead zone on X
      {57344, 500, 750},    // half way out of the dead zone
      {65535, 1000, 1000},  // end of travel
      {0, -1000, -1000},    // the other end
      {8191, -500, -750},
  };
  for (const Case& c : cases) {
    TestSetJoystickAxis(0, 0, c.position);
    TestSetJoystickAxis(0, 1, c.position);
    DIJOYSTATE2 state = Read();
    EXPECT_EQ(state.lX, c.x) << "position " << c.position;
    EXPECT_EQ(state.lY, c.y) << "position " << c.position;
  }

  // A dead zone of the whole travel leaves every position at the centre of the range.
  ASSERT_EQ(joystick->Unacquire(), DI_OK);
  ASSERT_EQ(SetDeadZone(0, 10000), DI_OK);
  ASSERT_EQ(SetRange(0, 0, 100, DIPH_DEVICE), DI_OK);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  TestSetJoystickAxis(0, 0, 65535);
  TestSetJoystickAxis(0, 1, 65535);
  DIJOYSTATE2 state = Read();
  EXPECT_EQ(state.lX, 50);
  EXPECT_EQ(state.lY, 100) << "a range for the whole device reaches every axis";
}

TEST_F(JoystickTest, PropertiesAreRefusedWhereNoAxisIs) {
  Open(2, 2, true);
  EXPECT_EQ(SetRange(offsetof(DIJOYSTATE2, lZ), -10, 10), DIERR_NOTFOUND) << "no Z axis";
  EXPECT_EQ(SetRange(1, -10, 10), DIERR_NOTFOUND);
  EXPECT_EQ(SetDeadZone(offsetof(DIJOYSTATE2, rgdwPOV), 100), DIERR_UNSUPPORTED);
  EXPECT_EQ(SetDeadZone(offsetof(DIJOYSTATE2, rgbButtons), 100), DIERR_UNSUPPORTED);
  EXPECT_EQ(SetDeadZone(0, 10001), DIERR_INVALIDPARAM);
  EXPECT_EQ(SetRange(0, 10, 10), DIERR_INVALIDPARAM);
  EXPECT_EQ(SetRange(0, -10, 10, 7), DIERR_INVALIDPARAM) << "unknown addressing";
  DIPROPRANGE shortHeader{{sizeof(DIPROPRANGE), 12, 0, DIPH_BYOFFSET}, -10, 10};
  EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &shortHeader.diph), DIERR_INVALIDPARAM);
  DIPROPDWORD wrongRecord{{sizeof(DIPROPDWORD), 16, 0, DIPH_BYOFFSET}, 5};
  EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &wrongRecord.diph), DIERR_INVALIDPARAM);
  EXPECT_EQ(joystick->SetProperty(MAKEDIPROP(1), &wrongRecord.diph), DIERR_UNSUPPORTED);
  TestDInputRefuseNext(DInputCall::SetProperty);
  EXPECT_EQ(SetRange(0, -10, 10), DIERR_GENERIC);

  // Auto-centring is a force-feedback setting.
  DIPROPDWORD autoCenter{{sizeof(DIPROPDWORD), 16, 0, DIPH_DEVICE}, DIPROPAUTOCENTER_OFF};
  EXPECT_EQ(joystick->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph), DIERR_UNSUPPORTED);
}

TEST_F(JoystickTest, AutoCentringIsSetOnForceFeedbackJoysticksWhileNotAcquired) {
  TestDInputSetForceFeedback(true);
  Open(2, 4);
  EXPECT_TRUE(TestDInputDevices()[0].autoCenter) << "on at start";
  DIPROPDWORD autoCenter{{sizeof(DIPROPDWORD), 16, 0, DIPH_DEVICE}, DIPROPAUTOCENTER_OFF};
  ASSERT_EQ(joystick->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph), DI_OK);
  EXPECT_FALSE(TestDInputDevices()[0].autoCenter);
  autoCenter.dwData = 2;
  EXPECT_EQ(joystick->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph), DIERR_INVALIDPARAM);
  autoCenter.dwData = DIPROPAUTOCENTER_ON;
  autoCenter.diph.dwHow = DIPH_BYOFFSET;
  EXPECT_EQ(joystick->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph), DIERR_INVALIDPARAM)
      << "the whole device only";
  autoCenter.diph.dwHow = DIPH_DEVICE;
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  EXPECT_EQ(joystick->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph), DIERR_ACQUIRED);
  EXPECT_FALSE(TestDInputDevices()[0].autoCenter);

  DIDEVCAPS caps{};
  caps.dwSize = 44;
  ASSERT_EQ(joystick->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwFlags & DIDC_FORCEFEEDBACK, DIDC_FORCEFEEDBACK);
}

TEST_F(JoystickTest, PollingAndReadingNeedTheJoystickAttachedAndAcquired) {
  Open(2, 2);
  ComPtr<IDirectInputDevice2> second;
  ASSERT_EQ(joystick->QueryInterface(IID_IDirectInputDevice2,
                                     reinterpret_cast<void**>(second.ReleaseAndGetAddressOf())),
            S_OK);
  EXPECT_EQ(second->Poll(), DIERR_NOTACQUIRED);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  EXPECT_EQ(second->Poll(), DI_NOEFFECT);
  TestDInputRefuseNext(DInputCall::Poll, DIERR_INPUTLOST);
  EXPECT_EQ(second->Poll(), DIERR_INPUTLOST);

  TestRemoveJoystick(0);
  EXPECT_EQ(second->Poll(), DIERR_INPUTLOST) << "unplugged";
  DIJOYSTATE2 state;
  EXPECT_EQ(joystick->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
  EXPECT_EQ(joystick->Acquire(), DIERR_INPUTLOST);
  DIDEVCAPS caps{};
  caps.dwSize = 44;
  ASSERT_EQ(joystick->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwFlags & DIDC_ATTACHED, 0u);
}

TEST_F(JoystickTest, EachJoystickReadsItsOwnHostJoystick) {
  TestAttachJoystick(2, 1);
  Open(2, 1);  // the second one, but opened as GUID_Joystick: the first
  std::vector<GUID> instances;
  auto listInstance = [](const DIDEVICEINSTANCE* instance, void* context) -> BOOL {
    static_cast<std::vector<GUID>*>(context)->push_back(instance->guidInstance);
    return DIENUM_CONTINUE;
  };
  ASSERT_EQ(directInput->EnumDevices(DIDEVTYPE_JOYSTICK, listInstance, &instances, 0), DI_OK);
  ASSERT_EQ(instances.size(), 2u);
  ComPtr<IDirectInputDevice> other = CreateDevice(instances[1]);
  ASSERT_TRUE(other);
  ASSERT_EQ(other->SetDataFormat(&layout->format), DI_OK);
  ASSERT_EQ(other->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  ASSERT_EQ(other->Acquire(), DI_OK) << "a different joystick";
  TestSetJoystickButtons(0, 1);
  TestSetJoystickAxis(1, 0, 100);
  DIJOYSTATE2 firstState = Read();
  DIJOYSTATE2 secondState{};
  ASSERT_EQ(other->GetDeviceState(sizeof(secondState), &secondState), DI_OK);
  EXPECT_EQ(firstState.rgbButtons[0], 0x80);
  EXPECT_EQ(firstState.lX, 32767);
  EXPECT_EQ(secondState.rgbButtons[0], 0);
  EXPECT_EQ(secondState.lX, 100);

  // Unplugging the first: its device reports the input lost, the other reads on as number 1.
  TestRemoveJoystick(0);
  EXPECT_EQ(joystick->GetDeviceState(sizeof(firstState), &firstState), DIERR_INPUTLOST);
  ASSERT_EQ(other->GetDeviceState(sizeof(secondState), &secondState), DI_OK);
  EXPECT_EQ(secondState.lX, 100);
  EXPECT_EQ(TestDInputDevices()[0].joystick, -1);
  EXPECT_EQ(TestDInputDevices()[1].joystick, 1);

  // A joystick plugged in again takes number 0 but is a new device: the old device stays lost.
  EXPECT_EQ(TestAttachJoystick(2, 1), 0);
  EXPECT_EQ(joystick->Acquire(), DIERR_INPUTLOST);
  ComPtr<IDirectInputDevice> replugged = CreateDevice(GUID_Joystick);
  ASSERT_TRUE(replugged);
  EXPECT_EQ(TestDInputDevices()[2].joystick, 0);
  EXPECT_FALSE(TestDInputDevices()[2].instance == instances[0]);
}

TEST_F(JoystickTest, PropertiesSentToEveryOffsetAreTakenOnlyByTheAxes) {
  Open(3, 8, true);
  std::vector<DWORD> acceptedZones;
  std::vector<DWORD> acceptedRanges;
  for (DWORD offset = 0; offset <= 270; ++offset) {
    if (SetDeadZone(offset, 5000) == DI_OK) acceptedZones.push_back(offset);
    if (SetRange(offset, -1000, 1000) == DI_OK) acceptedRanges.push_back(offset);
  }
  const std::vector<DWORD> axes = {offsetof(DIJOYSTATE2, lX), offsetof(DIJOYSTATE2, lY),
                                   offsetof(DIJOYSTATE2, lZ)};
  EXPECT_EQ(acceptedZones, axes);
  EXPECT_EQ(acceptedRanges, axes);
}
