// A window class whose procedure records every message before the default handling, and a
// fixture that registers it and leaves the window system fresh afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/TestControl.h"
#include "platform/user/User.h"

struct LoggedMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<LoggedMessage>& MessageLog() {
  static std::vector<LoggedMessage> log;
  return log;
}

inline LRESULT LoggingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MessageLog().push_back({window, message, wParam, lParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &LoggingWindowProc;
    windowClass.lpszClassName = "TestWindow";
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    MessageLog().clear();
  }
  void TearDown() override {
    TestResetPlatform();
    MessageLog().clear();
  }

  static HWND Popup(int32_t x = 0, int32_t y = 0, int32_t width = 200, int32_t height = 100,
                    DWORD style = WS_POPUP) {
    return CreateWindowExA(0, "TestWindow", "Popup", style, x, y, width, height, nullptr, nullptr,
                           nullptr, nullptr);
  }
  static HWND Child(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height,
                    DWORD style = WS_CHILD | WS_VISIBLE) {
    return CreateWindowExA(0, "TestWindow", "Child", style, x, y, width, height, parent, nullptr,
                           nullptr, nullptr);
  }

  // Messages of one kind, in order, for one window (null: all windows).
  static std::vector<LoggedMessage> Logged(UINT message, HWND window = nullptr) {
    std::vector<LoggedMessage> result;
    for (const LoggedMessage& entry : MessageLog())
      if (entry.message == message && (!window || entry.window == window)) result.push_back(entry);
    return result;
  }

  // The message kinds a window received, in order, restricted to those of interest.
  static std::vector<UINT> Sequence(HWND window, std::initializer_list<UINT> interesting) {
    std::vector<UINT> result;
    for (const LoggedMessage& entry : MessageLog())
      if ((!window || entry.window == window) &&
          std::find(interesting.begin(), interesting.end(), entry.message) != interesting.end())
        result.push_back(entry.message);
    return result;
  }
};
