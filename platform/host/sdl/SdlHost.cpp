#include "platform/host/sdl/SdlHost.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host/sdl/KeyMap.h"
#include "platform/mmsystem/Joysticks.h"
#include "platform/user/Cursor.h"
#include "platform/user/HostInput.h"
#include "platform/user/Keyboard.h"
#include "platform/user/Window.h"

namespace {

constexpr int32_t kWindowedWidth = 1280;
constexpr int32_t kWindowedHeight = 800;

bool Windowed() {
  const char* value = std::getenv("ORVALIS_WINDOWED");
  return value && std::strcmp(value, "1") == 0;
}

// The largest rectangle of the frame's aspect ratio centred in the output.
SDL_Rect Letterbox(int32_t outputWidth, int32_t outputHeight, int32_t frameWidth,
                   int32_t frameHeight) {
  SDL_Rect rect{0, 0, outputWidth, outputHeight};
  if (frameWidth <= 0 || frameHeight <= 0) return rect;
  if (int64_t{outputWidth} * frameHeight <= int64_t{outputHeight} * frameWidth)
    rect.h = static_cast<int>(int64_t{outputWidth} * frameHeight / frameWidth);
  else
    rect.w = static_cast<int>(int64_t{outputHeight} * frameWidth / frameHeight);
  rect.x = (outputWidth - rect.w) / 2;
  rect.y = (outputHeight - rect.h) / 2;
  return rect;
}

uint32_t PovFromHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return 0xFFFF;
  }
}

int32_t MouseButtonKey(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return VK_LBUTTON;
    case SDL_BUTTON_RIGHT:
      return VK_RBUTTON;
    case SDL_BUTTON_MIDDLE:
      return VK_MBUTTON;
    default:
      return 0;
  }
}

// The display the environment names, or null.
const char* NamedDisplay() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* display = std::getenv(variable); display && *display) return display;
  return nullptr;
}

// Starts SDL's video on a driver that shows something (not "offscreen" or "dummy"). A busy X
// server now and then turns a connection away ("try again"), and SDL then falls back to a driver
// without a screen; with a display named, it is tried a few times more before giving up, and
// giving up is said on standard error, or the program would go on without a window unnoticed.
bool StartVideo() {
  constexpr int kAttempts = 5;
  const char* display = NamedDisplay();
  for (int attempt = 1;; ++attempt) {
    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    const char* driver = started ? SDL_GetCurrentVideoDriver() : nullptr;
    if (driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0)
      return true;
    const std::string why = driver ? std::string("SDL fell back to its \"") + driver +
                                         "\" video driver"
                                   : std::string("SDL video failed (") + SDL_GetError() + ")";
    if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (!display) return false;
    if (attempt == kAttempts) {
      std::fprintf(stderr, "SDL host: display \"%s\" is set, but %s, so no window can be opened\n",
                   display, why.c_str());
      return false;
    }
    SDL_Delay(100 * attempt);
  }
}

}  // namespace

bool SdlHost::Available() {
  if (!StartVideo()) return false;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return true;
}

std::unique_ptr<Host> SdlHost::Create() {
  std::unique_ptr<SdlHost> host(new SdlHost());
  if (!host->Open()) {
    std::fprintf(stderr, "SDL host: %s\n", SDL_GetError());
    return nullptr;
  }
  return host;
}

bool SdlHost::Open() {
  if (!StartVideo() || SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
  const bool windowed = Windowed();
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  window_ = SDL_CreateWindow("Orvalis", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             windowed ? kWindowedWidth : desktop.w,
                             windowed ? kWindowedHeight : desktop.h,
                             windowed ? SDL_WINDOW_RESIZABLE : SDL_WINDOW_FULLSCREEN_DESKTOP);
  if (!window_) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // Batched, the renderer's handler of window events only queues what it changes, and the queue
  // is run on the presenting thread. Unbatched, it would run the renderer there and then, on the
  // pumping thread, and an OpenGL renderer would take its context away from the presenting one.
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  presenter_ = std::make_unique<FramePresenter>(static_cast<FrameDisplay&>(*this));
  bool rendererOpen = false;
  // The window is black before the host is in use.
  presenter_->Run([&] {
    rendererOpen = OpenRenderer();
    if (rendererOpen) ShowFrame(nullptr, 0, 0);
  });
  if (!rendererOpen) return false;
  AwaitFocus();
  for (int index = 0; index < SDL_NumJoysticks(); ++index) JoystickAdded(index);
  InstallScreenSink(this);
  InstallEventSource(this);
  return true;
}

void SdlHost::AwaitFocus() {
  // A pump finds the display's events only while no frame is being drawn, so a program that
  // pumps once and then plays frames back to back could miss the focus of its new window and
  // take no input; the window's first answers are waited for here, while nothing is drawn.
  constexpr Uint64 kLongestWaitMs = 500;
  const Uint64 deadline = SDL_GetTicks64() + kLongestWaitMs;
  while (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) && SDL_GetTicks64() < deadline) {
    SDL_PumpEvents();
    SDL_Delay(1);
  }
}

bool SdlHost::OpenRenderer() {
  const std::lock_guard drawing(drawing_);
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  return renderer_ != nullptr;
}

void SdlHost::CloseRenderer() {
  const std::lock_guard drawing(drawing_);
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  texture_ = nullptr;
  renderer_ = nullptr;
}

SdlHost::~SdlHost() {
  InstallScreenSink(nullptr);
  InstallEventSource(nullptr);
  while (!joysticks_.empty()) JoystickRemoved(joysticks_.back().sdlInstance);
  if (presenter_) {
    // The last frame handed over is shown before the renderer goes.
    presenter_->Run([&] { CloseRenderer(); });
    presenter_.reset();
  }
  if (window_) SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK);
}

void SdlHost::Show(const uint32_t* pixels, int32_t width, int32_t height) {
  frameWidth_ = width;
  frameHeight_ = height;
  presenter_->Present(pixels, width, height);
}

void SdlHost::Size(int32_t* width, int32_t* height) {
  SDL_DisplayMode mode{};
  const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0) {
    SDL_GetWindowSize(window_, &mode.w, &mode.h);
  }
  *width = mode.w;
  *height = mode.h;
}

void SdlHost::ShowFrame(const uint32_t* pixels, int32_t width, int32_t height) {
  const std::lock_guard drawing(drawing_);
  if (!renderer_) return;
  if (width > 0 && (!texture_ || width != textureWidth_ || height != textureHeight_)) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 width, height);
    textureWidth_ = texture_ ? width : 0;
    textureHeight_ = texture_ ? height : 0;
  }
  if (texture_ && width > 0)
    SDL_UpdateTexture(texture_, nullptr, pixels, width * static_cast<int>(sizeof(uint32_t)));
  DrawFrame();
  SDL_RenderPresent(renderer_);
}

void SdlHost::DrawFrame() {
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (texture_) {
    int outputWidth = 0;
    int outputHeight = 0;
    SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
    const SDL_Rect target = Letterbox(outputWidth, outputHeight, textureWidth_, textureHeight_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  }
}

bool SdlHost::ReadWindowPixels(std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
  bool read = false;
  presenter_->Run([&] {
    const std::lock_guard drawing(drawing_);
    // The back buffer is undefined after a present, so draw the frame again and read before
    // presenting it.
    DrawFrame();
    int outputWidth = 0;
    int outputHeight = 0;
    SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
    pixels.assign(static_cast<size_t>(outputWidth) * static_cast<size_t>(outputHeight), 0);
    read = SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(),
                                outputWidth * static_cast<int>(sizeof(uint32_t))) == 0;
    SDL_RenderPresent(renderer_);
    width = outputWidth;
    height = outputHeight;
  });
  return read;
}

void SdlHost::MouseMoved(int32_t windowX, int32_t windowY) {
  // The pointer is reported in the coordinates of the presented frame (the display mode).
  int32_t frameWidth = frameWidth_;
  int32_t frameHeight = frameHeight_;
  if (frameWidth <= 0) ScreenMode(&frameWidth, &frameHeight);
  int windowWidth = 0;
  int windowHeight = 0;
  SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
  const SDL_Rect shown = Letterbox(windowWidth, windowHeight, frameWidth, frameHeight);
  if (shown.w <= 0 || shown.h <= 0) return;
  const auto x = static_cast<int32_t>(int64_t{windowX - shown.x} * frameWidth / shown.w);
  const auto y = static_cast<int32_t>(int64_t{windowY - shown.y} * frameHeight / shown.h);
  HostMouseMove(std::clamp(x, 0, frameWidth - 1), std::clamp(y, 0, frameHeight - 1));
}

void SdlHost::GatherEvents() {
  // While a frame is being drawn, what the display sent waits for the next pump: the program's
  // thread never waits for the presenting one here. Joysticks are read either way; their state
  // is SDL's alone, away from the display.
  const std::unique_lock drawing(drawing_, std::try_to_lock);
  if (drawing.owns_lock())
    SDL_PumpEvents();
  else
    SDL_JoystickUpdate();
}

void SdlHost::Pump() {
  GatherEvents();
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    switch (event.type) {
      case SDL_QUIT:  // the window's close button, Alt+F4 from the window manager, SIGINT
        HostCloseRequest();
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) HostFocusEvent(true);
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) HostFocusEvent(false);
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
          presenter_->Refresh();
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (const int32_t key = VirtualKeyFromScancode(event.key.keysym.scancode))
          HostKeyEvent(key, event.type == SDL_KEYDOWN);
        break;
      case SDL_MOUSEMOTION:
        MouseMoved(event.motion.x, event.motion.y);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        MouseMoved(event.button.x, event.button.y);
        if (const int32_t button = MouseButtonKey(event.button.button))
          HostMouseButton(button, event.type == SDL_MOUSEBUTTONDOWN);
        break;
      case SDL_JOYDEVICEADDED:
        JoystickAdded(event.jdevice.which);
        break;
      case SDL_JOYDEVICEREMOVED:
        JoystickRemoved(event.jdevice.which);
        break;
      default:
        break;
    }
  }
  ReadJoysticks();
  ShowMainWindowCaption();
  const bool showCursor = CursorVisible();
  if (showCursor != cursorShown_) {
    SDL_ShowCursor(showCursor ? SDL_ENABLE : SDL_DISABLE);
    cursorShown_ = showCursor;
  }
}

void SdlHost::ShowMainWindowCaption() {
  HWND main = MainWindow();
  if (!main) return;
  std::string caption(static_cast<size_t>(GetWindowTextLengthA(main)) + 1, '\0');
  caption.resize(static_cast<size_t>(GetWindowTextA(main, caption.data(), static_cast<int32_t>(caption.size()))));
  if (caption.empty() || caption == caption_) return;
  caption_ = caption;
  SDL_SetWindowTitle(window_, caption_.c_str());
}

void SdlHost::Wait(uint32_t timeoutMs) {
  // SDL's own wait pumps deep inside, where the drawing lock could only be held for the whole
  // wait; so the events are pumped under the lock every millisecond until something arrives.
  const Uint64 deadline = SDL_GetTicks64() + timeoutMs;
  for (;;) {
    {
      const std::lock_guard drawing(drawing_);
      SDL_PumpEvents();
    }
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) || SDL_GetTicks64() >= deadline) return;
    SDL_Delay(1);
  }
}

void SdlHost::JoystickAdded(int deviceIndex) {
  // The joysticks present at start are announced once more as added; they are open already.
  const SDL_JoystickID sdlInstance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
  for (const OpenJoystick& open : joysticks_)
    if (open.sdlInstance == sdlInstance) return;
  SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
  if (!joystick) return;
  HostJoystick entry;
  const char* name = SDL_JoystickName(joystick);
  entry.name = name ? name : "Joystick";
  entry.axisCount = std::clamp(SDL_JoystickNumAxes(joystick), 0, 6);
  entry.buttonCount = std::clamp(SDL_JoystickNumButtons(joystick), 0, 32);
  entry.hasPov = SDL_JoystickNumHats(joystick) > 0;
  const int32_t number = AttachHostJoystick(entry);
  HostJoystick* attached = HostJoystickAt(number);
  attached->forceFeedback = haptics_.Open(attached->instance, joystick);
  joysticks_.push_back({SDL_JoystickInstanceID(joystick), joystick, number});
  ReadJoysticks();
}

void SdlHost::JoystickRemoved(int32_t sdlInstance) {
  const auto gone = std::find_if(joysticks_.begin(), joysticks_.end(), [&](const OpenJoystick& open) {
    return open.sdlInstance == sdlInstance;
  });
  if (gone == joysticks_.end()) return;
  if (const HostJoystick* entry = HostJoystickAt(gone->number)) haptics_.Close(entry->instance);
  RemoveHostJoystick(gone->number);
  SDL_JoystickClose(gone->joystick);
  joysticks_.erase(gone);
}

void SdlHost::ReadJoysticks() {
  for (const OpenJoystick& open : joysticks_) {
    HostJoystick* entry = HostJoystickAt(open.number);
    if (!entry) continue;
    SDL_Joystick* joystick = open.joystick;
    for (int32_t axis = 0; axis < entry->axisCount; ++axis)
      entry->axes[axis] = static_cast<uint32_t>(SDL_JoystickGetAxis(joystick, axis) + 32768);
    entry->buttons = 0;
    for (int32_t button = 0; button < entry->buttonCount; ++button)
      if (SDL_JoystickGetButton(joystick, button)) entry->buttons |= uint32_t{1} << button;
    entry->pov = entry->hasPov ? PovFromHat(SDL_JoystickGetHat(joystick, 0)) : 0xFFFF;
  }
}
