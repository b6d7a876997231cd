#include "platform/user/Focus.h"

#include "platform/user/HostInput.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/WindowSystem.h"

namespace {

HWND activeWindow = nullptr;      // null while the program is inactive
HWND rememberedWindow = nullptr;  // to activate again when the host regains focus
HWND focusWindow = nullptr;

bool CanBeActive(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record && !record->destroying && (record->style & WS_VISIBLE) &&
         !(record->style & WS_MINIMIZE);
}

// Another window to take over activation from one that leaves.
HWND NextActiveCandidate(HWND leaving) {
  for (HWND window : TopLevelWindows())
    if (window != leaving && CanBeActive(window)) return window;
  return nullptr;
}

void MoveFocus(HWND window) {
  HWND previous = focusWindow;
  if (previous == window) return;
  focusWindow = window;
  if (previous && IsWindow(previous))
    SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window && focusWindow == window)
    SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

void SendToAllTopLevel(UINT message, WPARAM wParam) {
  for (HWND window : std::vector<HWND>(TopLevelWindows()))
    if (IsWindow(window)) SendMessageA(window, message, wParam, 0);
}

}  // namespace

void ActivateWindow(HWND window, WORD how) {
  window = window ? TopLevelOf(window) : nullptr;
  if (!HostFocused()) {
    rememberedWindow = window;
    return;
  }
  HWND previous = activeWindow;
  if (previous == window) return;
  activeWindow = window;
  rememberedWindow = window;
  if (previous && IsWindow(previous)) {
    SendMessageA(previous, WM_NCACTIVATE, FALSE, 0);
    SendMessageA(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(previous) ? 1 : 0),
                 reinterpret_cast<LPARAM>(window));
  }
  if (!previous && window) SendToAllTopLevel(WM_ACTIVATEAPP, TRUE);
  if (previous && !window) {
    SendToAllTopLevel(WM_ACTIVATEAPP, FALSE);
    MoveFocus(nullptr);
  }
  if (window && activeWindow == window && IsWindow(window)) {
    SendMessageA(window, WM_NCACTIVATE, TRUE, 0);
    SendMessageA(window, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(window) ? 1 : 0),
                 reinterpret_cast<LPARAM>(previous));
  }
}

void WindowLeaving(HWND window) {
  if (focusWindow && (focusWindow == window || IsChild(window, focusWindow)))
    MoveFocus(nullptr);
  if (rememberedWindow == window) rememberedWindow = nullptr;
  if (activeWindow == window) ActivateWindow(NextActiveCandidate(window), WA_ACTIVE);
}

void ResetActivation() {
  activeWindow = nullptr;
  rememberedWindow = nullptr;
  focusWindow = nullptr;
}

// Called by the host input when focus comes and goes.
void HostFocusChanged(bool focused) {
  if (!focused) {
    HWND keep = activeWindow;
    // Deactivation must run while the host still counts as focused, so the messages are sent.
    ActivateWindow(nullptr, WA_INACTIVE);
    rememberedWindow = keep;
    return;
  }
  HWND target = CanBeActive(rememberedWindow) ? rememberedWindow : NextActiveCandidate(nullptr);
  if (target) ActivateWindow(target, WA_ACTIVE);
}

HWND GetForegroundWindow() { return activeWindow; }

BOOL SetForegroundWindow(HWND window) {
  if (!IsWindow(window)) return FALSE;
  if (!HostFocused()) {
    rememberedWindow = TopLevelOf(window);
    return FALSE;
  }
  ActivateWindow(window, WA_ACTIVE);
  return activeWindow == TopLevelOf(window) ? TRUE : FALSE;
}

HWND GetActiveWindow() { return activeWindow; }

HWND SetActiveWindow(HWND window) {
  HWND previous = activeWindow;
  if (window && !IsWindow(window)) return nullptr;
  ActivateWindow(window, WA_ACTIVE);
  return previous;
}

HWND GetFocus() { return focusWindow; }

HWND SetFocus(HWND window) {
  HWND previous = focusWindow;
  if (!window) {
    MoveFocus(nullptr);
    return previous;
  }
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || (record->style & WS_DISABLED)) return nullptr;
  if (!HostFocused()) return nullptr;
  HWND topLevel = TopLevelOf(window);
  if (activeWindow != topLevel) ActivateWindow(topLevel, WA_ACTIVE);
  if (activeWindow != topLevel || !IsWindow(window)) return nullptr;
  MoveFocus(window);
  return previous;
}
