#include "DDrawTestSupport.h"

using FlipAndPresentTest = DDrawFixture;

namespace {

DDSURFACEDESC2 FlippingPrimaryDesc(DWORD backBuffers) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = backBuffers;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  return desc;
}

uint32_t FramePixel(int32_t x, int32_t y) {
  std::vector<uint32_t> frame;
  int32_t width = 0, height = 0;
  if (!ScreenLastFrame(frame, width, height) || x >= width || y >= height) return 0xDEADBEEF;
  return frame[static_cast<size_t>(y) * width + x];
}

}  // namespace

TEST_F(FlipAndPresentTest, BlitsOntoThePrimaryPresentTheScreen) {
  GoFullScreen(640, 480, 32);
  auto primary = MakePrimary();
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 640u);
  EXPECT_EQ(desc.dwHeight, 480u);
  EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_VISIBLE);

  auto back = MakeSurface(640, 480);
  RECT spot{5, 6, 7, 8};
  ASSERT_EQ(Fill(back.Get(), 0x00102030, &spot), DD_OK);
  EXPECT_EQ(ScreenFrameCount(), 0u);  // off-screen work shows nothing
  ASSERT_EQ(primary->Blt(nullptr, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(ScreenFrameCount(), 1u);
  int32_t width = 0, height = 0;
  std::vector<uint32_t> frame;
  ASSERT_TRUE(ScreenLastFrame(frame, width, height));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(FramePixel(5, 6), 0x102030u);
  EXPECT_EQ(FramePixel(7, 8), 0u);

  // Writing through a lock shows when it is unlocked.
  DDSURFACEDESC2 locked{};
  locked.dwSize = 124;
  ASSERT_EQ(primary->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
  static_cast<uint32_t*>(locked.lpSurface)[1] = 0xFF445566;
  ASSERT_EQ(primary->Unlock(nullptr), DD_OK);
  EXPECT_EQ(ScreenFrameCount(), 2u);
  EXPECT_EQ(FramePixel(1, 0), 0x445566u);
}

TEST_F(FlipAndPresentTest, SixteenAndEightBitScreensPresentInTrueColour) {
  GoFullScreen(640, 480, 16);
  {
    auto primary = MakePrimary();
    RECT red{0, 0, 1, 1}, green{1, 0, 2, 1}, blue{2, 0, 3, 1}, grey{3, 0, 4, 1};
    Fill(primary.Get(), 0xF800, &red);
    Fill(primary.Get(), 0x07E0, &green);
    Fill(primary.Get(), 0x001F, &blue);
    Fill(primary.Get(), (16 << 11) | (32 << 5) | 16, &grey);
    EXPECT_EQ(FramePixel(0, 0), 0xFF0000u);
    EXPECT_EQ(FramePixel(1, 0), 0x00FF00u);
    EXPECT_EQ(FramePixel(2, 0), 0x0000FFu);
    EXPECT_EQ(FramePixel(3, 0), 0x848284u);  // top bits repeated into the low ones
  }
  TestDDrawSetDisplayModes({{640, 480, 8}});
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 8, 0, 0), DD_OK);
  auto primary = MakePrimary();
  PALETTEENTRY entries[256]{};
  entries[9] = PALETTEENTRY{200, 100, 50, 0};
  IDirectDrawPalette* palette = nullptr;
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
  ASSERT_EQ(primary->SetPalette(palette), DD_OK);
  palette->Release();
  ASSERT_EQ(Fill(primary.Get(), 9), DD_OK);
  EXPECT_EQ(FramePixel(10, 10), 0xC86432u);
}

TEST_F(FlipAndPresentTest, FlippingChainsHandTheBuffersRound) {
  DDSURFACEDESC2 desc = FlippingPrimaryDesc(1);
  IDirectDrawSurface7* front = nullptr;
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  EXPECT_EQ(dd->CreateSurface(&desc, &front, nullptr), DDERR_NOEXCLUSIVEMODE);
  GoFullScreen(640, 480, 32);
  ASSERT_EQ(dd->CreateSurface(&desc, &front, nullptr), DD_OK);
  auto primary = ComPtr<IDirectDrawSurface7>::Attach(front);

  DDSCAPS2 backCaps{DDSCAPS_BACKBUFFER, 0, 0, 0};
  IDirectDrawSurface7* backBuffer = nullptr;
  ASSERT_EQ(primary->GetAttachedSurface(&backCaps, &backBuffer), DD_OK);
  auto back = ComPtr<IDirectDrawSurface7>::Attach(backBuffer);
  DDSURFACEDESC2 frontDesc{};
  frontDesc.dwSize = 124;
  ASSERT_EQ(primary->GetSurfaceDesc(&frontDesc), DD_OK);
  EXPECT_EQ(frontDesc.dwBackBufferCount, 1u);
  EXPECT_TRUE(frontDesc.ddsCaps.dwCaps & DDSCAPS_FRONTBUFFER);

  ASSERT_EQ(Fill(primary.Get(), 0x111111), DD_OK);
  ASSERT_EQ(Fill(back.Get(), 0x222222), DD_OK);
  const uint32_t framesBefore = ScreenFrameCount();
  EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(ScreenFrameCount(), framesBefore + 1);
  EXPECT_EQ(FramePixel(0, 0), 0x222222u);
  EXPECT_EQ(ReadPixels(back.Get())[0], 0x111111u);  // the old front is the new back buffer

  // A locked buffer holds the flip up; lost buffers refuse it.
  DDSURFACEDESC2 locked{};
  locked.dwSize = 124;
  ASSERT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
  back->Unlock(nullptr);
  TestDDrawLoseAllSurfaces();
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  ASSERT_EQ(primary->Restore(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK);  // restoring the front restores its chain

  // FlipToGDISurface goes back to the buffer that was first shown, once.
  ASSERT_EQ(Fill(back.Get(), 0x333333), DD_OK);  // the back buffer holds the first buffer now
  ASSERT_EQ(dd->FlipToGDISurface(), DD_OK);
  EXPECT_EQ(FramePixel(0, 0), 0x333333u);
  const uint32_t framesShown = ScreenFrameCount();
  ASSERT_EQ(dd->FlipToGDISurface(), DD_OK);
  EXPECT_EQ(ScreenFrameCount(), framesShown);
  primary.Reset();
  EXPECT_EQ(TestDDrawLiveSurfaces(), 1u);  // the back buffer lives while it is held
}

TEST_F(FlipAndPresentTest, APrimaryMadeForAnotherModeCannotBeRestored) {
  GoFullScreen(640, 480, 32);
  auto primary = MakePrimary();
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 32, 0, 0), DD_OK);
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
  EXPECT_EQ(primary->Restore(), DD_OK);
}
