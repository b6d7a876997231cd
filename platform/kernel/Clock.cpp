#include "platform/kernel/Clock.h"

#include <chrono>
#include <ctime>

namespace {

bool manual = false;
DWORD manualMilliseconds = 0;

// 2000-01-01 00:00:00 UTC, the manual clock's calendar origin.
constexpr int64_t kManualEpochSeconds = 946684800;

std::chrono::steady_clock::time_point StartTime() {
  static const auto start = std::chrono::steady_clock::now();
  return start;
}

}  // namespace

DWORD GetTickCount() {
  if (manual) return manualMilliseconds;
  const auto elapsed = std::chrono::steady_clock::now() - StartTime();
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void GetSystemTime(SYSTEMTIME* time) {
  if (!time) return;
  int64_t milliseconds = 0;
  if (manual) {
    milliseconds = kManualEpochSeconds * 1000 + manualMilliseconds;
  } else {
    milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  }
  const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  time->wYear = static_cast<WORD>(parts.tm_year + 1900);
  time->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  time->wDay = static_cast<WORD>(parts.tm_mday);
  time->wHour = static_cast<WORD>(parts.tm_hour);
  time->wMinute = static_cast<WORD>(parts.tm_min);
  time->wSecond = static_cast<WORD>(parts.tm_sec);
  time->wMilliseconds = static_cast<WORD>(milliseconds % 1000);
}

void SetManualClock(bool on) {
  if (on && !manual) manualMilliseconds = GetTickCount();
  manual = on;
}

bool ManualClock() { return manual; }

void SetManualClockTime(DWORD milliseconds) { manualMilliseconds = milliseconds; }

void AdvanceManualClock(DWORD milliseconds) { manualMilliseconds += milliseconds; }
