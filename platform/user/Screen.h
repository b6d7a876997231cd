// Where presented frames go. The DirectDraw primary surface hands its pixels here each frame;
// the installed host shows them. Without a host the frame is only kept, so it stays readable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// pixels: width x height 32-bit pixels 0x00RRGGBB, rows pitchBytes apart.
void ScreenPresent(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitchBytes);

// Presents a frame that `draw` writes straight into the kept frame: width x height pixels
// 0x00RRGGBB, rows packed. A surface converting its pixels saves a copy of the frame this way.
// Nothing is presented for a size that is not positive.
void ScreenPresentDrawn(int32_t width, int32_t height,
                        const std::function<void(uint32_t* pixels)>& draw);

// A frame handed over while its pixels are still being drawn on other threads.
class FrameInDrawing {
 public:
  virtual ~FrameInDrawing() = default;
  // Whether its pixels are drawn, without waiting for them.
  virtual bool Ready() const = 0;
  // Presents it (through ScreenPresentDrawn), waiting for its pixels first.
  virtual void Present() = 0;
};

// Presents the frame once its pixels are drawn, in order: before any later frame, before the
// kept frame or the count is read, and as soon as the program looks for messages after they are
// drawn. A frame still waiting from before is presented first.
void ScreenPresentWhenReady(std::unique_ptr<FrameInDrawing> frame);
// Presents the frame waiting for its pixels, if there is one, waiting for them.
void ScreenPresentWaiting();
// Presents the frame waiting for its pixels if they are drawn already.
void ScreenPresentIfReady();

// The program's frame timer ticked, whether or not the tick goes on to present a frame. A host
// that ends a run after a number of frames also counts the ticks that present none, so that a
// program which cannot draw (its pictures failed to load) still comes to an end.
void ScreenTimerTick();

// The host's own screen mode (headless: 1920x1200).
void ScreenSize(int32_t* width, int32_t* height);

// The last presented frame, tightly packed; false when nothing has been presented yet.
bool ScreenLastFrame(std::vector<uint32_t>& pixels, int32_t& width, int32_t& height);

// Frames presented since start-up (or since the last ScreenReset).
uint32_t ScreenFrameCount();

// Forgets the kept frame, the frame count and any frame waiting for its pixels.
void ScreenReset();

// What a host plugs in to show frames and report its screen size.
class ScreenSink {
 public:
  virtual ~ScreenSink() = default;
  virtual void Show(const uint32_t* pixels, int32_t width, int32_t height) = 0;
  virtual void Size(int32_t* width, int32_t* height) = 0;
  virtual void TimerTick() {}
};

// nullptr uninstalls. The sink stays owned by the caller.
void InstallScreenSink(ScreenSink* sink);

// The display mode the program has set (DirectDraw's SetDisplayMode); 0, 0 goes back to the
// host's own. Screen metrics report it; the host scales what is presented to its own screen.
void ScreenSetMode(int32_t width, int32_t height);
void ScreenMode(int32_t* width, int32_t* height);
