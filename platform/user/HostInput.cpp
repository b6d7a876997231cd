#include "platform/user/HostInput.h"

#include "platform/user/Cursor.h"
#include "platform/user/Focus.h"
#include "platform/user/KeyState.h"
#include "platform/user/Keyboard.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/WindowSystem.h"

namespace {

bool hostFocused = true;

// Messages carry the side-less code for Shift, Ctrl and Alt, as the original's do.
int32_t MessageKey(int32_t virtualKey) {
  switch (virtualKey) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return virtualKey;
  }
}

constexpr LPARAM kAltDown = LPARAM{1} << 29;

WPARAM MouseKeyFlags() {
  constexpr WPARAM MK_LBUTTON = 0x0001;
  constexpr WPARAM MK_RBUTTON = 0x0002;
  constexpr WPARAM MK_SHIFT = 0x0004;
  constexpr WPARAM MK_CONTROL = 0x0008;
  constexpr WPARAM MK_MBUTTON = 0x0010;
  WPARAM flags = 0;
  if (KeyHeld(VK_LBUTTON)) flags |= MK_LBUTTON;
  if (KeyHeld(VK_RBUTTON)) flags |= MK_RBUTTON;
  if (KeyHeld(VK_MBUTTON)) flags |= MK_MBUTTON;
  if (KeyHeld(VK_SHIFT)) flags |= MK_SHIFT;
  if (KeyHeld(VK_CONTROL)) flags |= MK_CONTROL;
  return flags;
}

void PostMouseMessage(UINT message) {
  POINT point{};
  GetCursorPos(&point);
  HWND window = WindowFromPoint(point);
  if (!window) return;
  ScreenToClient(window, &point);
  PostMessageA(window, message, MouseKeyFlags(),
               MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

}  // namespace

void HostKeyEvent(int32_t virtualKey, bool down) {
  if (virtualKey <= 0 || virtualKey >= 256) return;
  const bool wasHeld = KeyHeld(virtualKey);
  if (!down && !wasHeld) return;
  SetKeyHeld(virtualKey, down);
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  if (!target) return;
  const bool alt = KeyHeld(VK_MENU);
  LPARAM lParam = 1;
  if (wasHeld) lParam |= KF_PREVIOUS_STATE;
  if (!down) lParam |= KF_TRANSITION_UP;
  if (alt) lParam |= kAltDown;
  UINT message = 0;
  if (down)
    message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  else
    message = (alt || MessageKey(virtualKey) == VK_MENU) ? WM_SYSKEYUP : WM_KEYUP;
  PostMessageA(target, message, static_cast<WPARAM>(MessageKey(virtualKey)), lParam);
}

void HostFocusEvent(bool focused) {
  if (focused == hostFocused) return;
  if (focused) {
    hostFocused = true;
    HostFocusChanged(true);
  } else {
    HostFocusChanged(false);
    hostFocused = false;
    // Keys released while another program has the keyboard would otherwise stay held.
    ReleaseAllKeys();
  }
}

bool HostFocused() { return hostFocused; }

void HostMouseMove(int32_t x, int32_t y) {
  SetCursorPos(x, y);
  HWND window = WindowFromPoint(POINT{x, y});
  if (!window) return;
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
               MAKELPARAM(HTCLIENT, static_cast<WORD>(WM_MOUSEMOVE)));
  PostMouseMessage(WM_MOUSEMOVE);
}

void HostMouseButton(int32_t button, bool down) {
  UINT message = 0;
  switch (button) {
    case VK_LBUTTON:
      message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      break;
    case VK_RBUTTON:
      message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      break;
    case VK_MBUTTON:
      message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      break;
    default:
      return;
  }
  SetKeyHeld(button, down);
  PostMouseMessage(message);
}

void HostCloseRequest() {
  if (HWND window = MainWindow()) PostMessageA(window, WM_CLOSE, 0, 0);
}

HWND MainWindow() {
  if (HWND active = GetActiveWindow()) return active;
  for (HWND window : AllWindows()) {
    const WindowRecord* record = FindWindowRecord(window);
    if (IsTopLevel(*record) && (record->style & WS_VISIBLE)) return window;
  }
  return nullptr;
}

void ResetHostInput() {
  hostFocused = true;
  ResetKeyState();
  ResetCursor();
}
