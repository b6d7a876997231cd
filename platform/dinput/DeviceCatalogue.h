// The devices DirectInput offers and what each is made of: the system keyboard and mouse, and one
// joystick per entry of the host's joystick table, each with its objects and their readings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dinput/DInput.h"

enum class DeviceKind { Keyboard, Mouse, Joystick };

struct DeviceIdentity {
  DeviceKind kind;
  // The host joystick's instance, which no other joystick ever has; -1 for keyboard and mouse.
  // A device made for a joystick stays with that joystick, whatever its number becomes.
  int32_t joystick;
  friend bool operator==(const DeviceIdentity&, const DeviceIdentity&) = default;
};

// One object of a device. `offset` is its offset in the device's standard state block; `source`
// says where its reading comes from: the scan code of a key, or the index of an axis or button.
struct DeviceObject {
  GUID guidType;
  DWORD offset;
  DWORD type;  // DIDFT_* kind, instance and attributes
  std::string name;
  int32_t source;
};

// The device a GUID names: the system devices, GUID_Joystick for the attached joystick with the
// lowest number, or a joystick's instance GUID. Nothing for an unknown GUID or a joystick no
// longer attached.
std::optional<DeviceIdentity> FindDevice(const GUID& guid);
// Every attached device in enumeration order: keyboard, mouse, joysticks.
std::vector<DeviceIdentity> AttachedDevices();
bool IsAttached(const DeviceIdentity& device);
// The joystick's number in the host's table; -1 for keyboard, mouse and unplugged joysticks.
int32_t JoystickNumber(const DeviceIdentity& device);
bool HasForceFeedback(const DeviceIdentity& device);
// DIDEVTYPE_* kind, sub-type and attributes.
DWORD DeviceType(const DeviceIdentity& device);
GUID InstanceGuid(const DeviceIdentity& device);
// Fills every field of a DIDEVICEINSTANCE except dwSize.
void DescribeDevice(const DeviceIdentity& device, DIDEVICEINSTANCE* instance);
// The device's objects in enumeration order (as the host reports the device now).
std::vector<DeviceObject> DeviceObjects(const DeviceIdentity& device);

// Raw readings, taken once per state read.
struct DeviceReading {
  BYTE keys[256] = {};   // by scan code, 0x80 while held
  LONG pointer[3] = {};  // mouse: x, y, wheel
  bool mouseButtons[3] = {};
  uint32_t axes[6] = {};   // joystick positions 0 to 65535
  uint32_t buttons = 0;    // joystick button mask
  DWORD pov = 0xFFFFFFFF;  // hundredths of a degree, 0xFFFFFFFF when centred
};
DeviceReading ReadDevice(const DeviceIdentity& device);
