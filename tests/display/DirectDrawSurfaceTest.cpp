#include "display/DirectDrawSurface.h"

#include <memory>

#include "DisplayTestSupport.h"
#include "images/DIB.h"

namespace {

// A DirectDraw object and helpers to make surfaces of a chosen pixel format.
class SurfaceTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    ddraw = std::make_unique<TDirectDraw>(nullptr);
  }
  void TearDown() override {
    ddraw.reset();
    DisplayTest::TearDown();
  }

  // An off-screen surface in system memory; bits 0 takes the display's format (32 bits here).
  TDirectDrawSurface* MakeSurface(Integer width, Integer height, DWORD bits = 0) {
    auto* surface = new TDirectDrawSurface(ddraw.get());
    DDSURFACEDESC desc{};
    desc.dwSize = kDDSurfaceDescSize;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    if (bits) {
      desc.dwFlags |= DDSD_PIXELFORMAT;
      desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
      desc.ddpfPixelFormat.dwFlags = bits == 1   ? DDPF_RGB | DDPF_PALETTEINDEXED1
                                     : bits == 4 ? DDPF_RGB | DDPF_PALETTEINDEXED4
                                     : bits == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8
                                                 : DDPF_RGB;
      desc.ddpfPixelFormat.dwRGBBitCount = bits;
    }
    EXPECT_TRUE(surface->CreateSurface(desc));
    return surface;
  }

  // Each pixel gets a value of its own: x + 256 * y + 1.
  static void FillNumbered(TDirectDrawSurface* surface) {
    for (Integer y = 0; y < surface->Height(); ++y)
      for (Integer x = 0; x < surface->Width(); ++x) surface->SetPixels(x, y, Numbered(x, y));
  }
  static DWORD Numbered(Integer x, Integer y) { return static_cast<DWORD>(x + 256 * y + 1); }
  // A bitmap's 24-bit pixel value is a colour (red low) and the surface's is red high.
  static DWORD SurfaceValueOf(DWORD color) {
    return (color & 0x00FF00u) | (color & 0xFFu) << 16 | (color >> 16 & 0xFFu);
  }

  std::unique_ptr<TDirectDraw> ddraw;
};

}  // namespace

TEST_F(SurfaceTest, EmptyWrapperRaisesOnlyFromItsGettersAndCanvas) {
  TDirectDrawSurface surface(ddraw.get());
  EXPECT_EQ(surface.Width(), 0);
  EXPECT_EQ(surface.ISurface(), nullptr);
  EXPECT_EQ(MessageOf<EDirectDrawSurfaceError>([&] { surface.IDDSurface(); }),
            "IDirectDrawSurface not made");
  EXPECT_EQ(MessageOf<EDirectDrawSurfaceError>([&] { surface.IDDSurface7(); }),
            "IDirectDrawSurface7 not made");
  EXPECT_EQ(MessageOf<EDirectDrawSurfaceError>([&] { surface.Canvas()->TextOut(0, 0, "x"); }),
            "IDirectDrawSurface not made");
  DDSURFACEDESC desc{};
  EXPECT_FALSE(surface.Fill(0));
  EXPECT_FALSE(surface.Lock(nullptr, desc));
  EXPECT_FALSE(surface.Restore());
  EXPECT_EQ(surface.Pixels(0, 0), 0u);
  EXPECT_EQ(surface.ColorMatch(clRed), 0u);
  surface.Draw(0, 0, Rect(0, 0, 1, 1), &surface, false);
}

TEST_F(SurfaceTest, SetSizeMakesEmptiesAndFallsBackToSystemMemory) {
  TDirectDrawSurface surface(ddraw.get());
  surface.SetSize(40, 30);
  EXPECT_EQ(surface.Width(), 40);
  EXPECT_EQ(surface.Height(), 30);
  EXPECT_EQ(surface.BitCount(), 32);
  EXPECT_NE(surface.ISurface4(), nullptr);
  EXPECT_NE(surface.ISurface7(), nullptr);  // the owner has IDraw7
  EXPECT_TRUE(surface.SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
  EXPECT_FALSE(surface.SystemMemory());

  surface.SetSize(0, 10);
  EXPECT_EQ(surface.ISurface(), nullptr);
  EXPECT_EQ(surface.Width(), 0);
  EXPECT_EQ(surface.Height(), 0);

  // The first attempt is refused; the second lands in system memory, and from then on system
  // memory is asked for at once.
  TestDDrawRefuseNext(DDrawCall::CreateSurface, DDERR_OUTOFVIDEOMEMORY);
  surface.SetSize(20, 20);
  EXPECT_TRUE(surface.SystemMemory());
  EXPECT_TRUE(surface.SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  surface.SetSize(10, 10);
  EXPECT_TRUE(surface.SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);

  TestDDrawRefuseNext(DDrawCall::CreateSurface);
  EXPECT_EQ(MessageOf<EDirectDrawSurfaceError>([&] { surface.SetSize(8, 8); }),
            "Surface cannot be made");
  EXPECT_EQ(surface.ISurface(), nullptr);

  TDirectDrawSurface fresh(ddraw.get());
  TestDDrawRefuseNext(DDrawCall::CreateSurface, DDERR_OUTOFMEMORY, 2);
  EXPECT_THROW(fresh.SetSize(8, 8), EDirectDrawSurfaceError);
  EXPECT_EQ(fresh.DXResult(), DDERR_OUTOFMEMORY);
}

TEST_F(SurfaceTest, PixelsRoundTripAtEveryBitCountAndIgnoreOutsiders) {
  for (DWORD bits : {1u, 4u, 8u, 16u, 24u, 32u}) {
    std::unique_ptr<TDirectDrawSurface> surface(MakeSurface(5, 3, bits));
    ASSERT_EQ(surface->BitCount(), static_cast<Integer>(bits));
    const DWORD mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    const DWORD value = 0xA5C3E186u;
    surface->SetPixels(4, 2, value);
    surface->SetPixels(3, 2, 1);
    // A single bit is set by any value that is not 0.
    EXPECT_EQ(surface->Pixels(4, 2), bits == 1 ? 1u : value & mask) << bits << " bits";
    EXPECT_EQ(surface->Pixels(3, 2), 1u) << "neighbour of the written pixel, " << bits << " bits";
    surface->SetPixels(5, 0, value);
    surface->SetPixels(-1, 0, value);
    EXPECT_EQ(surface->Pixels(5, 0), 0u);
    EXPECT_EQ(surface->Pixels(0, -1), 0u);
    EXPECT_EQ(surface->LockCount(), 0);
  }

  // Pixels of 1 and 4 bits share bytes, the leftmost in the top bits.
  std::unique_ptr<TDirectDrawSurface> mono(MakeSurface(12, 2, 1));
  mono->SetPixels(0, 1, 1);
  mono->SetPixels(9, 1, 7);
  std::unique_ptr<TDirectDrawSurface> sixteenColours(MakeSurface(5, 1, 4));
  sixteenColours->SetPixels(2, 0, 0xB);
  sixteenColours->SetPixels(3, 0, 0x15);
  DDSURFACEDESC desc;
  ASSERT_TRUE(mono->Lock(nullptr, desc));
  const BYTE* row = static_cast<const BYTE*>(desc.lpSurface) + desc.lPitch;
  EXPECT_EQ(row[0], 0x80);
  EXPECT_EQ(row[1], 0x40);
  mono->Unlock();
  ASSERT_TRUE(sixteenColours->Lock(nullptr, desc));
  EXPECT_EQ(static_cast<const BYTE*>(desc.lpSurface)[1], 0xB5);
  sixteenColours->Unlock();
}

TEST_F(SurfaceTest, LocksDoNotNest) {
  std::unique_ptr<TDirectDrawSurface> surface(MakeSurface(4, 4));
  DDSURFACEDESC desc{};
  surface->Unlock();  // nothing to undo
  EXPECT_EQ(surface->LockCount(), 0);
  ASSERT_TRUE(surface->Lock(nullptr, desc));
  EXPECT_NE(desc.lpSurface, nullptr);
  EXPECT_FALSE(surface->Lock(nullptr, desc));
  EXPECT_EQ(surface->LockCount(), 1);
  EXPECT_EQ(surface->Pixels(0, 0), 0u);  // cannot lock a second time
  surface->Unlock();
  EXPECT_EQ(surface->LockCount(), 0);
  const TRect part = Rect(1, 1, 3, 3);
  ASSERT_TRUE(surface->Lock(&part, desc));
  surface->Unlock();
  TestDDrawRefuseNext(DDrawCall::Lock, DDERR_SURFACEBUSY);
  EXPECT_FALSE(surface->Lock(nullptr, desc));
  EXPECT_EQ(surface->DXResult(), DDERR_SURFACEBUSY);
  EXPECT_EQ(surface->LockCount(), 0);
}

TEST_F(SurfaceTest, DrawCopiesAndClipsAgainstBothSurfaces) {
  std::unique_ptr<TDirectDrawSurface> source(MakeSurface(32, 4));
  std::unique_ptr<TDirectDrawSurface> dest(MakeSurface(40, 8));
  FillNumbered(source.get());

  dest->Draw(3, 2, Rect(1, 1, 4, 3), source.get(), false);
  EXPECT_EQ(dest->Pixels(3, 2), Numbered(1, 1));
  EXPECT_EQ(dest->Pixels(5, 3), Numbered(3, 2));
  EXPECT_EQ(dest->Pixels(6, 2), 0u);
  EXPECT_EQ(dest->Pixels(2, 2), 0u);

  // Off the left edge: only the right 22 columns arrive, at column 0.
  dest->Fill(0);
  dest->Draw(-10, 0, Rect(0, 0, 32, 4), source.get(), false);
  EXPECT_EQ(dest->Pixels(0, 0), Numbered(10, 0));
  EXPECT_EQ(dest->Pixels(21, 3), Numbered(31, 3));
  EXPECT_EQ(dest->Pixels(22, 0), 0u);

  // At the right edge the rectangle clips to nothing; beyond it Draw returns at once.
  dest->Fill(0);
  dest->Draw(40, 0, Rect(0, 0, 4, 4), source.get(), false);
  dest->Draw(41, 0, Rect(0, 0, 4, 4), source.get(), false);
  dest->Draw(0, 0, Rect(0, 0, 4, 4), nullptr, false);
  for (Integer x = 0; x < 40; ++x) ASSERT_EQ(dest->Pixels(x, 0), 0u);
}

TEST_F(SurfaceTest, DrawMirrorsWhenTheSourceRectangleIsReversed) {
  std::unique_ptr<TDirectDrawSurface> source(MakeSurface(32, 4));
  std::unique_ptr<TDirectDrawSurface> dest(MakeSurface(40, 8));
  FillNumbered(source.get());

  dest->Draw(2, 1, Rect(32, 0, 0, 4), source.get(), false);
  EXPECT_EQ(dest->Pixels(2, 1), Numbered(31, 0));
  EXPECT_EQ(dest->Pixels(33, 4), Numbered(0, 3));

  dest->Fill(0);
  dest->Draw(0, 0, Rect(0, 4, 32, 0), source.get(), false);
  EXPECT_EQ(dest->Pixels(5, 0), Numbered(5, 3));
  EXPECT_EQ(dest->Pixels(5, 3), Numbered(5, 0));

  // Mirrored and cut at the left: what shows is the mirrored picture from its eleventh column.
  dest->Fill(0);
  dest->Draw(-10, 0, Rect(32, 0, 0, 4), source.get(), false);
  EXPECT_EQ(dest->Pixels(0, 0), Numbered(21, 0));
  EXPECT_EQ(dest->Pixels(21, 0), Numbered(0, 0));
  EXPECT_EQ(dest->Pixels(22, 0), 0u);

  // Entirely off the left: nothing.
  dest->Fill(0);
  dest->Draw(-32, 0, Rect(32, 0, 0, 4), source.get(), false);
  EXPECT_EQ(dest->Pixels(0, 0), 0u);
}

TEST_F(SurfaceTest, TransparentDrawSkipsTheColourKey) {
  std::unique_ptr<TDirectDrawSurface> source(MakeSurface(4, 1));
  std::unique_ptr<TDirectDrawSurface> dest(MakeSurface(4, 1));
  for (Integer x = 0; x < 4; ++x) source->SetPixels(x, 0, x % 2 ? 0x00FF00u : 0x123456u);
  source->SetTransparentColor(0x123456);
  dest->Fill(0x0000FF);
  dest->Draw(0, 0, Rect(0, 0, 4, 1), source.get(), true);
  EXPECT_EQ(dest->Pixels(0, 0), 0x0000FFu);
  EXPECT_EQ(dest->Pixels(1, 0), 0x00FF00u);
  dest->Draw(0, 0, Rect(0, 0, 4, 1), source.get(), false);
  EXPECT_EQ(dest->Pixels(0, 0), 0x123456u);
}

TEST_F(SurfaceTest, BltFastThatCannotClipIsRepeatedAsBltAndRemembered) {
  std::unique_ptr<TDirectDrawSurface> source(MakeSurface(4, 4));
  std::unique_ptr<TDirectDrawSurface> dest(MakeSurface(8, 8));
  FillNumbered(source.get());
  TDirectDrawClipper clipper(ddraw.get());
  // Attached behind the wrapper's back, so it still believes it has none.
  ASSERT_EQ(dest->ISurface()->SetClipper(clipper.IClipper()), DD_OK);
  EXPECT_FALSE(dest->HasClipper());
  dest->Draw(1, 1, Rect(0, 0, 4, 4), source.get(), false);
  EXPECT_TRUE(dest->HasClipper());
  EXPECT_EQ(dest->Pixels(1, 1), Numbered(0, 0));
  EXPECT_EQ(dest->DXResult(), DD_OK);

  dest->SetClipper(nullptr);
  EXPECT_FALSE(dest->HasClipper());
  dest->SetClipper(&clipper);
  EXPECT_TRUE(dest->HasClipper());
}

TEST_F(SurfaceTest, ColorMatchGivesTheSurfacesOwnValueAndKeepsPixelZero) {
  std::unique_ptr<TDirectDrawSurface> wide(MakeSurface(2, 2, 32));
  wide->SetPixels(0, 0, 0x00ABCDEFu);
  EXPECT_EQ(wide->ColorMatch(clRed), 0xFF0000u);
  EXPECT_EQ(wide->ColorMatch(clLime), 0x00FF00u);
  EXPECT_EQ(wide->Pixels(0, 0), 0x00ABCDEFu);

  std::unique_ptr<TDirectDrawSurface> high(MakeSurface(2, 2, 16));
  EXPECT_EQ(high->ColorMatch(clRed), 0xF800u);
  EXPECT_EQ(high->ColorMatch(clBlue), 0x001Fu);
}

TEST_F(SurfaceTest, CanvasDrawsThroughGdiAndGivesTheContextBack) {
  std::unique_ptr<TDirectDrawSurface> surface(MakeSurface(64, 24));
  surface->Fill(0);
  TDirectDrawSurfaceCanvas* canvas = surface->Canvas();
  EXPECT_EQ(surface->Canvas(), canvas);  // kept
  canvas->Font()->SetColor(clWhite);
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(2, 2, "Hi");
  EXPECT_NE(canvas->DC(), nullptr);
  DDSURFACEDESC desc{};
  EXPECT_FALSE(surface->Lock(nullptr, desc));  // the device context holds the surface
  canvas->Release();
  EXPECT_EQ(canvas->DC(), nullptr);
  Integer lit = 0;
  for (Integer y = 0; y < 24; ++y)
    for (Integer x = 0; x < 64; ++x) lit += surface->Pixels(x, y) != 0;
  EXPECT_GT(lit, 10);

  // A refused device context leaves the canvas without one: the canvas reports its own error.
  TestDDrawRefuseNext(DDrawCall::GetDC, DDERR_SURFACEBUSY);
  EXPECT_THROW(canvas->TextOut(0, 0, "x"), Exception);
  EXPECT_EQ(surface->DXResult(), DDERR_SURFACEBUSY);
  EXPECT_EQ(canvas->DC(), nullptr);
}

TEST_F(SurfaceTest, CopiesToAndFromBitmapsAndOtherSurfaces) {
  TDIB dib;
  dib.SetSize(6, 4, 24);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 6; ++x) dib.SetPixels(x, y, static_cast<DWORD>(0x010203 * (x + 6 * y + 1)));

  TDirectDrawSurface surface(ddraw.get());
  surface.Assign(&dib);
  ASSERT_EQ(surface.Width(), 6);
  ASSERT_EQ(surface.Height(), 4);
  EXPECT_EQ(surface.Pixels(5, 3), SurfaceValueOf(0x010203u * 24));
  EXPECT_EQ(surface.Pixels(0, 0), SurfaceValueOf(0x010203u));

  // The copy is a new 8-8-8 image, whatever layout the bitmap held before.
  TDIB back;
  MakeDIBPixelLayout(5, 6, 5, back.PixelLayout());
  back.SetSize(2, 2, 16);
  back.Assign(&surface);
  ASSERT_EQ(back.Width(), 6);
  EXPECT_EQ(back.BitCount(), 24);
  EXPECT_EQ(back.Pixels(2, 1), dib.Pixels(2, 1));

  // A part of the bitmap, stretched to twice its size.
  TDirectDrawSurface part(ddraw.get());
  part.LoadFromGraphicRect(&dib, 4, 2, Rect(1, 1, 3, 2));
  ASSERT_EQ(part.Width(), 4);
  EXPECT_EQ(part.Pixels(0, 0), SurfaceValueOf(dib.Pixels(1, 1)));
  EXPECT_EQ(part.Pixels(3, 1), SurfaceValueOf(dib.Pixels(2, 1)));

  // Another surface is duplicated: the copy shows the same pixels.
  TDirectDrawSurface duplicate(ddraw.get());
  duplicate.Assign(&surface);
  ASSERT_NE(duplicate.ISurface(), nullptr);
  surface.SetPixels(1, 1, 0x00777777u);
  EXPECT_EQ(duplicate.Pixels(1, 1), 0x00777777u);

  TDirectDrawSurface empty(ddraw.get());
  duplicate.Assign(&empty);
  EXPECT_EQ(duplicate.ISurface(), nullptr);
  surface.Assign(nullptr);
  EXPECT_EQ(surface.ISurface(), nullptr);
}

TEST_F(SurfaceTest, WrappingTheSameSurfaceAgainKeepsTheWrapper) {
  std::unique_ptr<TDirectDrawSurface> surface(MakeSurface(4, 4));
  DDSURFACEDESC desc{};
  ASSERT_TRUE(surface->Lock(nullptr, desc));
  surface->SetIDDSurfaceAny(surface->ISurface7());
  EXPECT_EQ(surface->LockCount(), 1);  // unchanged: it is the surface already held
  surface->Unlock();

  TDirectDrawSurface other(ddraw.get());
  other.SetIDDSurfaceAny(surface->ISurface7());
  EXPECT_EQ(other.ISurface(), surface->ISurface());
  EXPECT_EQ(other.Width(), 4);
  other.SetIDDSurfaceAny(nullptr);
  EXPECT_EQ(other.Width(), 0);
}

TEST_F(SurfaceTest, LostSurfaceIsRestored) {
  std::unique_ptr<TDirectDrawSurface> surface(MakeSurface(4, 4));
  TestDDrawLoseAllSurfaces();
  EXPECT_FALSE(surface->Fill(0));
  EXPECT_EQ(surface->DXResult(), DDERR_SURFACELOST);
  EXPECT_TRUE(surface->Restore());
  EXPECT_TRUE(surface->Fill(0));
}

TEST_F(SurfaceTest, DrawRotateRoundsTheAngleAndLeavesBothUnlocked) {
  std::unique_ptr<TDirectDrawSurface> source(MakeSurface(32, 32));
  FillNumbered(source.get());
  auto drawn = [&](Single angle) {
    std::unique_ptr<TDirectDrawSurface> dest(MakeSurface(64, 64));
    dest->Fill(0);
    dest->DrawRotate(32, 32, 32, 32, Rect(0, 0, 32, 32), source.get(), 0.5, 0.5, false, angle);
    std::vector<DWORD> pixels;
    for (Integer y = 0; y < 64; ++y)
      for (Integer x = 0; x < 64; ++x) pixels.push_back(dest->Pixels(x, y));
    EXPECT_EQ(dest->LockCount(), 0);
    return pixels;
  };
  const std::vector<DWORD> straight = drawn(0);
  EXPECT_EQ(straight[16 * 64 + 16], Numbered(0, 0));  // the centre lands at (32, 32)
  EXPECT_EQ(straight[47 * 64 + 47], Numbered(31, 31));
  EXPECT_EQ(straight[15 * 64 + 15], 0u);
  const std::vector<DWORD> quarter = drawn(64);
  EXPECT_NE(quarter, straight);
  // Halves go to the even neighbour.
  EXPECT_EQ(drawn(64.5f), quarter);
  EXPECT_NE(drawn(64.5f), drawn(65));
  EXPECT_EQ(drawn(3.5f), drawn(4));
  EXPECT_NE(drawn(3.5f), drawn(3));

  // A source that cannot be locked draws nothing and leaves the destination unlocked.
  std::unique_ptr<TDirectDrawSurface> dest(MakeSurface(64, 64));
  dest->Fill(0);
  DDSURFACEDESC desc{};
  ASSERT_TRUE(source->Lock(nullptr, desc));
  dest->DrawRotate(32, 32, 32, 32, Rect(0, 0, 32, 32), source.get(), 0.5, 0.5, false, 0);
  source->Unlock();
  EXPECT_EQ(dest->Pixels(32, 32), 0u);
  EXPECT_TRUE(dest->Lock(nullptr, desc));
  dest->Unlock();
}

TEST(ClipBltRects, CutsBothRectanglesAlike) {
  TRect dest = Rect(-3, -2, 7, 8);
  TRect src = Rect(0, 0, 10, 10);
  EXPECT_TRUE(ClipBltRects(dest, src, Rect(0, 0, 5, 5), Rect(0, 0, 10, 10)));
  EXPECT_EQ(dest, Rect(0, 0, 5, 5));
  EXPECT_EQ(src, Rect(3, 2, 8, 7));

  // The source sticks out of its own surface: the destination shrinks with it.
  dest = Rect(10, 10, 20, 20);
  src = Rect(-4, 5, 6, 15);
  EXPECT_TRUE(ClipBltRects(dest, src, Rect(0, 0, 100, 100), Rect(0, 0, 8, 12)));
  EXPECT_EQ(src, Rect(0, 5, 6, 12));
  EXPECT_EQ(dest, Rect(14, 10, 20, 17));

  dest = Rect(50, 0, 60, 10);
  src = Rect(0, 0, 10, 10);
  EXPECT_FALSE(ClipBltRects(dest, src, Rect(0, 0, 50, 50), Rect(0, 0, 10, 10)));
}
