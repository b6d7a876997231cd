#include "input/Joystick.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "dxbase/DXConsts.h"
#include "dxbase/DirectX.h"
#include "runtime/TypInfo.h"

namespace {

constexpr BYTE kButtonDown = 0x80;
// The first point of view: it has no dead zone or range.
constexpr Integer kOffsetPov = 32;
constexpr Integer kLastSettableOffset = 270;
constexpr UINT kMultimediaJoystickNumbers = 256;
constexpr DWORD kJoyInfoFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNZ | JOY_RETURNPOV |
                                JOY_RETURNBUTTONS | JOY_RETURNCENTERED;
// The multimedia button mask has 32 bits, as many as there are button states.
constexpr Integer kButtonStates = 32;

// The direction states of an X and a Y reading.
void IncludeDirections(TInputStates& states, LONG x, LONG y) {
  if (x < 0) states.Include(StateLeft);
  if (x > 0) states.Include(StateRight);
  if (y < 0) states.Include(StateUp);
  if (y > 0) states.Include(StateDown);
}

// Number * Numerator / Denominator rounded half away from zero, as MulDiv rounds, but wide
// enough for any operands the scaling produces, and saturated to 32 bits.
Integer RoundedMulDiv(int64_t Number, int64_t Numerator, int64_t Denominator) {
  const __int128 product = static_cast<__int128>(Number) * Numerator;
  const bool negative = (product < 0) != (Denominator < 0);
  const __int128 magnitude = product < 0 ? -product : product;
  const __int128 divisor = Denominator < 0 ? -static_cast<__int128>(Denominator) : Denominator;
  const __int128 quotient = (magnitude + divisor / 2) / divisor;
  return static_cast<Integer>(
      std::clamp<__int128>(negative ? -quotient : quotient, INT32_MIN, INT32_MAX));
}

}  // namespace

Integer ScaleJoystickAxis(Integer Pos, Integer Max, Integer Min, Integer Range, Integer DeadZone) {
  const int64_t half = (int64_t{Max} - Min) / 2;
  // The middle is taken as Half itself, which is the true middle when Min is 0.
  const int64_t position = int64_t{Pos} - half;
  const int64_t deadZone = half * DeadZone / 100;
  const int64_t live = half - deadZone;
  if (live == 0 || std::abs(position) <= deadZone) return 0;
  return RoundedMulDiv(position > 0 ? position - deadZone : position + deadZone, Range, live);
}

// ---- TJoystick ----

const TClassInfo& TJoystick::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TJoystick>({
      Property("AutoCenter", &TJoystick::AutoCenter, &TJoystick::SetAutoCenter),
      Property("DeadZoneX", &TJoystick::DeadZoneX, &TJoystick::SetDeadZoneX),
      Property("DeadZoneY", &TJoystick::DeadZoneY, &TJoystick::SetDeadZoneY),
      Property("DeadZoneZ", &TJoystick::DeadZoneZ, &TJoystick::SetDeadZoneZ),
      Property("ID", &TJoystick::ID, &TJoystick::SetID),
      Property("RangeX", &TJoystick::RangeX, &TJoystick::SetRangeX),
      Property("RangeY", &TJoystick::RangeY, &TJoystick::SetRangeY),
      Property("RangeZ", &TJoystick::RangeZ, &TJoystick::SetRangeZ),
  });
  return info;
}

TJoystick::TJoystick(TCustomDXInput* DXInput) : TCustomInput(DXInput) {
  for (Integer offset : {kOffsetX, kOffsetY, kOffsetZ}) {
    SetDeadZone(offset, 50);
    SetRange(offset, 1000);
  }
}

DWORD TJoystick::GetCooperativeLevel() {
  // Without the centring spring the stick is held alone, while the form is in front.
  return FAutoCenter ? TCustomInput::GetCooperativeLevel() : DISCL_EXCLUSIVE | DISCL_FOREGROUND;
}

Integer TJoystick::DeadZone(Integer Offset) const {
  return Offset >= 0 && Offset <= kLastSettableOffset ? FDeadZone[Offset] : 0;
}

Integer TJoystick::Range(Integer Offset) const {
  return Offset >= 0 && Offset <= kLastSettableOffset ? FRange[Offset] : 0;
}

void TJoystick::SetDeadZone(Integer Offset, Integer Value) {
  if (Offset < 0 || Offset > kLastSettableOffset) return;
  if (Offset == kOffsetPov) {
    FDeadZone[Offset] = -1;
    return;
  }
  Value = std::clamp(Value, 0, 100);
  FDeadZone[Offset] = Value;
  if (!FDevice) return;
  DIPROPDWORD property{{20, 16, static_cast<DWORD>(Offset), DIPH_BYOFFSET},
                       static_cast<DWORD>(Value) * 100};
  if (FDevice->SetProperty(DIPROP_DEADZONE, &property.diph) != DI_OK) FDeadZone[Offset] = -1;
}

void TJoystick::SetRange(Integer Offset, Integer Value) {
  if (Offset < 0 || Offset > kLastSettableOffset) return;
  if (Offset == kOffsetPov) {
    FRange[Offset] = -1;
    return;
  }
  Value = std::max(Value, 0);
  FRange[Offset] = Value;
  if (!FDevice) return;
  DIPROPRANGE property{{24, 16, static_cast<DWORD>(Offset), DIPH_BYOFFSET}, -Value, Value};
  if (FDevice->SetProperty(DIPROP_RANGE, &property.diph) != DI_OK) FRange[Offset] = -1;
}

void TJoystick::SetAutoCenter(bool Value) {
  FAutoCenter = Value;
  if (!FDevice) return;
  DIPROPDWORD property{{20, 16, 0, DIPH_DEVICE},
                       Value ? DIPROPAUTOCENTER_ON : DIPROPAUTOCENTER_OFF};
  FDevice->SetProperty(DIPROP_AUTOCENTER, &property.diph);
}

void TJoystick::SetID(Integer Value) {
  if (FID == Value) return;
  FID = Value;
  Initialize();
}

void TJoystick::Finalize() {
  FJoyID = -1;
  FJoyState = {};
  FJoyCaps = {};
  TCustomInput::Finalize();
}

void TJoystick::Initialize() {
  Finalize();
  if (!Enabled() || FID < 0 || DesignTime()) return;
  if (DXInput()->DInput()) InitializeDirectInputDevice();
  if (!FDevice) InitializeMultimediaJoystick();
  TCustomInput::Initialize();
}

BOOL TJoystick::EnumJoystickCallback(const DIDEVICEINSTANCE* Instance, void* Context) {
  auto* self = static_cast<TJoystick*>(Context);
  if (self->FEnumCount == self->FID) {
    self->FDeviceGuid = Instance->guidInstance;
    self->FDeviceFound = true;
    return DIENUM_STOP;
  }
  ++self->FEnumCount;
  return DIENUM_CONTINUE;
}

void TJoystick::InitializeDirectInputDevice() {
  if (!MakeDirectInputDevice()) {
    FDevice.Reset();
    return;
  }
  SetAutoCenter(FAutoCenter);
  // Every entry is sent, so that what the device refuses reads back as -1.
  for (Integer offset = 0; offset < static_cast<Integer>(kEntries); ++offset) {
    SetDeadZone(offset, DeadZone(offset));
    SetRange(offset, Range(offset));
  }
  void* second = nullptr;
  if (FDevice->QueryInterface(IID_IDirectInputDevice2, &second) != S_OK) {
    Finalize();
    throw EIntfCastError(SIntfCastError);
  }
  FDevice2 = ComPtr<IDirectInputDevice2>::Attach(static_cast<IDirectInputDevice2*>(second));
}

bool TJoystick::MakeDirectInputDevice() {
  IDirectInput* directInput = DXInput()->DInput();
  FDeviceFound = false;
  FEnumCount = 0;
  if (directInput->EnumDevices(DIDEVTYPE_JOYSTICK, &TJoystick::EnumJoystickCallback, this,
                               DIEDFL_ATTACHEDONLY) != DI_OK ||
      !FDeviceFound)
    return false;
  // The ID-th joystick is both asked for its capabilities and read from then on.
  if (directInput->CreateDevice(FDeviceGuid, FDevice.ReleaseAndGetAddressOf(), nullptr) != DI_OK)
    return false;
  DIDEVCAPS caps{};
  caps.dwSize = 44;
  if (FDevice->GetCapabilities(&caps) != DI_OK) return false;
  FButtonCount = static_cast<Integer>(caps.dwButtons);
  if (caps.dwFlags & DIDC_FORCEFEEDBACK) FForceFeedbackDevice = true;
  FDataFormat.dwFlags = DIDF_ABSAXIS;
  FDataFormat.dwDataSize = sizeof(DIJOYSTATE2);
  return SetDataFormat();
}

void TJoystick::InitializeMultimediaJoystick() {
  FJoyID = -1;
  Integer attached = 0;
  for (UINT number = 0; number < kMultimediaJoystickNumbers && FJoyID == -1; ++number) {
    if (joyGetDevCapsA(number, &FJoyCaps, sizeof(FJoyCaps)) != JOYERR_NOERROR) continue;
    if (attached++ == FID) FJoyID = static_cast<Integer>(number);
  }
  if (FJoyID == -1) return;
  if (joyGetDevCapsA(FJoyID, &FJoyCaps, sizeof(FJoyCaps)) == JOYERR_NOERROR)
    FButtonCount = static_cast<Integer>(FJoyCaps.wNumButtons);
  else
    FJoyID = -1;
}

void TJoystick::Update() {
  FJoyState = {};
  FStates = {};
  if (!CanRead()) return;
  if (FDevice) {
    if (FDevice2) FDevice2->Poll();
    GetDeviceState(sizeof(FJoyState), &FJoyState);
  } else if (FJoyID != -1) {
    ReadMultimediaJoystick();
  }
  for (Integer button = 0; button < kButtonStates; ++button)
    if (FJoyState.rgbButtons[button] & kButtonDown) FStates.Include(ButtonState(button + 1));
  IncludeDirections(FStates, FJoyState.lX, FJoyState.lY);
}

void TJoystick::ReadMultimediaJoystick() {
  JOYINFOEX info{};
  info.dwSize = sizeof(info);
  info.dwFlags = kJoyInfoFlags;
  // A joystick unplugged since it was found reports nothing rather than a stick pushed to a
  // corner.
  if (joyGetPosEx(FJoyID, &info) != JOYERR_NOERROR) return;
  auto scale = [this](DWORD position, UINT min, UINT max, Integer offset) {
    return ScaleJoystickAxis(static_cast<Integer>(position), static_cast<Integer>(max),
                             static_cast<Integer>(min), Range(offset), DeadZone(offset));
  };
  FJoyState.lX = scale(info.dwXpos, FJoyCaps.wXmin, FJoyCaps.wXmax, kOffsetX);
  FJoyState.lY = scale(info.dwYpos, FJoyCaps.wYmin, FJoyCaps.wYmax, kOffsetY);
  FJoyState.lZ = scale(info.dwZpos, FJoyCaps.wZmin, FJoyCaps.wZmax, kOffsetZ);
  FJoyState.rgdwPOV[0] = info.dwPOV;
  const Integer buttons = std::min(static_cast<Integer>(FJoyCaps.wNumButtons), kButtonStates);
  for (Integer button = 0; button < buttons; ++button)
    if ((info.dwButtons >> button) & 1) FJoyState.rgbButtons[button] = kButtonDown;
}

// ---- TMouse ----

const TClassInfo& TMouse::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TMouse>();
  return info;
}

TMouse::TMouse(TCustomDXInput* DXInput) : TCustomInput(DXInput) {
  SetBindInputStates(false);
  SetEnabled(false);
}

void TMouse::Finalize() {
  FMouseState = {};
  TCustomInput::Finalize();
}

void TMouse::Initialize() {
  Finalize();
  if (!Enabled() || DesignTime()) return;
  IDirectInput* directInput = DXInput()->DInput();
  if (directInput == nullptr) throw EDXInputError(MsgMouseNeedsDirectInput);
  if (directInput->CreateDevice(GUID_SysMouse, FDevice.ReleaseAndGetAddressOf(), nullptr) !=
      DI_OK) {
    FDevice.Reset();
    return;
  }
  FDevice->SetDataFormat(&MouseDataFormat);
  FButtonCount = 3;
  TCustomInput::Initialize();
}

void TMouse::Update() {
  FMouseState = {};
  FStates = {};
  if (!CanRead()) return;
  // The axes are motion since the last reading, so a direction lasts while the mouse moves.
  GetDeviceState(sizeof(FMouseState), &FMouseState);
  IncludeDirections(FStates, FMouseState.lX, FMouseState.lY);
  for (Integer button = 0; button < 3; ++button)
    if (FMouseState.rgbButtons[button] & kButtonDown) FStates.Include(ButtonState(button + 1));
}
