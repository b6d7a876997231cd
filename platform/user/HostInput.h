// What a host reports from outside the program. Hosts and test controls call these; they update
// the key state and pointer and turn each event into the messages the program expects.
#pragma once

#include "platform/kernel/WinTypes.h"

// A key went down or up: updates the key state and posts WM_KEYDOWN/WM_KEYUP (WM_SYSKEYDOWN/
// WM_SYSKEYUP while Alt is held) to the focus window, or the active window without a focus.
// Repeated downs of a held key are auto-repeat.
void HostKeyEvent(int32_t virtualKey, bool down);
// The host gained or lost input focus: activates or deactivates the program (sending
// WM_ACTIVATEAPP and WM_ACTIVATE). Losing focus also releases every held key.
void HostFocusEvent(bool focused);
bool HostFocused();
// The pointer moved to a screen position: sends WM_SETCURSOR and posts WM_MOUSEMOVE to the window
// under it.
void HostMouseMove(int32_t x, int32_t y);
// A mouse button (VK_LBUTTON, VK_RBUTTON or VK_MBUTTON) went down or up.
void HostMouseButton(int32_t button, bool down);
// The user asked to close the program: posts WM_CLOSE to the main window.
void HostCloseRequest();
// The window the program is known by: the active window, else the first visible top-level
// window in creation order, else null.
HWND MainWindow();

// Forgets every window-independent input state: keys, buttons, pointer, focus (back to focused).
void ResetHostInput();
