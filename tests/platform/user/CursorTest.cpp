#include "WindowTestSupport.h"

namespace {

using CursorTest = WindowFixture;

TEST_F(CursorTest, PointerShowsWhileCountIsNotNegativeAndAShapeIsSet) {
  EXPECT_TRUE(CursorVisible());
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_FALSE(CursorVisible());
  EXPECT_EQ(ShowCursor(TRUE), 0);
  EXPECT_TRUE(CursorVisible());
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(SetCursor(nullptr), arrow);
  EXPECT_FALSE(CursorVisible());
  EXPECT_EQ(LoadCursorA(nullptr, "MyCursor"), nullptr);
  EXPECT_NE(LoadCursorA(nullptr, IDC_HAND), arrow);
}

LRESULT HideOverClient(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LoggingWindowProc(window, message, wParam, lParam);
  if (message == WM_SETCURSOR) {
    SetCursor(nullptr);
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(CursorTest, MovingThePointerAsksTheWindowUnderItForItsShape) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND child = Child(window, 10, 10, 50, 50);
  SetCursor(nullptr);
  HostMouseMove(20, 30);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW)) << "class cursor of the child";
  ASSERT_EQ(Logged(WM_SETCURSOR, window).size(), 1u) << "the parent is asked first";
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(Logged(WM_SETCURSOR, child).front().lParam)), HTCLIENT);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_MOUSEMOVE);
  EXPECT_EQ(message.hwnd, child);
  EXPECT_EQ(message.lParam, MAKELPARAM(10, 20)) << "client coordinates";

  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HideOverClient));
  HostMouseMove(21, 30);
  EXPECT_EQ(GetCursor(), nullptr) << "a parent answering TRUE decides for its children";
  POINT position{};
  GetCursorPos(&position);
  EXPECT_EQ(position.x, 21);
}

TEST_F(CursorTest, ButtonsAreHeldKeysAndPostClicks) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HostMouseMove(5, 5);
  ClearMessageQueue();
  HostMouseButton(VK_LBUTTON, true);
  EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_LBUTTONDOWN);
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.wParam & 1, 1u);
  HostMouseButton(VK_LBUTTON, false);
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
}

}  // namespace
