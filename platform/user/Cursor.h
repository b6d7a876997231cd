// The mouse pointer: its position, shape and visibility. The host shows the pointer only while it
// is visible here.
#pragma once

#include "platform/kernel/WinTypes.h"

// Predefined shapes, given to LoadCursorA by number in place of a name.
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(uintptr_t{32512});
inline const char* const IDC_IBEAM = reinterpret_cast<const char*>(uintptr_t{32513});
inline const char* const IDC_WAIT = reinterpret_cast<const char*>(uintptr_t{32514});
inline const char* const IDC_CROSS = reinterpret_cast<const char*>(uintptr_t{32515});
inline const char* const IDC_SIZEALL = reinterpret_cast<const char*>(uintptr_t{32646});
inline const char* const IDC_NO = reinterpret_cast<const char*>(uintptr_t{32648});
inline const char* const IDC_HAND = reinterpret_cast<const char*>(uintptr_t{32649});

// Only the predefined shapes exist here (instance null); anything else gives null.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR SetCursor(HCURSOR cursor);  // null hides the pointer; returns the previous shape
HCURSOR GetCursor();
// Counts up and down from 0; the pointer shows while the count is not negative.
int32_t ShowCursor(BOOL show);
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int32_t x, int32_t y);
// Whether the host should draw the pointer now.
bool CursorVisible();
