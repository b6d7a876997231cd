// The program's one message queue: posted messages in order, then the quit request, then what
// the host delivers (input, activation, close), then paint requests.
#pragma once

#include "platform/kernel/WinTypes.h"
#include "platform/user/Messages.h"

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Calls the window's procedure at once and returns its answer; 0 for a window that is gone.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message. A null window makes a thread message that DispatchMessage ignores.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int32_t exitCode);

// Filters: a window (null for all) and a message range (0, 0 for all).
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Waits for a message; returns 0 for WM_QUIT, 1 otherwise, -1 for an invalid window filter.
BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax);
// Returns when a message is waiting.
BOOL WaitMessage();
// Posts WM_CHAR for a key message of a printable key.
BOOL TranslateMessage(const MSG* message);
// Hands the message to its window's procedure and returns the answer.
LRESULT DispatchMessageA(const MSG* message);

// Where messages from outside the program come from. The host installs one; it turns its own
// events into calls of the functions in HostInput.h.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Delivers whatever has arrived, without waiting.
  virtual void Pump() = 0;
  // Waits at most this long for something to arrive.
  virtual void Wait(uint32_t timeoutMs) = 0;
};

// nullptr uninstalls. The source stays owned by the caller.
void InstallEventSource(EventSource* source);

// Empties the queue and forgets a pending quit request (for tests and for shut-down).
void ClearMessageQueue();
