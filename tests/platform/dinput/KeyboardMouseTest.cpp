#include <array>

#include "DInputTestSupport.h"

namespace {

using KeyboardTest = DInputFixture;
using MouseTest = DInputFixture;

constexpr DWORD kWatchedKeys[] = {DIK_A,    DIK_SPACE,   DIK_LSHIFT, DIK_RSHIFT,
                                  DIK_LEFT, DIK_NUMPAD8, DIK_RETURN, DIK_APOSTROPHE};

// Each watched key in a byte of its own, in the order above.
OwnedFormat WatchedKeys() {
  std::vector<DIOBJECTDATAFORMAT> objects;
  for (DWORD index = 0; index < std::size(kWatchedKeys); ++index)
    objects.push_back(
        {&GUID_Key, index, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(kWatchedKeys[index]), 0});
  return OwnedFormat(0, 8, std::move(objects));
}

std::array<BYTE, 8> Read(IDirectInputDevice* keyboard) {
  std::array<BYTE, 8> state{};
  EXPECT_EQ(keyboard->GetDeviceState(state.size(), state.data()), DI_OK);
  return state;
}

// The mouse's standard layout: three axes and four buttons.
OwnedFormat MouseLayout(DWORD flags) {
  return OwnedFormat(flags, sizeof(DIMOUSESTATE),
                     {{&GUID_XAxis, 0, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
                      {&GUID_YAxis, 4, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
                      {&GUID_ZAxis, 8, DIDFT_OPTIONAL | DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
                      {nullptr, 12, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
                      {nullptr, 13, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
                      {nullptr, 14, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
                      {nullptr, 15, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0}});
}

DIMOUSESTATE ReadMouse(IDirectInputDevice* mouse) {
  DIMOUSESTATE state{};
  EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
  return state;
}

}  // namespace

TEST_F(KeyboardTest, HeldKeysShowAtTheirScanCodes) {
  OwnedFormat keys = WatchedKeys();
  ComPtr<IDirectInputDevice> keyboard = AcquiredDevice(GUID_SysKeyboard, keys.format);
  ASSERT_TRUE(keyboard);
  EXPECT_EQ(Read(keyboard.Get()), (std::array<BYTE, 8>{}));

  TestPressKey('A');
  TestPressKey(VK_LEFT);
  EXPECT_EQ(Read(keyboard.Get()), (std::array<BYTE, 8>{0x80, 0, 0, 0, 0x80, 0, 0, 0}));
  TestReleaseKey('A');
  EXPECT_EQ(Read(keyboard.Get()), (std::array<BYTE, 8>{0, 0, 0, 0, 0x80, 0, 0, 0}));
  TestReleaseKey(VK_LEFT);

  // Each side of Shift is a key of its own; the keypad and punctuation keys have their own codes.
  TestPressKey(VK_RSHIFT);
  TestPressKey(VK_NUMPAD0 + 8);
  TestPressKey(VK_OEM_7);
  TestPressKey(VK_SPACE);
  TestPressKey(VK_RETURN);
  EXPECT_EQ(Read(keyboard.Get()), (std::array<BYTE, 8>{0, 0x80, 0, 0x80, 0, 0x80, 0x80, 0x80}));
  TestReleaseKey(VK_RSHIFT);
  TestPressKey(VK_LSHIFT);
  EXPECT_EQ(Read(keyboard.Get())[2], 0x80);
  EXPECT_EQ(Read(keyboard.Get())[3], 0);
}

TEST_F(KeyboardTest, KeysAreButtonsAtTheirScanCodes) {
  ComPtr<IDirectInputDevice> keyboard = CreateDevice(GUID_SysKeyboard);
  ASSERT_TRUE(keyboard);
  std::vector<ListedObject> objects;
  ASSERT_EQ(keyboard->EnumObjects(&ListObject, &objects, DIDFT_ALL), DI_OK);
  ASSERT_FALSE(objects.empty());
  for (const ListedObject& object : objects) {
    EXPECT_EQ(object.type, GUID_Key);
    EXPECT_EQ(DIDFT_GETINSTANCE(object.typeBits), object.offset);
    EXPECT_EQ(DIDFT_GETTYPE(object.typeBits), DIDFT_PSHBUTTON);
    EXPECT_NE(object.offset, 0u);
    EXPECT_NE(object.offset, DIK_NUMPADENTER) << "the host cannot tell it from Return";
  }
  std::vector<ListedObject> axes;
  ASSERT_EQ(keyboard->EnumObjects(&ListObject, &axes, DIDFT_AXIS), DI_OK);
  EXPECT_TRUE(axes.empty());

  DIDEVCAPS caps{};
  caps.dwSize = 44;
  ASSERT_EQ(keyboard->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwButtons, objects.size());
  EXPECT_EQ(caps.dwAxes, 0u);
  EXPECT_EQ(caps.dwFlags, DIDC_ATTACHED);
  EXPECT_EQ(GET_DIDEVICE_TYPE(caps.dwDevType), DIDEVTYPE_KEYBOARD);
  caps.dwSize = 40;
  EXPECT_EQ(keyboard->GetCapabilities(&caps), DIERR_INVALIDPARAM);
}

TEST_F(MouseTest, AxesReportMotionSinceTheLastReadAndButtonsTheirState) {
  TestMoveMouse(100, 100);
  OwnedFormat layout = MouseLayout(DIDF_RELAXIS);
  ComPtr<IDirectInputDevice> mouse = AcquiredDevice(GUID_SysMouse, layout.format);
  ASSERT_TRUE(mouse);
  DIMOUSESTATE state = ReadMouse(mouse.Get());
  EXPECT_EQ(state.lX, 0) << "no motion since acquiring";
  TestMoveMouse(130, 90);
  state = ReadMouse(mouse.Get());
  EXPECT_EQ(state.lX, 30);
  EXPECT_EQ(state.lY, -10);
  EXPECT_EQ(state.lZ, 0);
  state = ReadMouse(mouse.Get());
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 0);

  HostMouseButton(VK_RBUTTON, true);
  state = ReadMouse(mouse.Get());
  EXPECT_EQ(state.rgbButtons[0], 0);
  EXPECT_EQ(state.rgbButtons[1], 0x80);
  EXPECT_EQ(state.rgbButtons[3], 0) << "a fourth button the mouse lacks stays zero";
  HostMouseButton(VK_RBUTTON, false);
  EXPECT_EQ(ReadMouse(mouse.Get()).rgbButtons[1], 0);

  // Motion while not acquired is not reported after acquiring again.
  ASSERT_EQ(mouse->Unacquire(), DI_OK);
  TestMoveMouse(10, 10);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  EXPECT_EQ(ReadMouse(mouse.Get()).lX, 0);
}

TEST_F(MouseTest, AbsoluteAxesReportThePointerAndTakeNoRange) {
  OwnedFormat layout = MouseLayout(DIDF_ABSAXIS);
  ComPtr<IDirectInputDevice> mouse = AcquiredDevice(GUID_SysMouse, layout.format);
  ASSERT_TRUE(mouse);
  TestMoveMouse(40, 25);
  DIMOUSESTATE state = ReadMouse(mouse.Get());
  EXPECT_EQ(state.lX, 40);
  EXPECT_EQ(state.lY, 25);

  // A format that names no axis mode leaves the mouse reporting motion again.
  OwnedFormat plain = MouseLayout(0);
  ASSERT_EQ(mouse->Unacquire(), DI_OK);
  ASSERT_EQ(mouse->SetDataFormat(&plain.format), DI_OK);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  TestMoveMouse(50, 20);
  state = ReadMouse(mouse.Get());
  EXPECT_EQ(state.lX, 10);
  EXPECT_EQ(state.lY, -5);

  DIPROPRANGE range{{sizeof(DIPROPRANGE), 16, 0, DIPH_BYOFFSET}, -100, 100};
  EXPECT_EQ(mouse->SetProperty(DIPROP_RANGE, &range.diph), DIERR_UNSUPPORTED);
  DIPROPDWORD autoCenter{{sizeof(DIPROPDWORD), 16, 0, DIPH_DEVICE}, DIPROPAUTOCENTER_OFF};
  EXPECT_EQ(mouse->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph), DIERR_UNSUPPORTED);

  DIDEVCAPS caps{};
  caps.dwSize = 24;
  ASSERT_EQ(mouse->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwAxes, 3u);
  EXPECT_EQ(caps.dwButtons, 3u);
}
