// The host on a real display through SDL2: one borderless window filling the desktop (or a
// resizable window with ORVALIS_WINDOWED=1) that shows each presented frame scaled with its
// aspect ratio kept; keyboard, mouse, focus, close and joysticks become the platform's input, and
// force feedback is played on joysticks with haptics.
//
// Frames are shown by a presenting thread that owns SDL's renderer (it is made, used and
// destroyed there), while the window, its events and everything else stay on the program's
// thread; the program hands a frame over and goes on with the next one. What the display sends
// while a frame is being drawn is taken at the next pump.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/FramePresenter.h"
#include "platform/host/Host.h"
#include "platform/host/sdl/HapticPlayer.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Screen.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct _SDL_Joystick;

class SdlHost : public Host, public ScreenSink, public EventSource, private FrameDisplay {
 public:
  // Video can start with a driver that shows something (not "offscreen" or "dummy").
  static bool Available();
  // Null (with the reason on standard error) when the window cannot be made.
  static std::unique_ptr<Host> Create();
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  const char* Name() const override { return "sdl"; }

  void Show(const uint32_t* pixels, int32_t width, int32_t height) override;
  void Size(int32_t* width, int32_t* height) override;
  void Pump() override;
  void Wait(uint32_t timeoutMs) override;

  // What the window shows once every frame presented before is shown, 0x00RRGGBB, read back
  // from the renderer.
  bool ReadWindowPixels(std::vector<uint32_t>& pixels, int32_t& width, int32_t& height);

 private:
  SdlHost() = default;
  bool Open();
  void AwaitFocus();
  // On the presenting thread.
  bool OpenRenderer();
  void CloseRenderer();
  void ShowFrame(const uint32_t* pixels, int32_t width, int32_t height) override;
  void DrawFrame();
  // On the program's thread: has SDL gather what the display and the joysticks sent.
  void GatherEvents();
  void MouseMoved(int32_t windowX, int32_t windowY);
  // A joystick plugged in (SDL's device index) or unplugged (SDL's instance id). SDL's instance
  // id says which one went, so the others keep their numbers in the host's table.
  void JoystickAdded(int deviceIndex);
  void JoystickRemoved(int32_t sdlInstance);
  void ReadJoysticks();
  // The window's title follows the program's main window.
  void ShowMainWindowCaption();

  SDL_Window* window_ = nullptr;
  // Size of the last frame handed over, which the pointer's position is mapped to.
  int32_t frameWidth_ = 0;
  int32_t frameHeight_ = 0;
  // SDL's event pumping runs the renderer's own handler of window events (a resize resets its
  // viewport and drops the window surface it draws into), so pumping and drawing never overlap:
  // each holds this while it runs.
  std::mutex drawing_;
  std::unique_ptr<FramePresenter> presenter_;
  // The presenting thread's alone.
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int32_t textureWidth_ = 0;
  int32_t textureHeight_ = 0;
  struct OpenJoystick {
    int32_t sdlInstance;
    _SDL_Joystick* joystick;
    int32_t number;  // in the host's joystick table
  };
  std::vector<OpenJoystick> joysticks_;
  HapticPlayer haptics_;
  bool cursorShown_ = true;
  std::string caption_;
};
