#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdlib>
#include <string>

#include "platform/TestControl.h"
#include "platform/host/Host.h"
#include "platform/host/Platform.h"
#include "platform/user/User.h"

namespace {

class HeadlessHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    setenv("ORVALIS_HOST", "headless", 1);
    unsetenv("ORVALIS_HEADLESS_FRAMES");
  }
  void TearDown() override {
    PlatformShutdown();
    unsetenv("ORVALIS_HEADLESS_FRAMES");
    TestResetPlatform();
  }
};

LRESULT QuitOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MainForm() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &QuitOnDestroy;
  windowClass.lpszClassName = "MainForm";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "MainForm", "Main", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                         nullptr, nullptr, nullptr);
}

TEST_F(HeadlessHostTest, ChosenWhenForcedAndReportsItsScreen) {
  ASSERT_TRUE(PlatformStartup());
  ASSERT_NE(PlatformHost(), nullptr);
  EXPECT_STREQ(PlatformHost()->Name(), "headless");
  EXPECT_TRUE(PlatformStartup()) << "a second start keeps the running host";
  int32_t width = 0;
  int32_t height = 0;
  ScreenSize(&width, &height);
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1200);
  PlatformShutdown();
  EXPECT_EQ(PlatformHost(), nullptr);
}

TEST_F(HeadlessHostTest, UnknownOrUnavailableForcedHostFailsToStart) {
  setenv("ORVALIS_HOST", "teletype", 1);
  EXPECT_FALSE(PlatformStartup());
  EXPECT_EQ(PlatformHost(), nullptr);
}

TEST_F(HeadlessHostTest, ANamedDisplayThatCannotBeUsedIsSaidAndTheProgramRunsHeadless) {
  const char* before = std::getenv("DISPLAY");
  const std::string display = before ? before : "";
  unsetenv("ORVALIS_HOST");
  unsetenv("WAYLAND_DISPLAY");
  setenv("DISPLAY", ":9999", 1);  // no X server there
  testing::internal::CaptureStderr();
  bool started = false;
  {
#if defined(__SANITIZE_ADDRESS__)
    // Trying SDL's video opens a D-Bus connection that stays for the rest of the process.
    __lsan::ScopedDisabler keptForTheProcess;
#endif
    started = PlatformStartup();
  }
  const std::string said = testing::internal::GetCapturedStderr();
  if (display.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", display.c_str(), 1);
  ASSERT_TRUE(started);
  EXPECT_STREQ(PlatformHost()->Name(), "headless");
  EXPECT_NE(said.find("display \":9999\" is set"), std::string::npos) << said;
}

TEST_F(HeadlessHostTest, ClosesTheMainWindowAfterTheConfiguredFrames) {
  setenv("ORVALIS_HEADLESS_FRAMES", "3", 1);
  ASSERT_TRUE(PlatformStartup());
  HWND window = MainForm();
  ASSERT_TRUE(IsWindow(window));
  const uint32_t pixel = 0x123456;
  int frames = 0;
  MSG message{};
  // The program's loop: present a frame whenever the queue is empty, until told to quit.
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) break;
      DispatchMessageA(&message);
      continue;
    }
    ASSERT_LT(frames, 10) << "the host never asked to close";
    ScreenPresent(&pixel, 1, 1, 4);
    ++frames;
  }
  EXPECT_EQ(frames, 3);
  EXPECT_FALSE(IsWindow(window));
  std::vector<uint32_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  ASSERT_TRUE(TestLastFrame(pixels, width, height));
  EXPECT_EQ(pixels, std::vector<uint32_t>{0x123456});
  EXPECT_EQ(TestFrameCount(), 3u);
}

TEST_F(HeadlessHostTest, MalformedFrameLimitIsIgnored) {
  setenv("ORVALIS_HEADLESS_FRAMES", "3x", 1);
  ASSERT_TRUE(PlatformStartup());
  HWND window = MainForm();
  const uint32_t pixel = 0;
  for (int i = 0; i < 5; ++i) ScreenPresent(&pixel, 1, 1, 4);
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(HeadlessHostTest, ScriptedFocusAndKeysReachTheProgram) {
  ASSERT_TRUE(PlatformStartup());
  HWND window = MainForm();
  EXPECT_EQ(GetForegroundWindow(), window);
  TestSetApplicationActive(false);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  TestSetApplicationActive(true);
  EXPECT_EQ(GetForegroundWindow(), window);
  constexpr BYTE keyA = 'A';  // letters' virtual-key codes are their capitals
  TestPressKey(keyA);
  BYTE keys[256];
  GetKeyboardState(keys);
  EXPECT_TRUE(keys[keyA] & 0x80);
  TestReleaseKey(keyA);
  GetKeyboardState(keys);
  EXPECT_FALSE(keys[keyA] & 0x80);
  TestCloseMainWindow();
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  EXPECT_EQ(message.hwnd, window);
}

}  // namespace
