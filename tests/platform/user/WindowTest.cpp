#include "WindowTestSupport.h"

#include <cstring>

namespace {

using WindowTest = WindowFixture;

void* seenCreateParam = nullptr;
LRESULT RememberCreateParam(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE)
    seenCreateParam = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
  return LoggingWindowProc(window, message, wParam, lParam);
}

LRESULT RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LoggingWindowProc(window, message, wParam, lParam);
  return message == WM_CREATE ? -1 : DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WindowTest, CreationSendsItsMessagesInOrderWithTheCreationParameters) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &RememberCreateParam;
  windowClass.lpszClassName = "Remembering";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  int marker = 0;
  HWND window = CreateWindowExA(0, "REMEMBERING", "Title", WS_POPUP, 10, 20, 300, 200, nullptr,
                                nullptr, nullptr, &marker);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(seenCreateParam, &marker);
  EXPECT_EQ(Sequence(window, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}),
            (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
  EXPECT_EQ(Logged(WM_SIZE).front().lParam, MAKELPARAM(300, 200));
  EXPECT_FALSE(IsWindowVisible(window));
  char title[16];
  EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 5);
  EXPECT_STREQ(title, "Title");
  EXPECT_EQ(GetWindowTextA(window, title, 3), 2) << "cut to the buffer";
  EXPECT_STREQ(title, "Ti");
}

TEST_F(WindowTest, CreationFailsForUnknownClassBadParentOrRefusal) {
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_EQ(Child(reinterpret_cast<HWND>(uintptr_t{0x999}), 0, 0, 1, 1), nullptr);
  EXPECT_EQ(CreateWindowExA(0, "TestWindow", "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr)
      << "a child needs a parent";

  WNDCLASSA refusing{};
  refusing.lpfnWndProc = &RefuseCreation;
  refusing.lpszClassName = "Refusing";
  ASSERT_NE(RegisterClassA(&refusing), 0);
  MessageLog().clear();
  EXPECT_EQ(CreateWindowExA(0, "Refusing", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_EQ(Sequence(nullptr, {WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
            (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
  ASSERT_FALSE(MessageLog().empty());
  EXPECT_FALSE(IsWindow(MessageLog().front().window));
}

TEST_F(WindowTest, ClassesAreRegisteredOnceAndKeptWhileWindowsUseThem) {
  WNDCLASSA again{};
  again.lpszClassName = "testwindow";
  EXPECT_EQ(RegisterClassA(&again), 0);
  WNDCLASSA found{};
  ASSERT_TRUE(GetClassInfoA(nullptr, "TESTWINDOW", &found));
  EXPECT_STREQ(found.lpszClassName, "TestWindow");
  EXPECT_EQ(found.lpfnWndProc, &LoggingWindowProc);
  HWND window = Popup();
  EXPECT_FALSE(UnregisterClassA("TestWindow", nullptr));
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("TestWindow", nullptr));
  EXPECT_FALSE(GetClassInfoA(nullptr, "TestWindow", &found));
}

TEST_F(WindowTest, ClientAreaExcludesTheFrameOfCaptionedWindowsOnly) {
  HWND popup = Popup(0, 0, 200, 100);
  RECT client{};
  GetClientRect(popup, &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);

  HWND framed = Popup(50, 60, 200, 100, WS_OVERLAPPEDWINDOW);
  RECT wanted{0, 0, 200, 100};
  ASSERT_TRUE(AdjustWindowRectEx(&wanted, WS_OVERLAPPEDWINDOW, FALSE, 0));
  MoveWindow(framed, 50, 60, wanted.right - wanted.left, wanted.bottom - wanted.top, TRUE);
  GetClientRect(framed, &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);
  POINT origin{0, 0};
  ClientToScreen(framed, &origin);
  EXPECT_EQ(origin.x, 50 - wanted.left);
  EXPECT_EQ(origin.y, 60 - wanted.top);
  ScreenToClient(framed, &origin);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
}

TEST_F(WindowTest, ChildPositionsAreRelativeToTheParentClientArea) {
  HWND parent = Popup(100, 200, 400, 300);
  HWND child = Child(parent, 10, 20, 50, 40);
  HWND grandchild = Child(child, 5, 5, 10, 10);
  RECT rect{};
  GetWindowRect(grandchild, &rect);
  EXPECT_EQ(rect.left, 115);
  EXPECT_EQ(rect.top, 225);
  EXPECT_EQ(rect.right, 125);
  POINT point{0, 0};
  ClientToScreen(child, &point);
  EXPECT_EQ(point.x, 110);
  EXPECT_EQ(point.y, 220);
  EXPECT_EQ(GetParent(grandchild), child);
  EXPECT_TRUE(IsChild(parent, grandchild));
  EXPECT_FALSE(IsChild(grandchild, parent));
  MoveWindow(parent, 0, 0, 400, 300, TRUE);
  GetWindowRect(grandchild, &rect);
  EXPECT_EQ(rect.left, 15) << "children move with their parent";
}

TEST_F(WindowTest, VisibilityNeedsTheWholeParentChain) {
  HWND parent = Popup();
  HWND child = Child(parent, 0, 0, 10, 10);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(parent, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_TRUE(ShowWindow(parent, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(child));
  EXPECT_FALSE(ShowWindow(parent, SW_HIDE)) << "was already hidden";
}

TEST_F(WindowTest, DestructionReachesOwnedWindowsChildrenAndItselfInOrder) {
  HWND owner = Popup();
  HWND owned = CreateWindowExA(0, "TestWindow", "Owned", WS_POPUP, 0, 0, 1, 1, owner, nullptr,
                               nullptr, nullptr);
  HWND child = Child(owner, 0, 0, 1, 1);
  HWND grandchild = Child(child, 0, 0, 1, 1);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  EXPECT_EQ(GetParent(owned), owner);
  MessageLog().clear();
  ASSERT_TRUE(DestroyWindow(owner));
  std::vector<std::pair<HWND, UINT>> order;
  for (const LoggedMessage& entry : MessageLog())
    if (entry.message == WM_DESTROY || entry.message == WM_NCDESTROY)
      order.emplace_back(entry.window, entry.message);
  const std::vector<std::pair<HWND, UINT>> expected{
      {owned, WM_DESTROY},       {owned, WM_NCDESTROY},     {owner, WM_DESTROY},
      {child, WM_DESTROY},       {grandchild, WM_DESTROY},  {grandchild, WM_NCDESTROY},
      {child, WM_NCDESTROY},     {owner, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  for (HWND window : {owner, owned, child, grandchild}) EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(owner));
}

LRESULT CloseOnDestroyOfChild(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A handler that destroys its own window again while being destroyed must not recurse.
  if (message == WM_DESTROY) {
    EXPECT_FALSE(DestroyWindow(window));
  }
  return LoggingWindowProc(window, message, wParam, lParam);
}

TEST_F(WindowTest, DestroyingAWindowAgainFromItsOwnDestroyHandlerIsRefused) {
  HWND window = Popup();
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CloseOnDestroyOfChild));
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Logged(WM_NCDESTROY).size(), 1u);
}

// A second procedure put in front of the class procedure sees each message first and decides
// whether the previous one runs: the mechanism components use to watch their form.
WNDPROC previousProc = nullptr;
std::vector<UINT> hookSaw;
LRESULT Hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  hookSaw.push_back(message);
  if (message == WM_USER + 1) return 7;  // swallowed
  return CallWindowProcA(previousProc, window, message, wParam, lParam);
}

TEST_F(WindowTest, ReplacedProcedureSeesMessagesFirstAndCanPassThemOn) {
  HWND window = Popup();
  previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Hook)));
  EXPECT_EQ(previousProc, &LoggingWindowProc);
  hookSaw.clear();
  MessageLog().clear();
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 7);
  SendMessageA(window, WM_USER + 2, 0, 0);
  EXPECT_EQ(hookSaw, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(Sequence(window, {WM_USER + 1, WM_USER + 2}), (std::vector<UINT>{WM_USER + 2}));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
  hookSaw.clear();
  SendMessageA(window, WM_USER + 1, 0, 0);
  EXPECT_TRUE(hookSaw.empty());
}

TEST_F(WindowTest, WindowLongsHoldStylesAndUserDataButPointersOnlyInWideSlots) {
  HWND window = Popup(0, 0, 10, 10, WS_POPUP | WS_CLIPCHILDREN);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), WS_POPUP | WS_CLIPCHILDREN);
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_POPUP));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), WS_POPUP);
  int data = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&data));
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&data));
  EXPECT_EQ(GetWindowLongA(window, GWL_WNDPROC), 0) << "a procedure does not fit 32 bits";
  EXPECT_EQ(SetWindowLongPtrA(window, 12345, 1), 0);
  EXPECT_EQ(GetWindowLongPtrA(reinterpret_cast<HWND>(uintptr_t{0x42}), GWL_STYLE), 0);
}

TEST_F(WindowTest, PlacementReportsMoveAndSizeOnlyWhenTheyChange) {
  HWND window = Popup(0, 0, 100, 100);
  MessageLog().clear();
  SetWindowPos(window, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Sequence(window, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE}));
  MessageLog().clear();
  SetWindowPos(window, nullptr, 5, 5, 120, 90, SWP_NOZORDER);
  EXPECT_EQ(Sequence(window, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_SIZE}));
  EXPECT_EQ(Logged(WM_SIZE).back().lParam, MAKELPARAM(120, 90));
  const auto changed = Logged(WM_WINDOWPOSCHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_TRUE(reinterpret_cast<const WINDOWPOS*>(changed.front().lParam) != nullptr);
}

TEST_F(WindowTest, MaximizingFillsTheScreenModeAndRestoringGoesBack) {
  ScreenSetMode(1024, 768);
  HWND window = Popup(10, 10, 100, 100);
  ShowWindow(window, SW_SHOWMAXIMIZED);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 1024);
  EXPECT_EQ(rect.bottom - rect.top, 768);
  EXPECT_TRUE(IsZoomed(window));
  EXPECT_EQ(Logged(WM_SIZE, window).back().wParam, SIZE_MAXIMIZED);
  ShowWindow(window, SW_RESTORE);
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.right, 110);
  EXPECT_FALSE(IsZoomed(window));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
}

TEST_F(WindowTest, PointFindsTheDeepestVisibleWindowInFrontmostOrder) {
  HWND back = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND front = Popup(50, 50, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND child = Child(front, 10, 10, 20, 20);
  EXPECT_EQ(WindowFromPoint(POINT{10, 10}), back);
  EXPECT_EQ(WindowFromPoint(POINT{55, 55}), front);
  EXPECT_EQ(WindowFromPoint(POINT{65, 65}), child);
  EXPECT_EQ(WindowFromPoint(POINT{500, 500}), nullptr);
  ShowWindow(child, SW_HIDE);
  EXPECT_EQ(WindowFromPoint(POINT{65, 65}), front);
  SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(WindowFromPoint(POINT{55, 55}), back);
}

}  // namespace
