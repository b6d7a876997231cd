#include "WindowTestSupport.h"

namespace {

using MessageQueueTest = WindowFixture;

std::vector<UINT> Drain() {
  std::vector<UINT> seen;
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    seen.push_back(message.message);
    if (message.message == WM_QUIT) break;
    DispatchMessageA(&message);
  }
  return seen;
}

TEST_F(MessageQueueTest, PostedMessagesArriveInOrderAndSentOnesAtOnce) {
  HWND window = Popup();
  PostMessageA(window, WM_USER + 1, 0, 0);
  PostMessageA(window, WM_USER + 2, 0, 0);
  EXPECT_TRUE(Logged(WM_USER + 1).empty()) << "posting only queues";
  SendMessageA(window, WM_USER + 3, 0, 0);
  EXPECT_EQ(Logged(WM_USER + 3).size(), 1u) << "sending calls the procedure at once";
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(Sequence(window, {WM_USER + 1, WM_USER + 2, WM_USER + 3}),
            (std::vector<UINT>{WM_USER + 3, WM_USER + 1, WM_USER + 2}));
}

TEST_F(MessageQueueTest, PeekingWithoutRemovingLeavesTheMessageAndFiltersSelect) {
  HWND first = Popup();
  HWND second = Popup();
  PostMessageA(first, WM_USER + 1, 11, 22);
  PostMessageA(second, WM_USER + 2, 0, 0);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.hwnd, first);
  EXPECT_EQ(message.wParam, 11u);
  EXPECT_EQ(message.lParam, 22);
  ASSERT_TRUE(PeekMessageA(&message, second, 0, 0, PM_REMOVE)) << "window filter";
  EXPECT_EQ(message.message, WM_USER + 2);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 2, WM_USER + 9, PM_REMOVE))
      << "range filter";
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER, WM_USER + 1, PM_REMOVE));
  EXPECT_EQ(message.hwnd, first);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, QuitComesAfterPostedMessagesAndEndsGetMessage) {
  HWND window = Popup();
  PostQuitMessage(3);
  PostMessageA(window, WM_USER, 0, 0);
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 1, WM_USER + 9, PM_REMOVE))
      << "a range that holds neither the posted message nor quit";
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_USER);
  EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_REMOVE)) << "quit belongs to no window";
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << "quit is taken once";
  EXPECT_EQ(GetMessageA(&message, reinterpret_cast<HWND>(uintptr_t{0x5}), 0, 0), -1);
}

TEST_F(MessageQueueTest, PaintComesLastAndRepeatsUntilValidated) {
  HWND window = Popup(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  Drain();  // the paint request of showing is answered by the default procedure
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
  InvalidateRect(window, nullptr, TRUE);
  PostMessageA(window, WM_USER, 0, 0);
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 1, WM_USER + 9, PM_NOREMOVE))
      << "a range without WM_PAINT or the posted message";
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_PAINT);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_PAINT) << "still invalid: asked again";
  ValidateRect(window, nullptr);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, UpdateAreaGrowsToCoverEveryInvalidatedRectangle) {
  HWND window = Popup(0, 0, 100, 100);
  const RECT first{10, 10, 20, 20};
  const RECT second{50, 5, 200, 15};
  InvalidateRect(window, &first, TRUE);
  InvalidateRect(window, &second, TRUE);
  RECT update{};
  ASSERT_TRUE(GetUpdateRect(window, &update, FALSE));
  EXPECT_EQ(update.left, 10);
  EXPECT_EQ(update.top, 5);
  EXPECT_EQ(update.right, 100) << "clipped to the client area";
  EXPECT_EQ(update.bottom, 20);
  const RECT part{10, 10, 20, 20};
  ValidateRect(window, &part);
  EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "partly validated stays invalid";
  UpdateWindow(window);
  EXPECT_TRUE(Logged(WM_PAINT).empty()) << "hidden windows are not painted";
}

TEST_F(MessageQueueTest, MessagesForDestroyedWindowsAreDroppedSafely) {
  HWND window = Popup();
  PostMessageA(window, WM_USER, 0, 0);
  DestroyWindow(window);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(DispatchMessageA(&message), 0);
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
  EXPECT_TRUE(PostMessageA(nullptr, WM_USER, 0, 0)) << "thread message";
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(DispatchMessageA(&message), 0);
}

TEST_F(MessageQueueTest, ClosingByDefaultDestroysTheWindow) {
  HWND window = Popup();
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Sequence(window, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}),
            (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
}

TEST_F(MessageQueueTest, TranslationPostsCharactersForPrintableKeys) {
  HWND window = Popup();
  MSG key{window, WM_KEYDOWN, 'A', 1, 0, {}};
  EXPECT_TRUE(TranslateMessage(&key));
  key.wParam = VK_LEFT;
  EXPECT_FALSE(TranslateMessage(&key));
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_CHAR);
  EXPECT_EQ(message.wParam, static_cast<WPARAM>('a'));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

// An event source standing in for a host: it delivers one posted message per pump.
class ScriptedSource : public EventSource {
 public:
  explicit ScriptedSource(HWND window) : window_(window) {}
  void Pump() override {
    ++pumps;
    if (pending > 0) {
      --pending;
      PostMessageA(window_, WM_USER + 9, 0, 0);
    }
  }
  void Wait(uint32_t) override { ++waits; }
  int pending = 0;
  int pumps = 0;
  int waits = 0;

 private:
  HWND window_;
};

TEST_F(MessageQueueTest, HostEventsArriveWhenTheQueueRunsDry) {
  HWND window = Popup();
  ScriptedSource source(window);
  InstallEventSource(&source);
  PostMessageA(window, WM_USER, 0, 0);
  source.pending = 1;
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_USER);
  EXPECT_EQ(source.pumps, 0) << "queued messages first";
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_USER + 9);
  source.pending = 0;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  InstallEventSource(nullptr);
}

}  // namespace
