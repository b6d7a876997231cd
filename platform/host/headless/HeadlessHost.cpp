#include "platform/host/headless/HeadlessHost.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/user/HostInput.h"

namespace {
constexpr int32_t kScreenWidth = 1920;
constexpr int32_t kScreenHeight = 1200;
}  // namespace

HeadlessHost::HeadlessHost() {
  if (const char* frames = std::getenv("ORVALIS_HEADLESS_FRAMES")) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(frames, &end, 10);
    if (end != frames && *end == '\0' && value <= UINT32_MAX) frameLimit_ = static_cast<uint32_t>(value);
  }
  InstallScreenSink(this);
  InstallEventSource(this);
}

HeadlessHost::~HeadlessHost() {
  InstallScreenSink(nullptr);
  InstallEventSource(nullptr);
}

void HeadlessHost::Show(const uint32_t*, int32_t, int32_t) {
  ++framesShown_;
  ticksWithoutFrame_ = 0;
  if (frameLimit_ != 0 && framesShown_ == frameLimit_) HostCloseRequest();
}

void HeadlessHost::TimerTick() { CountTickWithoutFrame(); }

void HeadlessHost::CountTickWithoutFrame() {
  ++ticksWithoutFrame_;
  if (frameLimit_ != 0 && ticksWithoutFrame_ == frameLimit_) HostCloseRequest();
}

void HeadlessHost::Size(int32_t* width, int32_t* height) {
  *width = kScreenWidth;
  *height = kScreenHeight;
}

void HeadlessHost::Wait(uint32_t timeoutMs) {
  CountTickWithoutFrame();
  // Nothing arrives from outside; a short nap keeps a waiting program from spinning.
  std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs < 1 ? timeoutMs : 1));
}
