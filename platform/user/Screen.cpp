#include "platform/user/Screen.h"

#include <cstring>

namespace {

struct KeptFrame {
  std::vector<uint32_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t count = 0;
};

KeptFrame& Kept() {
  static KeptFrame frame;
  return frame;
}

ScreenSink* installedSink = nullptr;
std::unique_ptr<FrameInDrawing> waitingFrame;

constexpr int32_t kDefaultScreenWidth = 1920;
constexpr int32_t kDefaultScreenHeight = 1200;

}  // namespace

void ScreenPresent(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitchBytes) {
  const int64_t rowBytes = int64_t{width} * int64_t{sizeof(uint32_t)};
  // A frame that cannot be read row by row is refused rather than half copied.
  if (!pixels || pitchBytes < rowBytes) return;
  ScreenPresentDrawn(width, height, [&](uint32_t* kept) {
    const auto* source = reinterpret_cast<const std::byte*>(pixels);
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(kept + static_cast<size_t>(y) * width,
                  source + static_cast<size_t>(y) * pitchBytes, rowBytes);
  });
}

void ScreenPresentDrawn(int32_t width, int32_t height,
                        const std::function<void(uint32_t* pixels)>& draw) {
  ScreenPresentWaiting();
  if (width <= 0 || height <= 0) return;
  KeptFrame& kept = Kept();
  kept.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  draw(kept.pixels.data());
  kept.width = width;
  kept.height = height;
  ++kept.count;
  if (installedSink) installedSink->Show(kept.pixels.data(), width, height);
}

void ScreenPresentWhenReady(std::unique_ptr<FrameInDrawing> frame) {
  ScreenPresentWaiting();
  waitingFrame = std::move(frame);
}

void ScreenPresentWaiting() {
  if (!waitingFrame) return;
  // Taken off first: it is presented through ScreenPresentDrawn.
  const std::unique_ptr<FrameInDrawing> frame = std::move(waitingFrame);
  frame->Present();
}

void ScreenPresentIfReady() {
  if (waitingFrame && waitingFrame->Ready()) ScreenPresentWaiting();
}

void ScreenTimerTick() {
  if (installedSink) installedSink->TimerTick();
}

void ScreenSize(int32_t* width, int32_t* height) {
  int32_t w = kDefaultScreenWidth;
  int32_t h = kDefaultScreenHeight;
  if (installedSink) installedSink->Size(&w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

bool ScreenLastFrame(std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
  ScreenPresentWaiting();
  const KeptFrame& kept = Kept();
  if (kept.count == 0) return false;
  pixels = kept.pixels;
  width = kept.width;
  height = kept.height;
  return true;
}

uint32_t ScreenFrameCount() {
  ScreenPresentWaiting();
  return Kept().count;
}

void ScreenReset() {
  waitingFrame.reset();
  KeptFrame& kept = Kept();
  kept = KeptFrame{};
}

void InstallScreenSink(ScreenSink* sink) { installedSink = sink; }

namespace {
int32_t modeWidth = 0;
int32_t modeHeight = 0;
}  // namespace

void ScreenSetMode(int32_t width, int32_t height) {
  const bool valid = width > 0 && height > 0;
  modeWidth = valid ? width : 0;
  modeHeight = valid ? height : 0;
}

void ScreenMode(int32_t* width, int32_t* height) {
  if (modeWidth > 0) {
    if (width) *width = modeWidth;
    if (height) *height = modeHeight;
    return;
  }
  ScreenSize(width, height);
}
