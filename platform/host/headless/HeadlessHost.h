// The host without a screen, for tests, CI and benchmarks: frames are only kept (readable through
// ScreenLastFrame), input comes from the test controls, and the screen is 1920x1200. With
// ORVALIS_HEADLESS_FRAMES=n it asks the program to close once n frames have been presented, or
// once n ticks have passed without a frame: a tick of the program's frame timer, or a wait of a
// program with nothing to do, since nothing ever comes from outside to wake it.
#pragma once

#include <cstdint>

#include "platform/host/Host.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Screen.h"

class HeadlessHost : public Host, public ScreenSink, public EventSource {
 public:
  HeadlessHost();
  ~HeadlessHost() override;
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  const char* Name() const override { return "headless"; }

  void Show(const uint32_t* pixels, int32_t width, int32_t height) override;
  void Size(int32_t* width, int32_t* height) override;
  void TimerTick() override;
  void Pump() override {}
  void Wait(uint32_t timeoutMs) override;

 private:
  void CountTickWithoutFrame();

  uint32_t frameLimit_ = 0;  // 0: never close
  uint32_t framesShown_ = 0;
  uint32_t ticksWithoutFrame_ = 0;
};
