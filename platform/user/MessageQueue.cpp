#include "platform/user/MessageQueue.h"

#include <chrono>
#include <deque>
#include <thread>

#include "platform/kernel/Clock.h"
#include "platform/user/Cursor.h"
#include "platform/user/Keyboard.h"
#include "platform/user/Screen.h"
#include "platform/user/WindowSystem.h"

namespace {

std::deque<MSG> posted;
bool quitPending = false;
int32_t quitCode = 0;
EventSource* eventSource = nullptr;

constexpr uint32_t kWaitSliceMs = 100;

// An empty range (both bounds zero) lets every message through.
bool InFilter(UINT message, UINT filterMin, UINT filterMax) {
  return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

bool Matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
  if (window && message.hwnd != window && !IsChild(window, message.hwnd)) return false;
  return InFilter(message.message, filterMin, filterMax);
}

MSG Stamped(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG result{window, message, wParam, lParam, GetTickCount(), {}};
  GetCursorPos(&result.pt);
  return result;
}

bool TakePosted(MSG* out, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  for (auto it = posted.begin(); it != posted.end(); ++it) {
    if (!Matches(*it, window, filterMin, filterMax)) continue;
    *out = *it;
    if (removeFlags & PM_REMOVE) posted.erase(it);
    return true;
  }
  return false;
}

bool TakeQuit(MSG* out, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!quitPending || window || !InFilter(WM_QUIT, filterMin, filterMax)) return false;
  *out = Stamped(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
  if (removeFlags & PM_REMOVE) quitPending = false;
  return true;
}

// Paint requests come last and stay until the window validates itself.
HWND FindPaintWindow(HWND window) {
  for (HWND candidate : AllWindows()) {
    const WindowRecord* record = FindWindowRecord(candidate);
    if (!record->hasUpdate || !IsWindowVisible(candidate)) continue;
    if (window && candidate != window && !IsChild(window, candidate)) continue;
    return candidate;
  }
  return nullptr;
}

bool TakePaint(MSG* out, HWND window, UINT filterMin, UINT filterMax) {
  if (!InFilter(WM_PAINT, filterMin, filterMax)) return false;
  HWND target = FindPaintWindow(window);
  if (!target) return false;
  *out = Stamped(target, WM_PAINT, 0, 0);
  return true;
}

void WaitForEvents() {
  if (eventSource)
    eventSource->Wait(kWaitSliceMs);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return 0;
  return CallWindowProcA(record->procedure, window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return FALSE;
  posted.push_back(Stamped(window, message, wParam, lParam));
  return TRUE;
}

void PostQuitMessage(int32_t exitCode) {
  quitPending = true;
  quitCode = exitCode;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!message) return FALSE;
  // A frame whose pixels were still being drawn is shown as soon as they are.
  ScreenPresentIfReady();
  if (TakePosted(message, window, filterMin, filterMax, removeFlags)) return TRUE;
  if (TakeQuit(message, window, filterMin, filterMax, removeFlags)) return TRUE;
  if (eventSource) {
    eventSource->Pump();
    if (TakePosted(message, window, filterMin, filterMax, removeFlags)) return TRUE;
    if (TakeQuit(message, window, filterMin, filterMax, removeFlags)) return TRUE;
  }
  return TakePaint(message, window, filterMin, filterMax) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  if (!message || (window && !IsWindow(window))) return -1;
  while (!PeekMessageA(message, window, filterMin, filterMax, PM_REMOVE)) WaitForEvents();
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WaitMessage() {
  MSG ignored;
  while (!PeekMessageA(&ignored, nullptr, 0, 0, PM_NOREMOVE)) WaitForEvents();
  return TRUE;
}

BOOL TranslateMessage(const MSG* message) {
  if (!message || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN))
    return FALSE;
  const auto key = static_cast<int32_t>(message->wParam);
  const bool shifted = (GetKeyState(VK_SHIFT) < 0) != ((GetKeyState(VK_CAPITAL) & 1) != 0);
  char character = 0;
  if (key >= 'A' && key <= 'Z')
    character = static_cast<char>(shifted ? key : key - 'A' + 'a');
  else if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN || key == VK_BACK ||
           key == VK_TAB || key == VK_ESCAPE)
    character = static_cast<char>(key);
  if (!character) return FALSE;
  const UINT charMessage = message->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  return PostMessageA(message->hwnd, charMessage, static_cast<WPARAM>(character), message->lParam);
}

LRESULT DispatchMessageA(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

void InstallEventSource(EventSource* source) { eventSource = source; }

void ClearMessageQueue() {
  posted.clear();
  quitPending = false;
  quitCode = 0;
}
