#include "WindowTestSupport.h"

#include <array>

namespace {

using KeyboardTest = WindowFixture;

std::array<BYTE, 256> KeyState() {
  std::array<BYTE, 256> state{};
  GetKeyboardState(state.data());
  return state;
}

TEST_F(KeyboardTest, HeldKeysHaveTheHighBitAndToggleAtEachPress) {
  HostKeyEvent(VK_LEFT, true);
  EXPECT_EQ(KeyState()[VK_LEFT], 0x81);
  EXPECT_LT(GetKeyState(VK_LEFT), 0);
  EXPECT_LT(GetAsyncKeyState(VK_LEFT), 0);
  HostKeyEvent(VK_LEFT, true);  // auto-repeat does not toggle
  EXPECT_EQ(KeyState()[VK_LEFT], 0x81);
  HostKeyEvent(VK_LEFT, false);
  EXPECT_EQ(KeyState()[VK_LEFT], 0x01);
  EXPECT_EQ(GetKeyState(VK_LEFT), 1);
  HostKeyEvent(VK_LEFT, true);
  HostKeyEvent(VK_LEFT, false);
  EXPECT_EQ(KeyState()[VK_LEFT], 0x00);
  EXPECT_FALSE(GetKeyboardState(nullptr));
  HostKeyEvent(0, true);
  HostKeyEvent(300, true);
  EXPECT_EQ(GetKeyState(300), 0);
}

TEST_F(KeyboardTest, SideKeysAlsoHoldTheirCombinedKey) {
  HostKeyEvent(VK_LSHIFT, true);
  HostKeyEvent(VK_RSHIFT, true);
  EXPECT_TRUE(KeyState()[VK_SHIFT] & 0x80);
  HostKeyEvent(VK_LSHIFT, false);
  EXPECT_TRUE(KeyState()[VK_SHIFT] & 0x80) << "right shift still held";
  HostKeyEvent(VK_RSHIFT, false);
  EXPECT_FALSE(KeyState()[VK_SHIFT] & 0x80);
  HostKeyEvent(VK_RCONTROL, true);
  EXPECT_TRUE(KeyState()[VK_CONTROL] & 0x80);
}

TEST_F(KeyboardTest, KeyMessagesGoToTheFocusWindowWithTheirFlags) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND child = Child(window, 0, 0, 10, 10);
  SetFocus(child);
  HostKeyEvent(VK_SPACE, true);
  HostKeyEvent(VK_SPACE, true);
  HostKeyEvent(VK_SPACE, false);
  HostKeyEvent(VK_LCONTROL, true);
  MSG message{};
  std::vector<MSG> messages;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) messages.push_back(message);
    DispatchMessageA(&message);  // also answers the paint request, which would come again
  }
  ASSERT_EQ(messages.size(), 4u);
  for (const MSG& entry : messages) EXPECT_EQ(entry.hwnd, child);
  EXPECT_EQ(messages[0].message, WM_KEYDOWN);
  EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>(VK_SPACE));
  EXPECT_FALSE(messages[0].lParam & KF_PREVIOUS_STATE);
  EXPECT_TRUE(messages[1].lParam & KF_PREVIOUS_STATE) << "repeat of a held key";
  EXPECT_EQ(messages[2].message, WM_KEYUP);
  EXPECT_TRUE(messages[2].lParam & KF_TRANSITION_UP);
  EXPECT_EQ(messages[3].wParam, static_cast<WPARAM>(VK_CONTROL)) << "messages name the side-less key";
}

TEST_F(KeyboardTest, AltTurnsKeysIntoSystemKeysAndAltF4Closes) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HostKeyEvent(VK_LMENU, true);
  HostKeyEvent(VK_F4, true);
  MSG message{};
  std::vector<UINT> kinds;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    kinds.push_back(message.message);
    DispatchMessageA(&message);
  }
  EXPECT_EQ(kinds, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN}));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(KeyboardTest, KeysAreReleasedWhenTheHostLosesFocusAndUnfocusedKeysSendNothing) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HostKeyEvent(VK_UP, true);
  HostFocusEvent(false);
  EXPECT_FALSE(KeyState()[VK_UP] & 0x80);
  ClearMessageQueue();
  HostKeyEvent(VK_DOWN, true);
  EXPECT_TRUE(KeyState()[VK_DOWN] & 0x80);
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
      << "no window to receive it";
  HostKeyEvent(VK_UP, false);  // released while already up: nothing happens
  EXPECT_TRUE(IsWindow(window));
}

}  // namespace
