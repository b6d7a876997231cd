#include "WindowTestSupport.h"

namespace {

using ActivationTest = WindowFixture;

TEST_F(ActivationTest, ShowingTheFirstWindowActivatesTheProgramBeforeItsShowIsReported) {
  HWND owner = Popup();  // a hidden top-level window also hears of the program's activation
  HWND window = Popup();
  MessageLog().clear();
  ShowWindow(window, SW_SHOWNORMAL);
  EXPECT_EQ(Sequence(window, {WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS,
                              WM_WINDOWPOSCHANGED}),
            (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS,
                               WM_WINDOWPOSCHANGED}));
  ASSERT_EQ(Logged(WM_ACTIVATEAPP, owner).size(), 1u);
  EXPECT_EQ(Logged(WM_ACTIVATEAPP, owner).front().wParam, static_cast<WPARAM>(TRUE));
  EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE, window).front().wParam), WA_ACTIVE);
  const auto* position =
      reinterpret_cast<const WINDOWPOS*>(Logged(WM_WINDOWPOSCHANGED, window).front().lParam);
  ASSERT_NE(position, nullptr);
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(GetActiveWindow(), window);
  EXPECT_EQ(GetFocus(), window);

  MessageLog().clear();
  EXPECT_TRUE(ShowWindow(window, SW_SHOWNA));
  EXPECT_TRUE(Logged(WM_WINDOWPOSCHANGED).empty()) << "showing a shown window reports nothing";
}

TEST_F(ActivationTest, ShowReportCarriesTheShowFlag) {
  // Checked inside the handler: the record handed with the message lives only during the call.
  static UINT flagsSeen = 0;
  WNDCLASSA windowClass{};
  windowClass.lpszClassName = "FlagWatcher";
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WINDOWPOSCHANGED) flagsSeen |= reinterpret_cast<WINDOWPOS*>(lParam)->flags;
    return DefWindowProcA(window, message, wParam, lParam);
  };
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, "FlagWatcher", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_TRUE(flagsSeen & SWP_SHOWWINDOW);
  EXPECT_FALSE(flagsSeen & SWP_HIDEWINDOW);
}

TEST_F(ActivationTest, LosingAndRegainingHostFocusDeactivatesAndReactivates) {
  HWND other = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  HWND window = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  ASSERT_EQ(GetActiveWindow(), window);
  MessageLog().clear();
  HostFocusEvent(false);
  EXPECT_EQ(Sequence(window, {WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}),
            (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}));
  EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE, window).front().wParam), WA_INACTIVE);
  EXPECT_EQ(Logged(WM_ACTIVATEAPP, other).front().wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(GetFocus(), nullptr);
  HostFocusEvent(false);
  EXPECT_EQ(Logged(WM_ACTIVATEAPP, window).size(), 1u) << "no change, no message";

  MessageLog().clear();
  HostFocusEvent(true);
  EXPECT_EQ(Sequence(window, {WM_ACTIVATEAPP, WM_ACTIVATE}),
            (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATE}));
  EXPECT_EQ(Logged(WM_ACTIVATEAPP, window).front().wParam, static_cast<WPARAM>(TRUE));
  EXPECT_EQ(GetForegroundWindow(), window) << "the window active before comes back";
  EXPECT_TRUE(Logged(WM_ACTIVATE, other).empty());
}

TEST_F(ActivationTest, WithoutHostFocusShowingDoesNotActivateUntilFocusComes) {
  HostFocusEvent(false);
  HWND window = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_TRUE(Logged(WM_ACTIVATEAPP).empty());
  EXPECT_EQ(SetFocus(window), nullptr);
  EXPECT_FALSE(SetForegroundWindow(window));
  HostFocusEvent(true);
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(Logged(WM_ACTIVATEAPP, window).size(), 1u);
}

TEST_F(ActivationTest, SwitchingBetweenWindowsKeepsTheProgramActive) {
  HWND first = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  HWND second = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  MessageLog().clear();
  EXPECT_TRUE(SetForegroundWindow(first));
  EXPECT_TRUE(Logged(WM_ACTIVATEAPP).empty());
  ASSERT_EQ(Logged(WM_ACTIVATE, second).size(), 1u);
  EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE, second).front().wParam), WA_INACTIVE);
  EXPECT_EQ(Logged(WM_ACTIVATE, second).front().lParam, reinterpret_cast<LPARAM>(first));
  EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE, first).front().wParam), WA_ACTIVE);
}

TEST_F(ActivationTest, HidingOrDestroyingTheActiveWindowPassesActivationOn) {
  HWND first = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  HWND second = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  HWND child = Child(second, 0, 0, 5, 5);
  SetFocus(child);
  EXPECT_EQ(GetFocus(), child);
  DestroyWindow(second);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_EQ(GetFocus(), first);
  MessageLog().clear();
  ShowWindow(first, SW_HIDE);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(Logged(WM_ACTIVATEAPP, first).front().wParam, static_cast<WPARAM>(FALSE));
}

TEST_F(ActivationTest, FocusMovesWithKillAndSetMessages) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND left = Child(window, 0, 0, 10, 10);
  HWND right = Child(window, 20, 0, 10, 10);
  SetFocus(left);
  MessageLog().clear();
  EXPECT_EQ(SetFocus(right), left);
  ASSERT_EQ(Logged(WM_KILLFOCUS, left).size(), 1u);
  EXPECT_EQ(Logged(WM_KILLFOCUS, left).front().wParam, reinterpret_cast<WPARAM>(right));
  ASSERT_EQ(Logged(WM_SETFOCUS, right).size(), 1u);
  EXPECT_EQ(Logged(WM_SETFOCUS, right).front().wParam, reinterpret_cast<WPARAM>(left));
  EnableWindow(right, FALSE);
  EXPECT_EQ(GetFocus(), nullptr) << "a disabled window gives up the focus";
  EXPECT_EQ(SetFocus(right), nullptr);
  EXPECT_FALSE(IsWindowEnabled(right));
}

TEST_F(ActivationTest, CloseRequestGoesToTheMainWindow) {
  HWND hidden = Popup();
  HWND window = Popup(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(MainWindow(), window);
  HostCloseRequest();
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.message, WM_CLOSE);
  HostFocusEvent(false);
  EXPECT_EQ(MainWindow(), window) << "the first visible top-level window while inactive";
  DestroyWindow(window);
  EXPECT_EQ(MainWindow(), nullptr);
  HostCloseRequest();
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(IsWindow(hidden));
}

}  // namespace
