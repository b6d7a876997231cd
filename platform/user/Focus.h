// Activation, foreground and keyboard focus. The program is active while the host has input
// focus and one of its top-level windows is the active one; changes send WM_ACTIVATEAPP to every
// top-level window and WM_ACTIVATE to the windows losing and gaining activation.
#pragma once

#include "platform/kernel/WinTypes.h"

HWND GetForegroundWindow();  // null while the program is not active
BOOL SetForegroundWindow(HWND window);
HWND GetActiveWindow();
HWND SetActiveWindow(HWND window);  // returns the previously active window
HWND GetFocus();
HWND SetFocus(HWND window);  // returns the window that had the focus
