#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/host/FramePresenter.h"

namespace {

constexpr int32_t kHeight = 3;

// Frame n is filled with n, and its width changes from frame to frame as a mode change would.
int32_t WidthOf(uint32_t number) { return 4 + static_cast<int32_t>(number % 5); }

// Records the number of each frame it is shown, or 0 for a frame not whole (a pixel or the size
// from another frame); with a pause per frame, frames are handed over faster than it shows them.
class RecordingDisplay : public FrameDisplay {
 public:
  explicit RecordingDisplay(std::chrono::microseconds pause = {}) : pause_(pause) {}
  void ShowFrame(const uint32_t* pixels, int32_t width, int32_t height) override {
    shownOn = std::this_thread::get_id();
    const uint32_t number = width > 0 ? pixels[0] : 0;
    const bool whole = width == WidthOf(number) && height == kHeight &&
                       std::all_of(pixels, pixels + width * height,
                                   [&](uint32_t pixel) { return pixel == number; });
    shown.push_back(whole ? number : 0);
    std::this_thread::sleep_for(pause_);
  }
  std::vector<uint32_t> shown;
  std::thread::id shownOn;

 private:
  std::chrono::microseconds pause_;
};

// Hands frame `number` over from a buffer it overwrites at once, as the program's next frame would.
void PresentNumbered(FramePresenter& presenter, uint32_t number) {
  std::vector<uint32_t> frame(static_cast<size_t>(WidthOf(number)) * kHeight, number);
  presenter.Present(frame.data(), WidthOf(number), kHeight);
  std::fill(frame.begin(), frame.end(), 0u);
}

TEST(FramePresenterTest, ShowsHandedFramesWholeAndInOrderSkippingOnlyStaleOnesAndEndsOnTheLast) {
  constexpr uint32_t kFrames = 400;
  RecordingDisplay display(std::chrono::microseconds(200));
  {
    FramePresenter presenter(display);
    for (uint32_t number = 1; number <= kFrames; ++number) PresentNumbered(presenter, number);
  }
  ASSERT_FALSE(display.shown.empty());
  EXPECT_EQ(std::count(display.shown.begin(), display.shown.end(), 0u), 0) << "a frame not whole";
  EXPECT_TRUE(std::is_sorted(display.shown.begin(), display.shown.end(), std::less_equal<>()))
      << "a frame shown twice or out of order";
  EXPECT_EQ(display.shown.back(), kFrames) << "the last frame is shown before the end";
  EXPECT_NE(display.shownOn, std::this_thread::get_id());
}

TEST(FramePresenterTest, TasksRunOnThePresentingThreadAfterEveryFrameHandedBefore) {
  RecordingDisplay display;
  FramePresenter presenter(display);
  for (uint32_t number = 1; number <= 50; ++number) {
    PresentNumbered(presenter, number);
    presenter.Run([&] {
      EXPECT_EQ(display.shown.back(), number);
      EXPECT_EQ(std::this_thread::get_id(), display.shownOn);
    });
  }
  presenter.Refresh();
  presenter.Run([&] {
    EXPECT_EQ(display.shown.size(), 51u);
    EXPECT_EQ(display.shown.back(), 50u) << "a refresh shows the newest frame again";
  });
  EXPECT_NE(display.shownOn, std::this_thread::get_id());
  EXPECT_THROW(presenter.Run([] { throw std::runtime_error("refused"); }), std::runtime_error);
}

}  // namespace
