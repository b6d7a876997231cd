// The device's rasteriser against the reference rasteriser, pixel for pixel, on seeded random
// batches. Each side has its own targets and textures with the same contents; every change made
// between primitives (texel writes, fills, GDI drawing, colour keys, palettes, target switches)
// is made to both, so a batch kept back and drawn later must still come out as if drawn in order.
// Every scene is drawn twice, shading one pixel at a time and as many at once as the processor
// can, and both must match the reference.
#include <oneapi/tbb/task_arena.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "platform/d3d/D3DTestSupport.h"
#include "platform/d3d/ReferenceRasterizer.h"
#include "platform/ddraw/PixelFormats.h"
#include "platform/gdi/Gdi.h"

namespace {

struct Side {
  std::vector<ComPtr<IDirectDrawSurface7>> targets;
  std::vector<ComPtr<IDirectDrawSurface7>> textures;
  std::vector<ComPtr<IDirectDrawPalette>> palettes;  // one per palette-indexed texture, or null
};

// Everything one primitive is drawn with.
struct Primitive {
  int texture = -1;  // none
  DWORD colorOp = D3DTOP_MODULATE;
  bool linearMagnify = false, linearMinify = false, colorKey = false, alphaBlend = false;
  DWORD sourceBlend = D3DBLEND_ONE, destinationBlend = D3DBLEND_ZERO, cullMode = D3DCULL_CCW;
  D3DVIEWPORT7 viewport{};
  std::vector<D3DTLVERTEX> strip;
};

// The kind of batch a scene draws.
struct SceneKind {
  DWORD width, height;
  int primitives;
  double blendChance;            // per primitive
  double eventChance;            // of a change between two primitives
  bool gameLike;                 // keyed bilinear sprites of two sizes, as the game draws them
  bool targetIsTexture = false;  // the first target is also one of the textures
  double largestSide = 80;       // of the quads, in pixels
  double extremeChance = 0;      // of a quad reaching nearly a million pixels away, or of a
                                 // texture coordinate in the millions or not a number
};

constexpr DWORD kBlends[] = {D3DBLEND_ZERO,        D3DBLEND_ONE,          D3DBLEND_SRCCOLOR,
                             D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCALPHA,     D3DBLEND_INVSRCALPHA,
                             D3DBLEND_DESTALPHA,   D3DBLEND_INVDESTALPHA, D3DBLEND_DESTCOLOR,
                             D3DBLEND_INVDESTCOLOR};

std::vector<DDPIXELFORMAT> TargetFormats() {
  return {RgbPixelFormat(16, 0xF800, 0x07E0, 0x001F), RgbPixelFormat(16, 0x7C00, 0x03E0, 0x001F),
          RgbPixelFormat(24, 0xFF0000, 0xFF00, 0xFF), RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF),
          RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)};
}

}  // namespace

class RasterizerDifferentialTest : public D3DFixture {
 protected:
  void TearDown() override {
    device.Reset();
    for (Side* side : {&production, &reference}) *side = Side{};
    D3DFixture::TearDown();
  }

  ComPtr<IDirectDrawSurface7> MakeWithFormat(DWORD width, DWORD height, DWORD caps,
                                             const DDPIXELFORMAT& format) {
    DDSURFACEDESC2 desc = OffscreenDesc(width, height, caps);
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = format;
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return ComPtr<IDirectDrawSurface7>::Attach(surface);
  }

  // Applies a change to the same object of both sides.
  template <class Change>
  void OnBoth(Change change) {
    change(production);
    change(reference);
  }

  uint32_t Random(uint32_t below) {
    return std::uniform_int_distribution<uint32_t>(0, below - 1)(random);
  }
  double Uniform(double low, double high) {
    return std::uniform_real_distribution<>(low, high)(random);
  }
  bool Chance(double p) { return Uniform(0, 1) < p; }

  void MakeTargets(const DDPIXELFORMAT& format, DWORD width, DWORD height, DWORD extraCaps) {
    for (int i = 0; i < 2; ++i) {
      std::vector<uint32_t> noise(width * height);
      for (uint32_t& value : noise) value = static_cast<uint32_t>(random());
      OnBoth([&](Side& side) {
        side.targets.push_back(MakeWithFormat(
            width, height, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | extraCaps, format));
        WritePixels(side.targets.back().Get(), noise);
      });
    }
  }

  // Texels in each offered format and a few sizes; sprites keep their opaque texels inside a
  // keyed border, or reach two sides of it and leave the others keyed, as the game's ships reach
  // one.
  void MakeTextures(bool gameLike) {
    const std::vector<DDPIXELFORMAT> formats =
        gameLike ? std::vector{RgbPixelFormat(16, 0xF800, 0x07E0, 0x001F),
                               RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF)}
                 : TestD3DDefaultTextureFormats();
    for (const DDPIXELFORMAT& format : formats)
      for (int variant = 0; variant < 3; ++variant) {
        const DWORD width = gameLike ? 64 : 1u << Random(7),
                    height = gameLike ? 64 : 1u << Random(7);
        const uint32_t significant = SignificantBits(format);
        const uint32_t key = static_cast<uint32_t>(random()) & significant;
        std::vector<uint32_t> texels(width * height);
        for (DWORD y = 0; y < height; ++y)
          for (DWORD x = 0; x < width; ++x) {
            const double dx = (x + 0.5) / width - 0.5, dy = (y + 0.5) / height - 0.5;
            const double offCentre = gameLike ? 0.3 * (variant - 1) : 0;
            const bool outside = (gameLike || variant == 0) &&
                                 (dx - offCentre) * (dx - offCentre) +
                                         (dy - offCentre) * (dy - offCentre) >
                                     0.16;
            texels[y * width + x] = outside || Chance(0.15) ? key : static_cast<uint32_t>(random());
          }
        std::array<PALETTEENTRY, 256> entries{};
        for (PALETTEENTRY& entry : entries)
          entry = {static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                   static_cast<BYTE>(random()), 0};
        DDCOLORKEY colorKey{key, key};
        // A range of keyed values now and then.
        if (!gameLike && variant == 2)
          colorKey.dwColorSpaceHighValue = std::min(key + 5, significant);
        OnBoth([&](Side& side) {
          side.textures.push_back(MakeWithFormat(width, height, DDSCAPS_TEXTURE, format));
          IDirectDrawSurface7* texture = side.textures.back().Get();
          WritePixels(texture, texels);
          ASSERT_EQ(texture->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &colorKey), DD_OK);
          ComPtr<IDirectDrawPalette> palette;
          if (IsPaletteIndexed(format)) {
            IDirectDrawPalette* made = nullptr;
            ASSERT_EQ(
                dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries.data(), &made, nullptr),
                DD_OK);
            palette = ComPtr<IDirectDrawPalette>::Attach(made);
            ASSERT_EQ(texture->SetPalette(made), DD_OK);
          }
          side.palettes.push_back(palette);
        });
      }
  }

  D3DTLVERTEX RandomVertex(double x, double y, double u, double v, bool perspective, bool shaded) {
    return D3DTLVERTEX{static_cast<float>(x),
                       static_cast<float>(y),
                       0,
                       perspective ? static_cast<float>(Uniform(0.2, 2)) : 1.0f,
                       shaded ? static_cast<D3DCOLOR>(random()) : 0xFFFFFFFF,
                       0,
                       static_cast<float>(u),
                       static_cast<float>(v)};
  }

  Primitive RandomPrimitive(const SceneKind& kind) {
    Primitive primitive;
    const DWORD width = kind.width, height = kind.height;
    primitive.viewport = {0, 0, width, height, 0, 1};
    if (kind.gameLike) {
      // The sprite renderer's quads: keyed, mostly bilinear, turned about their centre, 50 or 100
      // pixels wide, a quarter of the texture each, or now and then all of it and a little more,
      // where footprints at the quad's edges wrap round to the other side.
      primitive.texture =
          static_cast<int>(Random(static_cast<uint32_t>(production.textures.size())));
      primitive.colorKey = true;
      primitive.linearMagnify = primitive.linearMinify = !Chance(0.2);  // now and then point
      primitive.cullMode = D3DCULL_NONE;
      const double side = Chance(0.3) ? 100 : 50, angle = Uniform(0, 2 * std::numbers::pi);
      const double cx = Uniform(-40, width + 40), cy = Uniform(-40, height + 40);
      const double c = std::cos(angle) * side / 2, s = std::sin(angle) * side / 2;
      const bool whole = Chance(0.2);
      const double beyond = 0.4 / 64;  // of a texel, at the textures' 64 texels
      const double u0 = whole ? -beyond : Random(2) / 2.0, v0 = whole ? -beyond : Random(2) / 2.0,
                   u1 = whole ? 1 + beyond : u0 + 0.5 - 1.0 / 64,
                   v1 = whole ? 1 + beyond : v0 + 0.5 - 1.0 / 64;
      primitive.strip = {RandomVertex(cx - c + s, cy - s - c, u0, v0, false, false),
                         RandomVertex(cx + c + s, cy + s - c, u1, v0, false, false),
                         RandomVertex(cx - c - s, cy - s + c, u0, v1, false, false),
                         RandomVertex(cx + c - s, cy + s + c, u1, v1, false, false)};
      return primitive;
    }
    primitive.texture =
        Chance(0.1) ? -1
                    : static_cast<int>(Random(static_cast<uint32_t>(production.textures.size())));
    primitive.colorOp = primitive.texture < 0 ? D3DTOP_DISABLE
                        : Chance(0.7)         ? D3DTOP_MODULATE
                                              : D3DTOP_SELECTARG1;
    primitive.linearMagnify = Chance(0.5);
    primitive.linearMinify = Chance(0.5);
    primitive.colorKey = Chance(0.7);
    primitive.alphaBlend = Chance(kind.blendChance);
    primitive.sourceBlend = kBlends[Random(std::size(kBlends))];
    primitive.destinationBlend = kBlends[Random(std::size(kBlends))];
    primitive.cullMode = Chance(0.6) ? D3DCULL_NONE : Chance(0.5) ? D3DCULL_CW : D3DCULL_CCW;
    if (Chance(0.2)) {
      const DWORD x = Random(width), y = Random(height);
      primitive.viewport = {x, y, Random(width - x) + 1, Random(height - y) + 1, 0, 1};
    }
    const bool perspective = Chance(0.2), shaded = Chance(0.4);
    if (Chance(0.2)) {
      // A jagged strip of up to eight corners.
      const size_t corners = 3 + Random(6);
      for (size_t i = 0; i < corners; ++i)
        primitive.strip.push_back(RandomVertex(Uniform(-20, width + 20), Uniform(-20, height + 20),
                                               Uniform(-2, 3), Uniform(-2, 3), perspective,
                                               shaded));
      return primitive;
    }
    // A quad turned, scaled and placed off the grid, sometimes snapped to whole or half pixels
    // where edges and texel boundaries meet pixel centres.
    const double sideX = Uniform(0.5, kind.largestSide),
                 sideY = Chance(0.5) ? sideX : Uniform(0.5, kind.largestSide);
    const double angle =
        Chance(0.3) ? Random(4) * std::numbers::pi / 2 : Uniform(0, 2 * std::numbers::pi);
    double cx = Uniform(-20, width + 20), cy = Uniform(-20, height + 20);
    if (Chance(0.3)) cx = std::round(cx * 2) / 2, cy = std::round(cy * 2) / 2;
    const double ux = std::cos(angle), uy = std::sin(angle);
    const double u0 = Uniform(-1, 1), v0 = Uniform(-1, 1);
    const double u1 = Chance(0.5) ? u0 + 1 : Uniform(-1, 2),
                 v1 = Chance(0.5) ? v0 + 1 : Uniform(-1, 2);
    auto corner = [&](double along, double across, double u, double v) {
      return RandomVertex(cx + along * ux - across * uy, cy + along * uy + across * ux, u, v,
                          perspective, shaded);
    };
    primitive.strip = {corner(-sideX / 2, -sideY / 2, u0, v0),
                       corner(sideX / 2, -sideY / 2, u1, v0), corner(-sideX / 2, sideY / 2, u0, v1),
                       corner(sideX / 2, sideY / 2, u1, v1)};
    if (Chance(kind.extremeChance)) {
      // Edge values beyond what a double holds exactly; texture coordinates wrapping millions of
      // times, beyond the farthest texel position bilinear sampling takes, or not numbers at all.
      D3DTLVERTEX& vertex = primitive.strip[Random(4)];
      const float extremes[] = {1e7f, 1e12f, -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN()};
      if (Chance(0.5)) {
        // A quad over the whole target with corners so far away that its edge values there
        // are beyond 2^51.
        for (D3DTLVERTEX& far : primitive.strip) {
          far.sx = static_cast<float>(far.sx < cx ? Uniform(-9e5, -8e5) : Uniform(8e5, 9e5));
          far.sy = static_cast<float>(far.sy < cy ? Uniform(-9e5, -8e5) : Uniform(8e5, 9e5));
        }
      } else if (Chance(0.5)) {
        vertex.tu = extremes[Random(4)];
      } else {
        vertex.tv = extremes[Random(4)];
      }
    }
    return primitive;
  }

  void DrawOnDevice(const Primitive& primitive) {
    IDirectDrawSurface7* texture =
        primitive.texture < 0 ? nullptr : production.textures[primitive.texture].Get();
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, primitive.colorOp), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_MAGFILTER,
                                           primitive.linearMagnify ? D3DTFG_LINEAR : D3DTFG_POINT),
              D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_MINFILTER,
                                           primitive.linearMinify ? D3DTFN_LINEAR : D3DTFN_POINT),
              D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, primitive.colorKey), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, primitive.alphaBlend),
              D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, primitive.sourceBlend), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_DESTBLEND, primitive.destinationBlend), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, primitive.cullMode), D3D_OK);
    D3DVIEWPORT7 viewport = primitive.viewport;
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    std::vector<D3DTLVERTEX> strip = primitive.strip;
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, strip.data(),
                                    static_cast<DWORD>(strip.size()), D3DDP_WAIT),
              D3D_OK);
  }

  // The reference draws straight into its side's surfaces, locked for the one primitive.
  void DrawWithReference(const Primitive& primitive, IDirectDrawSurface7* target) {
    auto lock = [](IDirectDrawSurface7* surface) {
      DDSURFACEDESC2 desc{};
      desc.dwSize = 124;
      EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
      return reference::LockedPixels{static_cast<BYTE*>(desc.lpSurface), desc.lPitch, desc.dwWidth,
                                     desc.dwHeight, desc.ddpfPixelFormat};
    };
    reference::RasterStates states;
    reference::TextureSource source;
    IDirectDrawSurface7* texture = primitive.colorOp == D3DTOP_DISABLE || primitive.texture < 0
                                       ? nullptr
                                       : reference.textures[primitive.texture].Get();
    if (texture) {
      source.pixels = lock(texture);
      source.hasColorKey = texture->GetColorKey(DDCKEY_SRCBLT, &source.colorKey) == DD_OK;
      if (const auto& palette = reference.palettes[primitive.texture])
        palette->GetEntries(0, 0, 256, source.palette.data());
      states.texture = &source;
    }
    states.modulate = primitive.colorOp == D3DTOP_MODULATE;
    states.linearMagnify = primitive.linearMagnify;
    states.linearMinify = primitive.linearMinify;
    states.colorKey = primitive.colorKey;
    states.alphaBlend = primitive.alphaBlend;
    states.sourceBlend = primitive.sourceBlend;
    states.destinationBlend = primitive.destinationBlend;
    states.cullMode = primitive.cullMode;
    const D3DVIEWPORT7& view = primitive.viewport;
    states.clip = {static_cast<LONG>(view.dwX), static_cast<LONG>(view.dwY),
                   static_cast<LONG>(view.dwX + view.dwWidth),
                   static_cast<LONG>(view.dwY + view.dwHeight)};
    // Drawing from the target onto itself: one lock serves both.
    const reference::LockedPixels pixels = texture == target ? source.pixels : lock(target);
    const auto& strip = primitive.strip;
    for (size_t i = 0; i + 2 < strip.size(); ++i) {
      if (i % 2 == 0)
        reference::DrawTriangle(strip[i], strip[i + 1], strip[i + 2], states, pixels);
      else
        reference::DrawTriangle(strip[i + 1], strip[i], strip[i + 2], states, pixels);
    }
    target->Unlock(nullptr);
    if (texture && texture != target) texture->Unlock(nullptr);
  }

  // Something done between two primitives that reads or changes pixels, keys or palettes.
  void RandomEvent(int& current) {
    const uint32_t which = Random(7);
    if (which == 0) {  // read the target back mid-batch
      ExpectSidesEqual("mid-batch");
    } else if (which == 1) {  // a colour fill onto the target
      const DWORD width = Width(), height = Height();
      RECT rect{static_cast<LONG>(Random(width)), static_cast<LONG>(Random(height)), 0, 0};
      rect.right = rect.left + 1 + static_cast<LONG>(Random(width - rect.left));
      rect.bottom = rect.top + 1 + static_cast<LONG>(Random(height - rect.top));
      const DWORD color = static_cast<DWORD>(random());
      OnBoth(
          [&](Side& side) { ASSERT_EQ(Fill(side.targets[current].Get(), color, &rect), DD_OK); });
    } else if (which == 2) {  // GDI drawing onto the target: a pixel, or a line of text, which
                              // has only the rows it touches finished first
      const int x = static_cast<int>(Random(Width())), y = static_cast<int>(Random(Height()));
      const COLORREF color = static_cast<COLORREF>(random()) & 0xFFFFFF;
      const bool text = Chance(0.5), opaque = Chance(0.3);
      OnBoth([&](Side& side) {
        HDC dc = nullptr;
        ASSERT_EQ(side.targets[current]->GetDC(&dc), DD_OK);
        if (text) {
          HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
          HGDIOBJ previous = SelectObject(dc, font);
          SetTextColor(dc, color);
          SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
          EXPECT_TRUE(TextOutA(dc, x - 8, y - 6, "Anzahl: 51337", 13));
          SelectObject(dc, previous);
          DeleteObject(font);
        } else {
          SetPixel(dc, x, y, color);
        }
        ASSERT_EQ(side.targets[current]->ReleaseDC(dc), DD_OK);
      });
    } else if (which == 3) {  // new texels in a texture a primitive may already have used
      const size_t index = Random(static_cast<uint32_t>(production.textures.size()));
      DDSURFACEDESC2 desc{};
      desc.dwSize = 124;
      production.textures[index]->GetSurfaceDesc(&desc);
      std::vector<uint32_t> texels(desc.dwWidth * desc.dwHeight);
      for (uint32_t& texel : texels) texel = static_cast<uint32_t>(random());
      OnBoth([&](Side& side) { WritePixels(side.textures[index].Get(), texels); });
    } else if (which == 4) {  // another colour key
      const size_t index = Random(static_cast<uint32_t>(production.textures.size()));
      DDCOLORKEY key{static_cast<DWORD>(random()) & 0xFF, 0};
      key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
      OnBoth([&](Side& side) {
        ASSERT_EQ(side.textures[index]->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
      });
    } else if (which == 5) {  // other palette entries
      PALETTEENTRY entry{static_cast<BYTE>(random()), static_cast<BYTE>(random()), 0, 0};
      const DWORD at = Random(256);
      OnBoth([&](Side& side) {
        for (auto& palette : side.palettes)
          if (palette) {
            ASSERT_EQ(palette->SetEntries(0, at, 1, &entry), DD_OK);
          }
      });
    } else {  // draw into the other target for a while
      current = 1 - current;
      ASSERT_EQ(device->SetRenderTarget(production.targets[current].Get(), 0), D3D_OK);
    }
  }

  DWORD Width() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    production.targets[0]->GetSurfaceDesc(&desc);
    return desc.dwWidth;
  }
  DWORD Height() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    production.targets[0]->GetSurfaceDesc(&desc);
    return desc.dwHeight;
  }

  void ExpectSidesEqual(const char* when) {
    for (size_t i = 0; i < production.targets.size(); ++i) {
      const std::vector<uint32_t> drawn = ReadPixels(production.targets[i].Get());
      const std::vector<uint32_t> expected = ReadPixels(reference.targets[i].Get());
      ASSERT_EQ(drawn.size(), expected.size());
      size_t differing = 0, first = 0;
      for (size_t p = 0; p < drawn.size(); ++p)
        if (drawn[p] != expected[p] && differing++ == 0) first = p;
      EXPECT_EQ(differing, 0u) << when << ", target " << i << ": first at pixel " << first << " ("
                               << first % Width() << "," << first / Width() << ") " << std::hex
                               << drawn[first] << " instead of " << expected[first];
    }
  }

  void RunScene(const DDPIXELFORMAT& targetFormat, const SceneKind& kind, uint32_t seed) {
    for (const bool wide : {false, true}) {
      SCOPED_TRACE(wide ? "several pixels at once" : "a pixel at a time");
      RunSceneOnce(targetFormat, kind, seed, wide);
    }
  }

  void RunSceneOnce(const DDPIXELFORMAT& targetFormat, const SceneKind& kind, uint32_t seed,
                    bool wide) {
    SCOPED_TRACE(::testing::Message()
                 << "seed " << seed << ", target " << targetFormat.dwRGBBitCount << " bits, red "
                 << std::hex << targetFormat.dwRBitMask);
    random.seed(seed);
    production = reference = Side{};
    MakeTargets(targetFormat, kind.width, kind.height, kind.targetIsTexture ? DDSCAPS_TEXTURE : 0);
    MakeTextures(kind.gameLike);
    if (kind.targetIsTexture)
      OnBoth([](Side& side) {
        side.textures.push_back(side.targets[0]);
        side.palettes.emplace_back();
      });
    device = MakeDevice(production.targets[0].Get());
    ASSERT_TRUE(device);
    TestD3DSetWideShading(device.Get(), wide);
    int current = 0;
    for (int i = 0; i < kind.primitives; ++i) {
      if (Chance(kind.eventChance)) RandomEvent(current);
      const Primitive primitive = RandomPrimitive(kind);
      DrawOnDevice(primitive);
      DrawWithReference(primitive, reference.targets[current].Get());
      if (HasFatalFailure()) return;
    }
    ExpectSidesEqual("at the end");
    device.Reset();
  }

  std::mt19937 random;
  Side production, reference;
  ComPtr<IDirect3DDevice7> device;
};

TEST_F(RasterizerDifferentialTest, RandomBatchesOnEveryTargetFormat) {
  // Opaque batches, then batches where some primitives blend.
  const SceneKind opaque{67, 53, 300, 0, 0.05, false}, blended{67, 53, 300, 0.3, 0.05, false};
  uint32_t seed = 1;
  for (const DDPIXELFORMAT& format : TargetFormats())
    for (const SceneKind& kind : {opaque, blended})
      for (int repeat = 0; repeat < 3; ++repeat) RunScene(format, kind, seed++);
}

TEST_F(RasterizerDifferentialTest, SmallQuadsAndExtremeCorners) {
  // Rows of every short length starting at every pixel, over pixels partly settled; corners so
  // far away that edge values lose exactness as doubles; texture coordinates that break sampling.
  SceneKind small{67, 53, 600, 0, 0.02, false};
  small.largestSide = 12;
  small.extremeChance = 0.05;
  uint32_t seed = 200;
  for (const DDPIXELFORMAT& format : TargetFormats()) RunScene(format, small, seed++);
}

TEST_F(RasterizerDifferentialTest, TargetDrawnFromItself) {
  // Primitives reading texels that earlier ones in the same batch wrote.
  SceneKind selfReading{32, 32, 200, 0.2, 0.05, false};
  selfReading.targetIsTexture = true;
  RunScene(RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF), selfReading, 50);
  RunScene(RgbPixelFormat(16, 0xF800, 0x07E0, 0x001F), selfReading, 51);
}

TEST_F(RasterizerDifferentialTest, DenseFrameOfOverlappingKeyedSprites) {
  // Many keyed bilinear sprites piled on one another, mostly hidden by later ones, as when the
  // swarm has gathered round the player; drawn by one worker thread and by several, which must
  // not show in a pixel.
  const SceneKind dense{320, 240, 1500, 0, 0, true};
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(::testing::Message() << "task arena of " << threads << " threads");
    tbb::task_arena(threads).execute([&] {
      RunScene(RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF), dense, 100);
      RunScene(RgbPixelFormat(16, 0xF800, 0x07E0, 0x001F), dense, 101);
    });
  }
}
