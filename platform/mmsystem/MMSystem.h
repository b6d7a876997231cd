// The multimedia library: its millisecond clock and the joystick functions.
#pragma once

#include "platform/kernel/WinTypes.h"

using MMRESULT = UINT;

// Milliseconds since start, the kernel's tick count (exact to the millisecond); wraps every
// 2^32 ms.
DWORD timeGetTime();

constexpr MMRESULT JOYERR_NOERROR = 0;
constexpr MMRESULT JOYERR_PARMS = 165;
constexpr MMRESULT JOYERR_NOCANDO = 166;
constexpr MMRESULT JOYERR_UNPLUGGED = 167;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

constexpr UINT JOYSTICKID1 = 0;
constexpr UINT JOYSTICKID2 = 1;

constexpr DWORD JOY_RETURNX = 0x00000001;
constexpr DWORD JOY_RETURNY = 0x00000002;
constexpr DWORD JOY_RETURNZ = 0x00000004;
constexpr DWORD JOY_RETURNR = 0x00000008;
constexpr DWORD JOY_RETURNU = 0x00000010;
constexpr DWORD JOY_RETURNV = 0x00000020;
constexpr DWORD JOY_RETURNPOV = 0x00000040;
constexpr DWORD JOY_RETURNBUTTONS = 0x00000080;
constexpr DWORD JOY_RETURNRAWDATA = 0x00000100;
constexpr DWORD JOY_RETURNPOVCTS = 0x00000200;
constexpr DWORD JOY_RETURNCENTERED = 0x00000400;
constexpr DWORD JOY_RETURNALL = 0x000000FF;

constexpr DWORD JOY_POVCENTERED = 0xFFFF;
constexpr DWORD JOY_POVFORWARD = 0;
constexpr DWORD JOY_POVRIGHT = 9000;
constexpr DWORD JOY_POVBACKWARD = 18000;
constexpr DWORD JOY_POVLEFT = 27000;

constexpr UINT JOYCAPS_HASZ = 0x0001;
constexpr UINT JOYCAPS_HASR = 0x0002;
constexpr UINT JOYCAPS_HASU = 0x0004;
constexpr UINT JOYCAPS_HASV = 0x0008;
constexpr UINT JOYCAPS_HASPOV = 0x0010;
constexpr UINT JOYCAPS_POV4DIR = 0x0020;

constexpr int MAXPNAMELEN = 32;
constexpr int MAX_JOYSTICKOEMVXDNAME = 260;

// 404 bytes, as the original's.
struct JOYCAPSA {
  WORD wMid;
  WORD wPid;
  char szPname[MAXPNAMELEN];
  UINT wXmin;
  UINT wXmax;
  UINT wYmin;
  UINT wYmax;
  UINT wZmin;
  UINT wZmax;
  UINT wNumButtons;
  UINT wPeriodMin;
  UINT wPeriodMax;
  UINT wRmin;
  UINT wRmax;
  UINT wUmin;
  UINT wUmax;
  UINT wVmin;
  UINT wVmax;
  UINT wCaps;
  UINT wMaxAxes;
  UINT wNumAxes;
  UINT wMaxButtons;
  char szRegKey[MAXPNAMELEN];
  char szOEMVxD[MAX_JOYSTICKOEMVXDNAME];
};
using JOYCAPS = JOYCAPSA;
static_assert(sizeof(JOYCAPSA) == 404);

// 52 bytes; dwSize and dwFlags are filled by the caller.
struct JOYINFOEX {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwXpos;
  DWORD dwYpos;
  DWORD dwZpos;
  DWORD dwRpos;
  DWORD dwUpos;
  DWORD dwVpos;
  DWORD dwButtons;
  DWORD dwButtonNumber;
  DWORD dwPOV;
  DWORD dwReserved1;
  DWORD dwReserved2;
};
static_assert(sizeof(JOYINFOEX) == 52);

// The number of joysticks the driver supports (16), not how many are attached.
UINT joyGetNumDevs();
// JOYERR_PARMS for a number past the supported ones, JOYERR_UNPLUGGED when none is attached
// there, MMSYSERR_INVALPARAM for a record smaller than JOYCAPSA.
MMRESULT joyGetDevCapsA(uintptr_t joystickId, JOYCAPSA* caps, UINT capsSize);
// Fills the fields dwFlags asks for. JOYERR_PARMS for a bad number or record size,
// JOYERR_UNPLUGGED when no joystick is attached there.
MMRESULT joyGetPosEx(UINT joystickId, JOYINFOEX* info);
