#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstdlib>

#include "platform/TestControl.h"
#include "platform/host/sdl/KeyMap.h"
#include "platform/host/sdl/SdlHost.h"
#include "platform/user/User.h"

namespace {

TEST(SdlKeyMapTest, ScanCodesBecomeTheVirtualKeysTheGameReads) {
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_A), 'A');
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_Z), 'Z');
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_1), '1');
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_0), '0');
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_F12), VK_F12);
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_LEFT), VK_LEFT);
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_UP), VK_UP);
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_RCTRL), VK_RCONTROL);
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_KP_9), VK_NUMPAD0 + 9);
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_SPACE), VK_SPACE);
  EXPECT_EQ(VirtualKeyFromScancode(SDL_SCANCODE_UNKNOWN), 0);
}

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    if (!SdlHost::Available()) {
      // Under a display the test run started itself, a missing window is a failure.
      if (std::getenv("ORVALIS_DISPLAY_REQUIRED")) FAIL() << "the SDL host found no display";
      GTEST_SKIP() << "no display for the SDL host here";
    }
    host_ = SdlHost::Create();
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override {
    host_.reset();
    TestResetPlatform();
  }
  SdlHost& Sdl() { return static_cast<SdlHost&>(*host_); }
  std::unique_ptr<Host> host_;
};

TEST_F(SdlHostTest, PresentedFrameIsShownScaledWithItsAspectKept) {
  // A frame four times as wide as high, left half red and right half blue: on the 4:3 virtual
  // screen it fills the width and leaves black bars above and below.
  const uint32_t frame[8] = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF,
                             0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
  Sdl().Pump();  // the window manager's answers to the new window
  ScreenPresent(frame, 4, 2, 16);
  std::vector<uint32_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  ASSERT_TRUE(Sdl().ReadWindowPixels(pixels, width, height));
  ASSERT_GT(width, 0);
  ASSERT_GT(height, 0);
  auto at = [&](int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; };
  EXPECT_EQ(at(width / 8, height / 2), 0xFF0000u);
  EXPECT_EQ(at(width * 7 / 8, height / 2), 0x0000FFu);
  if (width * 2 < height * 4) {
    EXPECT_EQ(at(width / 2, 2), 0u) << "bar above";
    EXPECT_EQ(at(width / 2, height - 3), 0u) << "bar below";
  }
  EXPECT_EQ(TestFrameCount(), 1u);
}

TEST_F(SdlHostTest, ReportsTheDesktopAsTheScreen) {
  int32_t width = 0;
  int32_t height = 0;
  ScreenSize(&width, &height);
  EXPECT_GT(width, 0);
  EXPECT_GT(height, 0);
  Sdl().Pump();  // whatever the display delivered is handled without harm
}

// The title of the one window the host has open.
std::string ShownWindowTitle() {
  for (Uint32 id = 1; id < 1000; ++id)
    if (SDL_Window* window = SDL_GetWindowFromID(id)) return SDL_GetWindowTitle(window);
  return "";
}

void PushWindowEvent(Uint8 which) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = which;
  SDL_PushEvent(&event);
}

void PushKey(SDL_Scancode scancode, bool down) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.keysym.scancode = scancode;
  SDL_PushEvent(&event);
}

TEST_F(SdlHostTest, DisplayEventsBecomeTheProgramsInput) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcA;
  windowClass.lpszClassName = "SdlMain";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, "SdlMain", "OrvalisMain", WS_POPUP | WS_VISIBLE, 0, 0, 100,
                                100, nullptr, nullptr, nullptr, nullptr);
  Sdl().Pump();
  ASSERT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(ShownWindowTitle(), "OrvalisMain");

  PushKey(SDL_SCANCODE_LEFT, true);
  Sdl().Pump();
  EXPECT_LT(GetAsyncKeyState(VK_LEFT), 0);
  PushKey(SDL_SCANCODE_LEFT, false);
  Sdl().Pump();
  EXPECT_EQ(GetAsyncKeyState(VK_LEFT), 0);

  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  Sdl().Pump();
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  Sdl().Pump();
  EXPECT_EQ(GetForegroundWindow(), window);

  ClearMessageQueue();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  Sdl().Pump();
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  EXPECT_EQ(message.hwnd, window);
}

TEST_F(SdlHostTest, UnpluggingAJoystickLeavesTheOthersTheirNumbers) {
  const int first = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 0);
  const int second = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 3, 5, 1);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  Sdl().Pump();
  ASSERT_TRUE(HostJoystickAt(0) && HostJoystickAt(1));
  EXPECT_EQ(HostJoystickAt(1)->axisCount, 3);
  EXPECT_EQ(HostJoystickAt(1)->buttonCount, 5);
  EXPECT_TRUE(HostJoystickAt(1)->hasPov);
  EXPECT_FALSE(HostJoystickAt(1)->forceFeedback) << "no haptics, so nothing to play on";
  SDL_Joystick* secondStick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(second));
  ASSERT_NE(secondStick, nullptr);
  SDL_JoystickSetVirtualAxis(secondStick, 0, -32768);
  SDL_JoystickSetVirtualButton(secondStick, 4, 1);
  Sdl().Pump();
  EXPECT_EQ(HostJoystickAt(1)->axes[0], 0u);
  EXPECT_EQ(HostJoystickAt(1)->buttons, 1u << 4);

  // SDL's list closes up; the host's numbers stay.
  ASSERT_EQ(SDL_JoystickDetachVirtual(first), 0);
  Sdl().Pump();
  EXPECT_EQ(HostJoystickAt(0), nullptr);
  ASSERT_NE(HostJoystickAt(1), nullptr);
  EXPECT_EQ(HostJoystickAt(1)->buttons, 1u << 4);
  ASSERT_GE(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 2, 0), 0);
  Sdl().Pump();
  ASSERT_NE(HostJoystickAt(0), nullptr) << "plugged in again under the free number";
  EXPECT_EQ(HostJoystickAt(0)->buttonCount, 2);
  for (int index = SDL_NumJoysticks() - 1; index >= 0; --index)
    if (SDL_JoystickIsVirtual(index)) SDL_JoystickDetachVirtual(index);
}

}  // namespace
