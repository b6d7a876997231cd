#include "platform/mmsystem/MMSystem.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/Clock.h"
#include "platform/mmsystem/Joysticks.h"

namespace {

constexpr UINT kSupportedJoysticks = 16;
constexpr UINT kAxisMax = 65535;
constexpr UINT kPeriodMin = 10;
constexpr UINT kPeriodMax = 1000;

const HostJoystick* Attached(uintptr_t id) {
  return id < kSupportedJoysticks ? HostJoystickAt(static_cast<int32_t>(id)) : nullptr;
}

}  // namespace

DWORD timeGetTime() { return GetTickCount(); }

UINT joyGetNumDevs() { return kSupportedJoysticks; }

MMRESULT joyGetDevCapsA(uintptr_t joystickId, JOYCAPSA* caps, UINT capsSize) {
  if (!caps || capsSize < sizeof(JOYCAPSA)) return MMSYSERR_INVALPARAM;
  if (joystickId >= kSupportedJoysticks) return JOYERR_PARMS;
  const HostJoystick* joystick = Attached(joystickId);
  if (!joystick) return JOYERR_UNPLUGGED;
  std::memset(caps, 0, sizeof(JOYCAPSA));
  const size_t nameLength = std::min(joystick->name.size(), size_t{MAXPNAMELEN - 1});
  std::memcpy(caps->szPname, joystick->name.data(), nameLength);
  caps->wXmax = caps->wYmax = caps->wZmax = kAxisMax;
  caps->wRmax = caps->wUmax = caps->wVmax = kAxisMax;
  const int32_t axes = std::clamp(joystick->axisCount, 0, 6);
  const int32_t buttons = std::clamp(joystick->buttonCount, 0, 32);
  caps->wNumButtons = static_cast<UINT>(buttons);
  caps->wMaxButtons = 32;
  caps->wNumAxes = static_cast<UINT>(axes);
  caps->wMaxAxes = 6;
  caps->wPeriodMin = kPeriodMin;
  caps->wPeriodMax = kPeriodMax;
  if (axes > 2) caps->wCaps |= JOYCAPS_HASZ;
  if (axes > 3) caps->wCaps |= JOYCAPS_HASR;
  if (axes > 4) caps->wCaps |= JOYCAPS_HASU;
  if (axes > 5) caps->wCaps |= JOYCAPS_HASV;
  if (joystick->hasPov) caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POV4DIR;
  return JOYERR_NOERROR;
}

MMRESULT joyGetPosEx(UINT joystickId, JOYINFOEX* info) {
  if (!info || info->dwSize != sizeof(JOYINFOEX) || joystickId >= kSupportedJoysticks)
    return JOYERR_PARMS;
  const HostJoystick* joystick = Attached(joystickId);
  if (!joystick) return JOYERR_UNPLUGGED;
  const DWORD flags = info->dwFlags;
  DWORD* const positions[6] = {&info->dwXpos, &info->dwYpos, &info->dwZpos,
                               &info->dwRpos, &info->dwUpos, &info->dwVpos};
  const int32_t axes = std::clamp(joystick->axisCount, 0, 6);
  for (int32_t axis = 0; axis < 6; ++axis)
    if (flags & (JOY_RETURNX << axis))
      *positions[axis] = axis < axes ? std::min<uint32_t>(joystick->axes[axis], kAxisMax) : 0;
  if (flags & JOY_RETURNBUTTONS) {
    const int32_t buttons = std::clamp(joystick->buttonCount, 0, 32);
    const DWORD mask = buttons == 32 ? 0xFFFFFFFFu : ((DWORD{1} << buttons) - 1);
    info->dwButtons = joystick->buttons & mask;
    info->dwButtonNumber = static_cast<DWORD>(__builtin_popcount(info->dwButtons));
  }
  if (flags & (JOY_RETURNPOV | JOY_RETURNPOVCTS))
    info->dwPOV = joystick->hasPov ? joystick->pov : JOY_POVCENTERED;
  return JOYERR_NOERROR;
}
