// The joystick and the mouse. The joystick's first two axes give the four direction states and
// its buttons the button states; it is read through DirectInput with dead zones and ranges per
// axis, or through the multimedia joystick functions with the same arithmetic done here. The
// mouse needs DirectInput; its motion and three buttons give states the same way.
#pragma once

#include <array>

#include "input/DXInput.h"
#include "platform/mmsystem/MMSystem.h"

// A multimedia joystick position scaled to -Range..Range around the middle of Min..Max, with
// DeadZone percent of each half travel around the middle reading 0.
Integer ScaleJoystickAxis(Integer Pos, Integer Max, Integer Min, Integer Range, Integer DeadZone);

class TJoystick : public TCustomInput {
  ORVALIS_CLASS(TJoystick, TCustomInput)

  explicit TJoystick(TCustomDXInput* DXInput);

  void Finalize() override;
  void Initialize() override;
  void Update() override;
  DWORD GetCooperativeLevel() override;

  // Dead zone (percent) and half range per byte offset of the joystick state; -1 where the
  // device refused the value. Offsets outside 0..270 read 0 and are not written.
  Integer DeadZone(Integer Offset) const;
  void SetDeadZone(Integer Offset, Integer Value);
  Integer Range(Integer Offset) const;
  void SetRange(Integer Offset, Integer Value);

  Integer DeadZoneX() const { return DeadZone(kOffsetX); }
  void SetDeadZoneX(Integer Value) { SetDeadZone(kOffsetX, Value); }
  Integer DeadZoneY() const { return DeadZone(kOffsetY); }
  void SetDeadZoneY(Integer Value) { SetDeadZone(kOffsetY, Value); }
  Integer DeadZoneZ() const { return DeadZone(kOffsetZ); }
  void SetDeadZoneZ(Integer Value) { SetDeadZone(kOffsetZ, Value); }
  Integer RangeX() const { return Range(kOffsetX); }
  void SetRangeX(Integer Value) { SetRange(kOffsetX, Value); }
  Integer RangeY() const { return Range(kOffsetY); }
  void SetRangeY(Integer Value) { SetRange(kOffsetY, Value); }
  Integer RangeZ() const { return Range(kOffsetZ); }
  void SetRangeZ(Integer Value) { SetRange(kOffsetZ, Value); }

  bool AutoCenter() const { return FAutoCenter; }
  void SetAutoCenter(bool Value);
  // Which attached joystick to use, counting from 0.
  Integer ID() const { return FID; }
  void SetID(Integer Value);

  const DIJOYSTATE2& JoyState() const { return FJoyState; }
  // The multimedia joystick in use, -1 for none.
  Integer JoyID() const { return FJoyID; }

 private:
  static constexpr Integer kOffsetX = 0;
  static constexpr Integer kOffsetY = 4;
  static constexpr Integer kOffsetZ = 8;
  static constexpr size_t kEntries = sizeof(DIJOYSTATE2);

  static BOOL EnumJoystickCallback(const DIDEVICEINSTANCE* Instance, void* Context);
  // The ID-th attached joystick through DirectInput; leaves no device on any failure.
  void InitializeDirectInputDevice();
  bool MakeDirectInputDevice();
  // The ID-th attached multimedia joystick, for when DirectInput gave no device.
  void InitializeMultimediaJoystick();
  void ReadMultimediaJoystick();

  DIJOYSTATE2 FJoyState{};
  bool FAutoCenter = true;
  GUID FDeviceGuid{};
  bool FDeviceFound = false;
  Integer FEnumCount = 0;
  Integer FID = 0;
  Integer FJoyID = -1;
  JOYCAPSA FJoyCaps{};
  std::array<Integer, kEntries> FDeadZone{};
  std::array<Integer, kEntries> FRange{};
};

class TMouse : public TCustomInput {
  ORVALIS_CLASS(TMouse, TCustomInput)

  // Disabled and not bound at creation.
  explicit TMouse(TCustomDXInput* DXInput);

  void Finalize() override;
  // Raises EDXInputError "DirectInput is required for mouse support" when enabled without
  // DirectInput.
  void Initialize() override;
  void Update() override;

  const DIMOUSESTATE& MouseState() const { return FMouseState; }

 private:
  DIMOUSESTATE FMouseState{};
};
