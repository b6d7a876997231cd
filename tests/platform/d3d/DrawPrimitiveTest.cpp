#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "platform/d3d/D3DTestSupport.h"
#include "platform/gdi/Gdi.h"

namespace {

constexpr uint32_t kBackground = 0x203040;

}  // namespace

class DrawPrimitiveTest : public D3DFixture {
 protected:
  void SetUp() override {
    D3DFixture::SetUp();
    target = MakeTarget(16, 16);
    device = MakeDevice(target.Get());
    ASSERT_TRUE(device);
    ASSERT_EQ(Fill(target.Get(), kBackground), DD_OK);
  }

  void TearDown() override {
    device.Reset();
    target.Reset();
    D3DFixture::TearDown();
  }

  uint32_t PixelAt(int x, int y) { return ReadPixels(target.Get())[y * 16 + x]; }

  // A 4 x 4 texture whose texel (x, y) holds 0x10 * (y * 4 + x) + 1 in each channel.
  ComPtr<IDirectDrawSurface7> NumberedTexture() {
    std::vector<uint32_t> texels;
    for (uint32_t i = 0; i < 16; ++i) texels.push_back((0x10 * i + 1) * 0x010101);
    return MakeTexture(4, 4, texels);
  }

  ComPtr<IDirectDrawSurface7> target;
  ComPtr<IDirect3DDevice7> device;
};

TEST_F(DrawPrimitiveTest, TexturedQuadCopiesTexelsOneToOne) {
  ComPtr<IDirectDrawSurface7> texture = NumberedTexture();
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
  auto quad = Quad(3, 5, 7, 9);
  ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);

  const std::vector<uint32_t> pixels = ReadPixels(target.Get());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 3 && x < 7 && y >= 5 && y < 9;
      const uint32_t expected =
          inside ? (0x10 * ((y - 5) * 4 + (x - 3)) + 1) * 0x010101u : kBackground;
      EXPECT_EQ(pixels[y * 16 + x], expected) << x << "," << y;
    }
}

TEST_F(DrawPrimitiveTest, PointSamplingScalesAndPicksSubAreas) {
  ComPtr<IDirectDrawSurface7> texture = NumberedTexture();
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
  auto doubled = Quad(0, 0, 8, 8);
  ASSERT_EQ(DrawStrip(device.Get(), doubled), D3D_OK);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(PixelAt(x, y), (0x10 * ((y / 2) * 4 + x / 2) + 1) * 0x010101u) << x << "," << y;

  // The lower right 2 x 2 texels only, at their own size.
  auto corner = Quad(10, 10, 12, 12, 0.5f, 0.5f, 1.0f, 1.0f);
  ASSERT_EQ(DrawStrip(device.Get(), corner), D3D_OK);
  EXPECT_EQ(PixelAt(10, 10), (0x10 * 10 + 1) * 0x010101u);
  EXPECT_EQ(PixelAt(11, 11), (0x10 * 15 + 1) * 0x010101u);
  EXPECT_EQ(PixelAt(12, 12), kBackground);
}

TEST_F(DrawPrimitiveTest, ColourKeyDropsKeyedTexelsOnlyWhenEnabled) {
  const uint32_t key = 0xFF00FF;
  ComPtr<IDirectDrawSurface7> texture = MakeTexture(2, 2, {key, 0x00FF00, 0x0000FF, key});
  SetColorKey(texture.Get(), key);
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);

  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1), D3D_OK);
  auto keyed = Quad(0, 0, 2, 2);
  ASSERT_EQ(DrawStrip(device.Get(), keyed), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), kBackground);
  EXPECT_EQ(PixelAt(1, 0), 0x00FF00u);
  EXPECT_EQ(PixelAt(0, 1), 0x0000FFu);
  EXPECT_EQ(PixelAt(1, 1), kBackground);

  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0), D3D_OK);
  auto plain = Quad(4, 0, 6, 2);
  ASSERT_EQ(DrawStrip(device.Get(), plain), D3D_OK);
  EXPECT_EQ(PixelAt(4, 0), key);
  EXPECT_EQ(PixelAt(5, 1), key);
}

TEST_F(DrawPrimitiveTest, BilinearFilteringBlendsNeighboursAndHonoursTheKey) {
  ComPtr<IDirectDrawSurface7> texture = MakeTexture(2, 1, {0x000000, 0xFFFFFF});
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
  ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR), D3D_OK);
  auto quad = Quad(0, 0, 4, 1);
  ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
  // Pixel centres fall a quarter and three quarters between texel centres; coordinates wrap,
  // so the outer pixels mix in the texel of the other edge.
  EXPECT_EQ(PixelAt(0, 0), 0x404040u);
  EXPECT_EQ(PixelAt(1, 0), 0x404040u);
  EXPECT_EQ(PixelAt(2, 0), 0xBFBFBFu);
  EXPECT_EQ(PixelAt(3, 0), 0xBFBFBFu);

  // A coordinate so far out that no footprint can be placed there, or not a number at all,
  // takes the texel at the origin.
  ComPtr<IDirectDrawSurface7> whiteFirst = MakeTexture(2, 1, {0xFFFFFF, 0x000000});
  ASSERT_EQ(device->SetTexture(0, whiteFirst.Get()), D3D_OK);
  for (const float far : {1e12f, -1e12f, std::numeric_limits<float>::quiet_NaN()}) {
    auto lost = Quad(0, 1, 4, 2, far, 0, far, 1);
    ASSERT_EQ(DrawStrip(device.Get(), lost), D3D_OK);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(x, 1), 0xFFFFFFu) << far << " at " << x;
  }
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);

  // With white keyed, pixels mostly made of white stay untouched and the others show black
  // alone, never a mixture with the key colour.
  SetColorKey(texture.Get(), 0xFFFFFF);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1), D3D_OK);
  auto keyed = Quad(0, 2, 4, 3);
  ASSERT_EQ(DrawStrip(device.Get(), keyed), D3D_OK);
  EXPECT_EQ(PixelAt(0, 2), 0x000000u);
  EXPECT_EQ(PixelAt(1, 2), 0x000000u);
  EXPECT_EQ(PixelAt(2, 2), kBackground);
  EXPECT_EQ(PixelAt(3, 2), kBackground);
}

TEST_F(DrawPrimitiveTest, VertexColourModulatesOrReplacesTheTexture) {
  auto untextured = Quad(0, 0, 2, 2, 0, 0, 1, 1, 0x00C08040);
  ASSERT_EQ(DrawStrip(device.Get(), untextured), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), 0xC08040u);
  EXPECT_EQ(PixelAt(1, 1), 0xC08040u);

  ComPtr<IDirectDrawSurface7> texture = MakeTexture(1, 1, {0x808080});
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
  auto modulated = Quad(4, 0, 6, 2, 0, 0, 1, 1, 0x00FF8000);
  ASSERT_EQ(DrawStrip(device.Get(), modulated), D3D_OK);
  EXPECT_EQ(PixelAt(4, 0), 0x804000u);

  ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
  auto replaced = Quad(8, 0, 10, 2, 0, 0, 1, 1, 0x00FF8000);
  ASSERT_EQ(DrawStrip(device.Get(), replaced), D3D_OK);
  EXPECT_EQ(PixelAt(8, 0), 0x808080u);
}

TEST_F(DrawPrimitiveTest, AlphaBlendingFollowsTheBlendStates) {
  ASSERT_EQ(Fill(target.Get(), 0x000000), DD_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
  auto half = Quad(0, 0, 2, 2, 0, 0, 1, 1, 0x80FFFFFF);
  ASSERT_EQ(DrawStrip(device.Get(), half), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), 0x808080u);

  // Adding up: a second quad over the first doubles it.
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE), D3D_OK);
  auto add = Quad(0, 0, 1, 1, 0, 0, 1, 1, 0x00102030);
  ASSERT_EQ(DrawStrip(device.Get(), add), D3D_OK);
  ASSERT_EQ(DrawStrip(device.Get(), add), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), 0xA0C0E0u);
  // Saturates instead of wrapping.
  ASSERT_EQ(DrawStrip(device.Get(), add), D3D_OK);
  ASSERT_EQ(DrawStrip(device.Get(), add), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), 0xC0FFFFu);
}

TEST_F(DrawPrimitiveTest, EveryPixelOfARotatedQuadIsDrawnExactlyOnce) {
  ASSERT_EQ(Fill(target.Get(), 0x000000), DD_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE), D3D_OK);
  // A square turned by 30 degrees about (8, 8), corners off the pixel grid.
  const double angle = std::numbers::pi / 6;
  auto corner = [angle](double x, double y) {
    return D3DTLVERTEX{static_cast<float>(8 + x * std::cos(angle) - y * std::sin(angle)),
                       static_cast<float>(8 + x * std::sin(angle) + y * std::cos(angle)),
                       0, 1, 0x00010101, 0, 0, 0};
  };
  std::array<D3DTLVERTEX, 4> quad = {corner(-5, -5), corner(5, -5), corner(-5, 5),
                                     corner(5, 5)};
  ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
  int covered = 0;
  for (uint32_t pixel : ReadPixels(target.Get())) {
    EXPECT_TRUE(pixel == 0 || pixel == 0x010101) << std::hex << pixel;
    covered += pixel == 0x010101;
  }
  // About the square's area of 100 pixels.
  EXPECT_GE(covered, 92);
  EXPECT_LE(covered, 108);
}

TEST_F(DrawPrimitiveTest, JaggedStripCoversItsBandWithoutGapsOrOverlaps) {
  ASSERT_EQ(Fill(target.Get(), 0x000000), DD_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
  // Straight outer sides at x 1.5 and 14.5 and rows at y 2.3 and 13.7; the inner corners are
  // shifted at random, so the shared edges run at all sorts of slopes.
  uint32_t seed = 12345;
  auto jitter = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>((seed >> 16) % 1800) / 1000.0f - 0.9f;
  };
  std::vector<D3DTLVERTEX> strip;
  for (int column = 0; column <= 6; ++column) {
    const bool inner = column > 0 && column < 6;
    const float x = 1.5f + column * 13.0f / 6;
    strip.push_back({x + (inner ? jitter() : 0), 2.3f, 0, 1, 0x00010101, 0, 0, 0});
    strip.push_back({x + (inner ? jitter() : 0), 13.7f, 0, 1, 0x00010101, 0, 0, 0});
  }
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, strip.data(),
                                  static_cast<DWORD>(strip.size()), 0),
            D3D_OK);
  const std::vector<uint32_t> pixels = ReadPixels(target.Get());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 2 && x <= 14 && y >= 3 && y <= 13;
      EXPECT_EQ(pixels[y * 16 + x], inside ? 0x010101u : 0u) << x << "," << y;
    }
}

TEST_F(DrawPrimitiveTest, WholeCoordinatesFollowTheTopLeftRule) {
  // Corners exactly on pixel centres 2 and 6: the top and left rows are drawn, the bottom and
  // right ones are not.
  std::array<D3DTLVERTEX, 4> quad = {D3DTLVERTEX{2, 2, 0, 1, 0x00FFFFFF, 0, 0, 0},
                                     D3DTLVERTEX{6, 2, 0, 1, 0x00FFFFFF, 0, 0, 0},
                                     D3DTLVERTEX{2, 6, 0, 1, 0x00FFFFFF, 0, 0, 0},
                                     D3DTLVERTEX{6, 6, 0, 1, 0x00FFFFFF, 0, 0, 0}};
  ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
  const std::vector<uint32_t> pixels = ReadPixels(target.Get());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
      EXPECT_EQ(pixels[y * 16 + x], inside ? 0xFFFFFFu : kBackground) << x << "," << y;
    }
}

TEST_F(DrawPrimitiveTest, CounterClockwiseQuadsAreCulledByDefault) {
  auto quad = Quad(0, 0, 2, 2);
  std::array<D3DTLVERTEX, 4> mirrored = {quad[1], quad[0], quad[3], quad[2]};
  ASSERT_EQ(DrawStrip(device.Get(), mirrored), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), kBackground);
  EXPECT_EQ(PixelAt(1, 1), kBackground);

  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
  ASSERT_EQ(DrawStrip(device.Get(), mirrored), D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(1, 1), 0xFFFFFFu);

  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW), D3D_OK);
  auto clockwise = Quad(4, 4, 6, 6);
  ASSERT_EQ(DrawStrip(device.Get(), clockwise), D3D_OK);
  EXPECT_EQ(PixelAt(4, 4), kBackground);
}

TEST_F(DrawPrimitiveTest, DrawingStaysInsideTheViewportAndTheSurface) {
  D3DVIEWPORT7 viewport{2, 3, 4, 5, 0, 1};
  ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
  auto big = Quad(-100, -100, 100, 100);
  ASSERT_EQ(DrawStrip(device.Get(), big), D3D_OK);
  const std::vector<uint32_t> pixels = ReadPixels(target.Get());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 3 && y < 8;
      EXPECT_EQ(pixels[y * 16 + x], inside ? 0xFFFFFFu : kBackground) << x << "," << y;
    }

  D3DVIEWPORT7 tooLarge{8, 0, 9, 16, 0, 1};
  EXPECT_EQ(device->SetViewport(&tooLarge), D3DERR_INVALIDCALL);

  // Far away and non-finite corners draw nothing and touch no memory outside the surface.
  D3DVIEWPORT7 whole{0, 0, 16, 16, 0, 1};
  ASSERT_EQ(device->SetViewport(&whole), D3D_OK);
  ASSERT_EQ(Fill(target.Get(), kBackground), DD_OK);
  auto far = Quad(-1e9f, -1e9f, 1e9f, 1e9f);
  ASSERT_EQ(DrawStrip(device.Get(), far), D3D_OK);
  auto broken = Quad(0, 0, NAN, 4);
  ASSERT_EQ(DrawStrip(device.Get(), broken), D3D_OK);
  EXPECT_EQ(ReadPixels(target.Get()), std::vector<uint32_t>(256, kBackground));
}

TEST_F(DrawPrimitiveTest, SixteenBitTargetsAndPaletteTextures) {
  ComPtr<IDirectDrawSurface7> target16 = MakeTarget(4, 4, 16);
  ComPtr<IDirect3DDevice7> device16 = MakeDevice(target16.Get());
  ASSERT_TRUE(device16);

  ComPtr<IDirectDrawSurface7> texture = MakeTexture(2, 1, {1, 2}, 8);
  std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{0, 0, 0, 0});
  entries[1] = {255, 0, 0, 0};
  entries[2] = {0, 0, 255, 0};
  IDirectDrawPalette* palette = nullptr;
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries.data(), &palette, nullptr),
            DD_OK);
  ASSERT_EQ(texture->SetPalette(palette), DD_OK);
  palette->Release();
  SetColorKey(texture.Get(), 2);

  ASSERT_EQ(Fill(target16.Get(), 0x07E0), DD_OK);
  ASSERT_EQ(device16->SetTexture(0, texture.Get()), D3D_OK);
  ASSERT_EQ(device16->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1), D3D_OK);
  auto quad = Quad(0, 0, 2, 1);
  ASSERT_EQ(DrawStrip(device16.Get(), quad), D3D_OK);
  const std::vector<uint32_t> pixels = ReadPixels(target16.Get());
  EXPECT_EQ(pixels[0], 0xF800u);  // red in 5-6-5
  EXPECT_EQ(pixels[1], 0x07E0u);  // keyed index 2 leaves the green background
}

TEST_F(DrawPrimitiveTest, RejectsWhatItCannotDrawAndReportsBusyOrLostSurfaces) {
  auto quad = Quad(0, 0, 2, 2);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, quad.data(), 4, 0),
            D3DERR_INVALIDPRIMITIVETYPE);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW, quad.data(), 4, 0),
            D3DERR_INVALIDVERTEXTYPE);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, nullptr, 4, 0),
            DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad.data(), 2, 0),
            D3D_OK);
  EXPECT_EQ(PixelAt(0, 0), kBackground);

  // A target locked elsewhere cannot be drawn on.
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  ASSERT_EQ(target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_NE(DrawStrip(device.Get(), quad), D3D_OK);
  ASSERT_EQ(target->Unlock(nullptr), DD_OK);
  EXPECT_EQ(PixelAt(0, 0), kBackground);

  TestDDrawLoseAllSurfaces();
  EXPECT_EQ(DrawStrip(device.Get(), quad), DDERR_SURFACELOST);
}

TEST_F(DrawPrimitiveTest, PointSamplingGivesEveryTexelAnEqualShareWhenCentresMeetTexelEdges) {
  // Texel column c holds c + 1 in every row, so a pixel tells which column it took.
  std::vector<uint32_t> texels;
  for (uint32_t i = 0; i < 16; ++i) texels.push_back(i % 4 + 1);
  ComPtr<IDirectDrawSurface7> texture = MakeTexture(4, 4, texels);
  ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
  auto at = [](float x, float y, float u, float v) {
    return D3DTLVERTEX{x, y, 0, 1, 0x00FFFFFF, 0, u, v};
  };
  // Corners on whole pixels and three pixels a texel: every third pixel centre lies exactly on a
  // texel edge, where the interpolated coordinate is not exact in binary.
  const std::array<D3DTLVERTEX, 4> upright = {at(0, 0, 0, 0), at(12, 0, 1, 0), at(0, 12, 0, 1),
                                              at(12, 12, 1, 1)};
  // A quarter turn: the texture's columns run up the screen from the bottom edge.
  const std::array<D3DTLVERTEX, 4> turned = {at(0, 12, 0, 0), at(0, 0, 1, 0), at(12, 12, 0, 1),
                                             at(12, 0, 1, 1)};
  for (const bool isTurned : {false, true}) {
    SCOPED_TRACE(isTurned ? "turned" : "upright");
    ASSERT_EQ(Fill(target.Get(), 0), DD_OK);
    auto quad = isTurned ? turned : upright;
    ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
    for (int line = 1; line < 12; ++line)
      for (int along = 1; along < 12; ++along) {
        const int x = isTurned ? line : along, y = isTurned ? 12 - along : line;
        EXPECT_EQ(PixelAt(x, y), static_cast<uint32_t>(along / 3 + 1)) << x << "," << y;
      }
  }
}

TEST_F(DrawPrimitiveTest, DrawingKeptBackIsDoneBeforeItsTextureGoesOrItsTargetIsRestored) {
  {
    ComPtr<IDirectDrawSurface7> texture = NumberedTexture();
    ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
    auto quad = Quad(3, 5, 7, 9);
    ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
    // The last reference to the texture goes while the quad may still wait to be drawn.
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
  }
  EXPECT_EQ(PixelAt(3, 5), 0x010101u);
  EXPECT_EQ(PixelAt(6, 8), (0x10 * 15 + 1) * 0x010101u);

  // Restoring lost pixels clears them, the quad drawn before included.
  auto quad = Quad(0, 0, 4, 4, 0, 0, 1, 1, 0x00FF0000);
  ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE), D3D_OK);
  ASSERT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
  TestDDrawLoseAllSurfaces();
  ASSERT_EQ(target->Restore(), DD_OK);
  EXPECT_EQ(PixelAt(1, 1), 0u);
}

TEST_F(DrawPrimitiveTest, QuadsAtTheEdgeOfTheRowsATextLineFinishesAreDrawn) {
  // Two thin quads, at the first rows of the lower band of eight rows and at the last of the
  // upper, with nothing on them; then a line of text finishes the rows of its cell, which reach
  // into the lower band alone, and leaves no pixel of its own.
  ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE), D3D_OK);
  auto lower = Quad(2, 8, 6, 10, 0, 0, 1, 1, 0x00C00000);
  auto upper = Quad(8, 6, 12, 8, 0, 0, 1, 1, 0x0000C000);
  ASSERT_EQ(DrawStrip(device.Get(), lower), D3D_OK);
  ASSERT_EQ(DrawStrip(device.Get(), upper), D3D_OK);
  HDC dc = nullptr;
  ASSERT_EQ(target->GetDC(&dc), DD_OK);
  SetBkMode(dc, TRANSPARENT);
  EXPECT_TRUE(TextOutA(dc, 0, 9, " ", 1));
  ASSERT_EQ(target->ReleaseDC(dc), DD_OK);
  for (int x = 2; x < 6; ++x) {
    EXPECT_EQ(PixelAt(x, 8), 0xC00000u) << x;
    EXPECT_EQ(PixelAt(x, 9), 0xC00000u) << x;
  }
  for (int x = 8; x < 12; ++x) EXPECT_EQ(PixelAt(x, 7), 0x00C000u) << x;
  EXPECT_EQ(PixelAt(1, 8), kBackground);
}
