// The program's clocks: a millisecond counter since start and the system time in UTC. Tests
// replace both with a manual clock that only moves when told to.
#pragma once

#include "platform/kernel/WinTypes.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// Milliseconds since start, wrapping every 2^32 ms.
DWORD GetTickCount();
void GetSystemTime(SYSTEMTIME* time);

// The manual clock: while on, GetTickCount reads the manual count and the system time is
// 2000-01-01 00:00:00.000 UTC plus that count.
void SetManualClock(bool on);
bool ManualClock();
void SetManualClockTime(DWORD milliseconds);
void AdvanceManualClock(DWORD milliseconds);
