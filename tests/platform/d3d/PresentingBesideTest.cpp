// A program that draws its frames with a device into a back surface and blits each to the screen
// goes on with the next frame while the last is drawn on other threads. What reaches the screen
// must not tell: every frame, in order, as it was drawn.
#include <chrono>
#include <vector>

#include "platform/d3d/D3DTestSupport.h"
#include "platform/user/Screen.h"

namespace {

constexpr DWORD kBackWidth = 64;
constexpr DWORD kBackHeight = 48;

// Keeps every frame shown.
class FrameLog : public ScreenSink {
 public:
  void Show(const uint32_t* pixels, int32_t width, int32_t height) override {
    frames.emplace_back(pixels, pixels + width * height);
    frameWidth = width;
  }
  void Size(int32_t* width, int32_t* height) override {
    *width = 640;
    *height = 480;
  }

  uint32_t PixelAt(size_t frame, int x, int y) const {
    return frames[frame][static_cast<size_t>(y) * frameWidth + x];
  }

  std::vector<std::vector<uint32_t>> frames;
  int32_t frameWidth = 0;
};

class PresentingBesideTest : public D3DFixture {
 protected:
  void SetUp() override {
    D3DFixture::SetUp();
    GoFullScreen(640, 480, 32);
    InstallScreenSink(&log);
    primary = MakePrimary();
    back = MakeTarget(kBackWidth, kBackHeight);
    device = MakeDevice(back.Get());
    ASSERT_TRUE(device);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE), D3D_OK);
  }

  void TearDown() override {
    device.Reset();
    back.Reset();
    primary.Reset();
    InstallScreenSink(nullptr);
    D3DFixture::TearDown();
  }

  // Frame k: the back surface filled whole with a background of its own, a quad of its own colour
  // at a place of its own, and the back surface blitted to the screen's top left corner.
  void PlayFrame(int k) {
    ASSERT_EQ(Fill(back.Get(), Background(k)), DD_OK);
    const float left = static_cast<float>(QuadLeft(k));
    auto quad = Quad(left, 10, left + 4, 14, 0, 0, 1, 1, QuadColour(k));
    ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
    RECT corner{0, 0, kBackWidth, kBackHeight};
    ASSERT_EQ(primary->Blt(&corner, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  }

  // Frame k as it was drawn, at the quad of frame k and at those of its neighbours.
  void ExpectShownAsDrawn(size_t shown, int k) {
    EXPECT_EQ(log.PixelAt(shown, QuadLeft(k) + 1, 11), QuadColour(k)) << "frame " << k;
    EXPECT_EQ(log.PixelAt(shown, QuadLeft(k + 1) + 1, 11), Background(k)) << "frame " << k;
    if (k > 1) {
      EXPECT_EQ(log.PixelAt(shown, QuadLeft(k - 1) + 1, 11), Background(k)) << "frame " << k;
    }
  }

  static uint32_t Background(int k) { return 0x000100 * static_cast<uint32_t>(k); }
  static uint32_t QuadColour(int k) { return 0x100000 * static_cast<uint32_t>(k) + 0x0F; }
  static int QuadLeft(int k) { return 6 * k; }

  FrameLog log;
  ComPtr<IDirectDrawSurface7> primary;
  ComPtr<IDirectDrawSurface7> back;
  ComPtr<IDirect3DDevice7> device;
};

TEST_F(PresentingBesideTest, EveryFrameReachesTheScreenInOrderAsItWasDrawn) {
  constexpr int kFrames = 6;
  for (int k = 1; k <= kFrames; ++k) {
    PlayFrame(k);
    // The frame is still being drawn: the one before is shown when this one is handed over.
    EXPECT_EQ(log.frames.size(), static_cast<size_t>(k - 1)) << "after frame " << k;
  }
  // Asking for the screen's frames waits for the last.
  EXPECT_EQ(ScreenFrameCount(), static_cast<uint32_t>(kFrames));
  ASSERT_EQ(log.frames.size(), static_cast<size_t>(kFrames));
  for (int k = 1; k <= kFrames; ++k) ExpectShownAsDrawn(k - 1, k);
}

TEST_F(PresentingBesideTest, AFrameBeingDrawnIsShownBeforeTheScreenChangesAndOnceDrawn) {
  // Changing the screen shows the frame first, as it was drawn, then the change.
  PlayFrame(1);
  RECT spot{QuadLeft(1) + 1, 11, QuadLeft(1) + 2, 12};
  ASSERT_EQ(Fill(primary.Get(), 0x00ABCDEF, &spot), DD_OK);
  ASSERT_EQ(log.frames.size(), 2u);
  ExpectShownAsDrawn(0, 1);
  EXPECT_EQ(log.PixelAt(1, QuadLeft(1) + 1, 11), 0xABCDEFu);

  // Reading the screen reads the frame.
  PlayFrame(2);
  EXPECT_EQ(ReadPixels(primary.Get())[11 * 640 + QuadLeft(2) + 1], QuadColour(2));

  // Once drawn, a frame is shown as soon as the program looks for messages, unasked.
  PlayFrame(3);
  const size_t shownBefore = log.frames.size();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  MSG message{};
  while (log.frames.size() == shownBefore && std::chrono::steady_clock::now() < deadline)
    PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
  ASSERT_EQ(log.frames.size(), shownBefore + 1);
  ExpectShownAsDrawn(shownBefore, 3);
}

}  // namespace
