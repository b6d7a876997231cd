#include "display/DXTexture.h"

#include <memory>

#include "ImageListTestSupport.h"
#include "display/DXConsts.h"
#include "platform/ddraw/PixelFormats.h"

namespace {

const TDXDrawOptions Sprites3D = {doCenter, do3D, doDirectX7Mode, doHardware};

const DDPIXELFORMAT X8R8G8B8 = RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
const DDPIXELFORMAT A8R8G8B8 = RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const DDPIXELFORMAT R8G8B8 = RgbPixelFormat(24, 0xFF0000, 0xFF00, 0xFF);

// A graphic that cannot be drawn: copying it into a picture fails half-way.
class TUndrawable : public TGraphic {
  ORVALIS_CLASS(TUndrawable, TGraphic)
  TGraphic* NewInstance() const override { return new TUndrawable(); }
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  void LoadFromClipboardFormat(Word, HGLOBAL, HPALETTE) override {}
  void SaveToClipboardFormat(Word&, HGLOBAL&, HPALETTE&) override {}

 protected:
  void Draw(TCanvas*, const TRect&) override { throw Exception("unreadable"); }
  bool GetEmpty() override { return false; }
  Integer GetHeight() override { return 2; }
  Integer GetWidth() override { return 2; }
  void DoSetHeight(Integer) override {}
  void DoSetWidth(Integer) override {}
};

const TClassInfo& TUndrawable::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TUndrawable>();
  return info;
}

void SetTextureCaps(DWORD textureCaps) {
  std::vector<D3DTestDevice> devices = TestD3DDefaultDevices();
  for (D3DTestDevice& device : devices) device.desc.dpcTriCaps.dwTextureCaps = textureCaps;
  TestD3DSetDevices(devices);
}

}  // namespace

class DXTextureTest : public ImageListTest {
 protected:
  void SetUp() override {
    ImageListTest::SetUp();
    MakeDisplay(Sprites3D);
  }

  std::unique_ptr<TDirect3DTexture2> MakeTexture(Integer width, Integer height) {
    Paint(picture, width, height, [](Integer x, Integer y) { return (x * 16 + 1) | (y * 16 + 1) << 8; });
    return std::make_unique<TDirect3DTexture2>(dx, &picture, false);
  }

  SIZE TextureSize(Integer width, Integer height) {
    std::unique_ptr<TDirect3DTexture2> texture = MakeTexture(width, height);
    return {static_cast<LONG>(texture->SurfaceDesc().dwWidth),
            static_cast<LONG>(texture->SurfaceDesc().dwHeight)};
  }

  TDIB picture;
};

TEST_F(DXTextureTest, SurfaceFollowsTheDisplaysLife) {
  std::unique_ptr<TDirect3DTexture2> texture = MakeTexture(4, 2);
  EXPECT_EQ(texture->Surface(), nullptr);
  dx->Initialize();
  TDirectDrawSurface* surface = texture->Surface();
  ASSERT_NE(surface, nullptr);
  EXPECT_NE(surface->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_TEXTURE, 0u);
  // The pixels arrive converted into the texture's format (0x00RRGGBB here).
  EXPECT_EQ(surface->Pixels(0, 0), SurfaceValue(picture.Pixels(0, 0)));
  EXPECT_EQ(surface->Pixels(3, 1), SurfaceValue(picture.Pixels(3, 1)));

  dx->Finalize();
  EXPECT_EQ(texture->Surface(), nullptr);
  dx->Initialize();
  ASSERT_NE(texture->Surface(), nullptr);
  EXPECT_EQ(texture->Surface()->Pixels(3, 1), SurfaceValue(picture.Pixels(3, 1)));
}

TEST_F(DXTextureTest, SidesFollowTheDevicesTextureRules) {
  dx->Initialize();
  EXPECT_EQ(TextureSize(32, 32).cx, 32);
  const SIZE cut = TextureSize(100, 60);
  EXPECT_EQ(cut.cx, 64);
  EXPECT_EQ(cut.cy, 32);

  dx->Finalize();
  SetTextureCaps(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY);
  dx->Initialize();
  const SIZE square = TextureSize(64, 32);
  EXPECT_EQ(square.cx, 64);
  EXPECT_EQ(square.cy, 64);
}

TEST_F(DXTextureTest, ADirect3D7DeviceLimitsOnlyTheTexturesWidth) {
  std::vector<D3DTestDevice> devices = TestD3DDefaultDevices();
  for (D3DTestDevice& device : devices) {
    device.desc.dwMaxTextureWidth = 16;
    device.desc.dwMaxTextureHeight = 16;
  }
  TestD3DSetDevices(devices);
  dx->Initialize();
  const SIZE limited = TextureSize(32, 32);
  EXPECT_EQ(limited.cx, 16);
  EXPECT_EQ(limited.cy, 32);
}

TEST_F(DXTextureTest, FormatChoiceMatchesTheImagesChannels) {
  dx->Initialize();
  TestD3DSetTextureFormats({X8R8G8B8, A8R8G8B8});
  EXPECT_EQ(MakeTexture(2, 2)->SurfaceDesc().ddpfPixelFormat.dwRGBAlphaBitMask, 0u);
  TestD3DSetTextureFormats({A8R8G8B8, X8R8G8B8});
  EXPECT_EQ(MakeTexture(2, 2)->SurfaceDesc().ddpfPixelFormat.dwRGBAlphaBitMask, 0u);
  // Equally close formats: the one listed last wins.
  TestD3DSetTextureFormats({X8R8G8B8, R8G8B8});
  EXPECT_EQ(MakeTexture(2, 2)->SurfaceDesc().ddpfPixelFormat.dwRGBBitCount, 24u);
  TestD3DSetTextureFormats({R8G8B8, X8R8G8B8});
  EXPECT_EQ(MakeTexture(2, 2)->SurfaceDesc().ddpfPixelFormat.dwRGBBitCount, 32u);

  // An RGB picture never goes into a palette texture.
  TestD3DSetTextureFormats({DisplayPixelFormat(8)});
  try {
    MakeTexture(2, 2);
    FAIL() << "no format fits";
  } catch (EDirect3DTextureError& error) {
    EXPECT_EQ(error.Message(), "Texture cannot be initialized");
  }
}

TEST_F(DXTextureTest, PaletteTextureKeysTheNamedIndex) {
  dx->Initialize();
  TestD3DSetTextureFormats({DisplayPixelFormat(8)});
  TDIB indexed;
  indexed.SetSize(4, 1, 8);
  for (Integer x = 0; x < 4; ++x) indexed.SetPixels(x, 0, static_cast<DWORD>(x + 3));
  TDirect3DTexture2 texture(dx, &indexed, false);
  texture.SetTransparent(true);
  texture.SetTransparentColor(0x01000005);
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_TRUE(texture.Transparent());
  DDCOLORKEY key{};
  ASSERT_EQ(texture.Surface()->ISurface7()->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 5u);
  EXPECT_EQ(texture.Surface()->Pixels(2, 0), 5u);

  // Without the device's transparency capability no key is set.
  dx->Finalize();
  SetTextureCaps(D3DPTEXTURECAPS_POW2);
  dx->Initialize();
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_FALSE(texture.Transparent());
}

TEST_F(DXTextureTest, OnlyPicturesCanBecomeTextures) {
  TObject notAPicture;
  try {
    TDirect3DTexture2 texture(dx, &notAPicture, false);
    FAIL() << "a plain object is no picture";
  } catch (Exception& error) {
    EXPECT_EQ(error.Message(), MsgCannotLoadGraphic);
  }
  // A copy that fails is not kept either (the leak check sees it).
  TUndrawable undrawable;
  try {
    TDirect3DTexture2 texture(dx, &undrawable, false);
    FAIL() << "the copy cannot be drawn";
  } catch (Exception& error) {
    EXPECT_EQ(error.Message(), "unreadable");
  }
  // A picture holder is copied; the texture keeps the copy.
  dx->Initialize();
  TPicture holder;
  Paint(picture, 2, 2, [](Integer, Integer) { return clRed; });
  holder.SetGraphic(&picture);
  TDirect3DTexture2 texture(dx, &holder, false);
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_EQ(texture.Surface()->Pixels(1, 1), SurfaceValue(clRed));
}
