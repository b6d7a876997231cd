#include "platform/dinput/DeviceCatalogue.h"

#include <cstdio>
#include <cstring>

#include "platform/dinput/DInputState.h"
#include "platform/mmsystem/Joysticks.h"
#include "platform/user/Cursor.h"
#include "platform/user/Keyboard.h"

namespace {

struct KeyEntry {
  DWORD scanCode;
  int32_t virtualKey;
};

// The keys of an enhanced keyboard the host reports, by scan code. The keypad's Enter shares its
// virtual key with Return, so the host cannot tell them apart and only Return is reported.
constexpr KeyEntry kKeys[] = {
    {DIK_ESCAPE, VK_ESCAPE},
    {DIK_1, '1'},
    {DIK_1 + 1, '2'},
    {DIK_1 + 2, '3'},
    {DIK_1 + 3, '4'},
    {DIK_1 + 4, '5'},
    {DIK_1 + 5, '6'},
    {DIK_1 + 6, '7'},
    {DIK_1 + 7, '8'},
    {DIK_1 + 8, '9'},
    {DIK_0, '0'},
    {DIK_MINUS, VK_OEM_MINUS},
    {DIK_EQUALS, VK_OEM_PLUS},
    {DIK_BACK, VK_BACK},
    {DIK_TAB, VK_TAB},
    {DIK_Q, 'Q'},
    {DIK_W, 'W'},
    {DIK_E, 'E'},
    {DIK_R, 'R'},
    {DIK_T, 'T'},
    {DIK_Y, 'Y'},
    {DIK_U, 'U'},
    {DIK_I, 'I'},
    {DIK_O, 'O'},
    {DIK_P, 'P'},
    {DIK_LBRACKET, VK_OEM_4},
    {DIK_RBRACKET, VK_OEM_6},
    {DIK_RETURN, VK_RETURN},
    {DIK_LCONTROL, VK_LCONTROL},
    {DIK_A, 'A'},
    {DIK_S, 'S'},
    {DIK_D, 'D'},
    {DIK_F, 'F'},
    {DIK_G, 'G'},
    {DIK_H, 'H'},
    {DIK_J, 'J'},
    {DIK_K, 'K'},
    {DIK_L, 'L'},
    {DIK_SEMICOLON, VK_OEM_1},
    {DIK_APOSTROPHE, VK_OEM_7},
    {DIK_GRAVE, VK_OEM_3},
    {DIK_LSHIFT, VK_LSHIFT},
    {DIK_BACKSLASH, VK_OEM_5},
    {DIK_Z, 'Z'},
    {DIK_X, 'X'},
    {DIK_C, 'C'},
    {DIK_V, 'V'},
    {DIK_B, 'B'},
    {DIK_N, 'N'},
    {DIK_M, 'M'},
    {DIK_COMMA, VK_OEM_COMMA},
    {DIK_PERIOD, VK_OEM_PERIOD},
    {DIK_SLASH, VK_OEM_2},
    {DIK_RSHIFT, VK_RSHIFT},
    {DIK_MULTIPLY, VK_MULTIPLY},
    {DIK_LMENU, VK_LMENU},
    {DIK_SPACE, VK_SPACE},
    {DIK_CAPITAL, VK_CAPITAL},
    {DIK_F1, VK_F1},
    {DIK_F1 + 1, VK_F1 + 1},
    {DIK_F1 + 2, VK_F1 + 2},
    {DIK_F1 + 3, VK_F1 + 3},
    {DIK_F1 + 4, VK_F1 + 4},
    {DIK_F1 + 5, VK_F1 + 5},
    {DIK_F1 + 6, VK_F1 + 6},
    {DIK_F1 + 7, VK_F1 + 7},
    {DIK_F1 + 8, VK_F1 + 8},
    {DIK_F1 + 9, VK_F1 + 9},
    {DIK_NUMLOCK, VK_NUMLOCK},
    {DIK_SCROLL, VK_SCROLL},
    {DIK_NUMPAD7, VK_NUMPAD0 + 7},
    {DIK_NUMPAD8, VK_NUMPAD0 + 8},
    {DIK_NUMPAD9, VK_NUMPAD0 + 9},
    {DIK_SUBTRACT, VK_SUBTRACT},
    {DIK_NUMPAD4, VK_NUMPAD0 + 4},
    {DIK_NUMPAD5, VK_NUMPAD0 + 5},
    {DIK_NUMPAD6, VK_NUMPAD0 + 6},
    {DIK_ADD, VK_ADD},
    {DIK_NUMPAD1, VK_NUMPAD0 + 1},
    {DIK_NUMPAD2, VK_NUMPAD0 + 2},
    {DIK_NUMPAD3, VK_NUMPAD0 + 3},
    {DIK_NUMPAD0, VK_NUMPAD0},
    {DIK_DECIMAL, VK_DECIMAL},
    {DIK_OEM_102, VK_OEM_102},
    {DIK_F11, VK_F1 + 10},
    {DIK_F12, VK_F12},
    {DIK_RCONTROL, VK_RCONTROL},
    {DIK_DIVIDE, VK_DIVIDE},
    {DIK_SYSRQ, VK_SNAPSHOT},
    {DIK_RMENU, VK_RMENU},
    {DIK_PAUSE, VK_PAUSE},
    {DIK_HOME, VK_HOME},
    {DIK_UP, VK_UP},
    {DIK_PRIOR, VK_PRIOR},
    {DIK_LEFT, VK_LEFT},
    {DIK_RIGHT, VK_RIGHT},
    {DIK_END, VK_END},
    {DIK_DOWN, VK_DOWN},
    {DIK_NEXT, VK_NEXT},
    {DIK_INSERT, VK_INSERT},
    {DIK_DELETE, VK_DELETE},
    {DIK_LWIN, VK_LWIN},
    {DIK_RWIN, VK_RWIN},
    {DIK_APPS, VK_APPS},
};

// The instance GUID of the joystick with host instance n is this one with n added to Data1; its
// product GUID likewise.
constexpr GUID kJoystickInstanceBase = {
    0x0A5E0000, 0x4F52, 0x11D3, {0x80, 0x01, 0x4F, 0x52, 0x56, 0x4C, 0x53, 0x00}};
constexpr GUID kJoystickProductBase = {
    0x0A5F0000, 0x4F52, 0x11D3, {0x80, 0x01, 0x4F, 0x52, 0x56, 0x4C, 0x53, 0x00}};

// The joystick's axes in the order the host numbers them, with their state-block offsets.
struct AxisEntry {
  const GUID* type;
  DWORD offset;
  const char* name;
};
constexpr AxisEntry kJoystickAxes[6] = {
    {&GUID_XAxis, 0, "X Axis"},       {&GUID_YAxis, 4, "Y Axis"},
    {&GUID_ZAxis, 8, "Z Axis"},       {&GUID_RxAxis, 12, "X Rotation"},
    {&GUID_RyAxis, 16, "Y Rotation"}, {&GUID_RzAxis, 20, "Z Rotation"},
};
constexpr DWORD kJoystickPovOffset = 32;
constexpr DWORD kJoystickButtonsOffset = 48;
constexpr DWORD kMouseButtonsOffset = 12;
constexpr int32_t kForceFeedbackAxes = 2;

const HostJoystick* Attached(const DeviceIdentity& device) {
  return device.kind == DeviceKind::Joystick ? HostJoystickAt(JoystickNumber(device)) : nullptr;
}

GUID WithIndex(GUID base, int32_t index) {
  base.Data1 += static_cast<uint32_t>(index);
  return base;
}

// The index a GUID built from `base` carries, or -1 when it is not one of them.
int32_t IndexIn(const GUID& guid, const GUID& base) {
  GUID unindexed = guid;
  unindexed.Data1 = base.Data1;
  const uint32_t index = guid.Data1 - base.Data1;
  return unindexed == base && index < 0x10000 ? static_cast<int32_t>(index) : -1;
}

void CopyName(char (&target)[260], const std::string& name) {
  std::snprintf(target, sizeof(target), "%s", name.c_str());
}

}  // namespace

std::optional<DeviceIdentity> FindDevice(const GUID& guid) {
  if (guid == GUID_SysKeyboard) return DeviceIdentity{DeviceKind::Keyboard, -1};
  if (guid == GUID_SysMouse) return DeviceIdentity{DeviceKind::Mouse, -1};
  if (guid == GUID_Joystick) {
    for (int32_t number = 0; number < HostJoystickNumberLimit(); ++number)
      if (const HostJoystick* joystick = HostJoystickAt(number))
        return DeviceIdentity{DeviceKind::Joystick, joystick->instance};
    return std::nullopt;
  }
  const DeviceIdentity joystick{DeviceKind::Joystick, IndexIn(guid, kJoystickInstanceBase)};
  if (joystick.joystick >= 0 && IsAttached(joystick)) return joystick;
  return std::nullopt;
}

std::vector<DeviceIdentity> AttachedDevices() {
  std::vector<DeviceIdentity> devices = {{DeviceKind::Keyboard, -1}, {DeviceKind::Mouse, -1}};
  for (int32_t number = 0; number < HostJoystickNumberLimit(); ++number)
    if (const HostJoystick* joystick = HostJoystickAt(number))
      devices.push_back({DeviceKind::Joystick, joystick->instance});
  return devices;
}

bool IsAttached(const DeviceIdentity& device) {
  return device.kind != DeviceKind::Joystick || JoystickNumber(device) >= 0;
}

int32_t JoystickNumber(const DeviceIdentity& device) {
  return device.kind == DeviceKind::Joystick ? HostJoystickNumber(device.joystick) : -1;
}

bool HasForceFeedback(const DeviceIdentity& device) {
  const HostJoystick* joystick = Attached(device);
  return joystick && (joystick->forceFeedback || DInputState::Get().forceFeedback);
}

DWORD DeviceType(const DeviceIdentity& device) {
  switch (device.kind) {
    case DeviceKind::Keyboard:
      return DIDEVTYPE_KEYBOARD | (DIDEVTYPEKEYBOARD_PCENH << 8);
    case DeviceKind::Mouse:
      return DIDEVTYPE_MOUSE | (DIDEVTYPEMOUSE_TRADITIONAL << 8);
    case DeviceKind::Joystick:
      break;
  }
  return DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8) | DIDEVTYPE_HID;
}

GUID InstanceGuid(const DeviceIdentity& device) {
  switch (device.kind) {
    case DeviceKind::Keyboard:
      return GUID_SysKeyboard;
    case DeviceKind::Mouse:
      return GUID_SysMouse;
    case DeviceKind::Joystick:
      break;
  }
  return WithIndex(kJoystickInstanceBase, device.joystick);
}

void DescribeDevice(const DeviceIdentity& device, DIDEVICEINSTANCE* instance) {
  const DWORD size = instance->dwSize;
  std::memset(instance, 0, sizeof(*instance));
  instance->dwSize = size;
  instance->guidInstance = InstanceGuid(device);
  instance->guidProduct = instance->guidInstance;
  instance->dwDevType = DeviceType(device);
  switch (device.kind) {
    case DeviceKind::Keyboard:
      CopyName(instance->tszInstanceName, "Keyboard");
      break;
    case DeviceKind::Mouse:
      CopyName(instance->tszInstanceName, "Mouse");
      break;
    case DeviceKind::Joystick:
      instance->guidProduct = WithIndex(kJoystickProductBase, device.joystick);
      if (const HostJoystick* joystick = Attached(device))
        CopyName(instance->tszInstanceName, joystick->name);
      instance->wUsagePage = 1;  // generic desktop controls
      instance->wUsage = 4;      // joystick
      break;
  }
  std::memcpy(instance->tszProductName, instance->tszInstanceName,
              sizeof(instance->tszProductName));
}

std::vector<DeviceObject> DeviceObjects(const DeviceIdentity& device) {
  std::vector<DeviceObject> objects;
  switch (device.kind) {
    case DeviceKind::Keyboard:
      for (const KeyEntry& key : kKeys)
        objects.push_back(
            {GUID_Key, key.scanCode, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(key.scanCode),
             "Key " + std::to_string(key.scanCode), static_cast<int32_t>(key.scanCode)});
      break;
    case DeviceKind::Mouse:
      objects.push_back({GUID_XAxis, 0, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(0), "X Axis", 0});
      objects.push_back({GUID_YAxis, 4, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(1), "Y Axis", 1});
      objects.push_back({GUID_ZAxis, 8, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(2), "Wheel", 2});
      for (int32_t button = 0; button < 3; ++button)
        objects.push_back({GUID_Button, kMouseButtonsOffset + button,
                           DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(button),
                           "Button " + std::to_string(button), button});
      break;
    case DeviceKind::Joystick: {
      const HostJoystick* attached = Attached(device);
      if (!attached) break;
      const HostJoystick& joystick = *attached;
      const bool forceFeedback = HasForceFeedback(device);
      // Joysticks carry a top-level collection that holds no data, as every HID device does.
      objects.push_back({GUID_Unknown, 0, DIDFT_COLLECTION | DIDFT_NODATA | DIDFT_MAKEINSTANCE(0),
                         "Collection 0 - Joystick", -1});
      for (int32_t axis = 0; axis < joystick.axisCount && axis < 6; ++axis)
        objects.push_back({*kJoystickAxes[axis].type, kJoystickAxes[axis].offset,
                           DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(axis) |
                               (forceFeedback && axis < kForceFeedbackAxes ? DIDFT_FFACTUATOR : 0),
                           kJoystickAxes[axis].name, axis});
      if (joystick.hasPov)
        objects.push_back(
            {GUID_POV, kJoystickPovOffset, DIDFT_POV | DIDFT_MAKEINSTANCE(0), "Hat Switch", 0});
      for (int32_t button = 0; button < joystick.buttonCount && button < 32; ++button)
        objects.push_back({GUID_Button, kJoystickButtonsOffset + button,
                           DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(button) |
                               (forceFeedback ? DIDFT_FFEFFECTTRIGGER : 0),
                           "Button " + std::to_string(button), button});
      break;
    }
  }
  return objects;
}

DeviceReading ReadDevice(const DeviceIdentity& device) {
  DeviceReading reading;
  switch (device.kind) {
    case DeviceKind::Keyboard: {
      BYTE virtualKeys[256];
      GetKeyboardState(virtualKeys);
      for (const KeyEntry& key : kKeys)
        reading.keys[key.scanCode] = virtualKeys[key.virtualKey] & 0x80;
      break;
    }
    case DeviceKind::Mouse: {
      POINT cursor{};
      GetCursorPos(&cursor);
      reading.pointer[0] = cursor.x;
      reading.pointer[1] = cursor.y;
      const int32_t buttons[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
      for (int32_t button = 0; button < 3; ++button)
        reading.mouseButtons[button] = GetAsyncKeyState(buttons[button]) < 0;
      break;
    }
    case DeviceKind::Joystick: {
      const HostJoystick* joystick = Attached(device);
      if (!joystick) break;
      std::memcpy(reading.axes, joystick->axes, sizeof(reading.axes));
      reading.buttons = joystick->buttons;
      reading.pov = joystick->pov == 0xFFFF ? 0xFFFFFFFF : joystick->pov;
      break;
    }
  }
  return reading;
}
