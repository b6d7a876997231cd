#include "platform/user/Cursor.h"

#include "platform/kernel/LastError.h"
#include "platform/user/WindowSystem.h"

namespace {

constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

HCURSOR Predefined(const char* name) { return reinterpret_cast<HCURSOR>(const_cast<char*>(name)); }

HCURSOR currentCursor = Predefined(IDC_ARROW);
int32_t showCount = 0;
POINT position{0, 0};

bool IsPredefined(const char* name) {
  for (const char* known : {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_SIZEALL, IDC_NO, IDC_HAND})
    if (name == known) return true;
  return false;
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (instance || !IsPredefined(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return Predefined(name);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = currentCursor;
  currentCursor = cursor;
  return previous;
}

HCURSOR GetCursor() { return currentCursor; }

int32_t ShowCursor(BOOL show) {
  showCount += show ? 1 : -1;
  return showCount;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  *point = position;
  return TRUE;
}

BOOL SetCursorPos(int32_t x, int32_t y) {
  position = POINT{x, y};
  return TRUE;
}

bool CursorVisible() { return showCount >= 0 && currentCursor != nullptr; }

void ResetCursor() {
  currentCursor = Predefined(IDC_ARROW);
  showCount = 0;
  position = POINT{0, 0};
}
