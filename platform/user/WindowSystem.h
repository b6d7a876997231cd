// The window table shared by the parts of the window system; not for use outside platform/user.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/user/Window.h"

struct WindowRecord {
  HWND handle = nullptr;
  std::string className;
  WNDPROC procedure = nullptr;
  HCURSOR classCursor = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // child windows only
  HWND owner = nullptr;   // top-level windows only
  RECT rect{};            // parent client coordinates for children, screen for top-level
  RECT normalRect{};      // placement to go back to from maximized
  std::string text;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  bool hasUpdate = false;
  RECT updateRect{};
  bool destroying = false;
  std::vector<HWND> children;  // z order, topmost first
};

// Null (with ERROR_INVALID_WINDOW_HANDLE) for a handle that is not a live window.
WindowRecord* FindWindowRecord(HWND window);
// Every live window in creation order.
std::vector<HWND> AllWindows();
// Top-level windows in z order, front first.
const std::vector<HWND>& TopLevelWindows();
// The top-level window a window belongs to (itself when top-level).
HWND TopLevelOf(HWND window);
bool IsTopLevel(const WindowRecord& record);

// Activation: makes the top-level window active (null deactivates the program), sending the
// activation messages. Honours the host's focus: without it nothing is sent and the window is
// only remembered for the next focus.
void ActivateWindow(HWND window, WORD how);
// A window is going away or being hidden: moves activation and focus elsewhere when it held them.
void WindowLeaving(HWND window);
// Forgets activation and focus state.
void ResetActivation();
// The host's focus changed; called by the host input around its own focus flag: while still
// focused when focus goes, once focused when it comes.
void HostFocusChanged(bool focused);
// Pointer shape, show count and position back to their start.
void ResetCursor();
