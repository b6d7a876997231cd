#include <gtest/gtest.h>

#include "platform/TestControl.h"
#include "platform/user/Screen.h"
#include "platform/user/Window.h"

namespace {

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { TestResetPlatform(); }
  void TearDown() override {
    InstallScreenSink(nullptr);
    TestResetPlatform();
  }
};

TEST_F(ScreenTest, PresentedFrameIsKeptPackedWhateverItsPitch) {
  std::vector<uint32_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  EXPECT_FALSE(ScreenLastFrame(pixels, width, height));
  // Two rows of three pixels with a pitch of five pixels; the padding must not be copied.
  const uint32_t source[10] = {1, 2, 3, 0xDEAD, 0xDEAD, 4, 5, 6, 0xDEAD, 0xDEAD};
  ScreenPresent(source, 3, 2, 5 * 4);
  ASSERT_TRUE(ScreenLastFrame(pixels, width, height));
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(pixels, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(ScreenFrameCount(), 1u);
}

TEST_F(ScreenTest, UnreadableFramesAreRefused) {
  const uint32_t source[4] = {};
  ScreenPresent(nullptr, 1, 1, 4);
  ScreenPresent(source, 0, 1, 4);
  ScreenPresent(source, 2, 2, 4);  // pitch shorter than a row
  ScreenPresent(source, 0x7FFFFFFF, 1, 16);
  EXPECT_EQ(ScreenFrameCount(), 0u);
}

class RecordingSink : public ScreenSink {
 public:
  void Show(const uint32_t* pixels, int32_t width, int32_t height) override {
    shown.assign(pixels, pixels + width * height);
  }
  void Size(int32_t* width, int32_t* height) override {
    *width = 800;
    *height = 600;
  }
  std::vector<uint32_t> shown;
};

TEST_F(ScreenTest, InstalledSinkShowsFramesAndGivesTheScreenSize) {
  int32_t width = 0;
  int32_t height = 0;
  ScreenSize(&width, &height);
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1200);
  RecordingSink sink;
  InstallScreenSink(&sink);
  const uint32_t source[2] = {0x00FF0000, 0x0000FF00};
  ScreenPresent(source, 2, 1, 8);
  EXPECT_EQ(sink.shown, (std::vector<uint32_t>{0x00FF0000, 0x0000FF00}));
  ScreenSize(&width, &height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  ScreenSetMode(1024, 768);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  ScreenSetMode(0, 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
}

}  // namespace
