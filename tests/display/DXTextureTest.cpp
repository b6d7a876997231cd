#include "display/DXTexture.h"

#include <memory>

#include "ImageListTestSupport.h"
#include "display/DXConsts.h"

namespace {

const TDXDrawOptions Sprites3D = {doCenter, do3D, doDirectX7Mode, doHardware};

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha = 0) {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(DDPIXELFORMAT);
  format.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
  format.dwRGBBitCount = bits;
  format.dwRBitMask = red;
  format.dwGBitMask = green;
  format.dwBBitMask = blue;
  format.dwRGBAlphaBitMask = alpha;
  return format;
}

const DDPIXELFORMAT X8R8G8B8 = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
const DDPIXELFORMAT A8R8G8B8 = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const DDPIXELFORMAT R8G8B8 = RgbFormat(24, 0xFF0000, 0xFF00, 0xFF);

DDPIXELFORMAT Palette8() {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(DDPIXELFORMAT);
  format.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
  format.dwRGBBitCount = 8;
  return format;
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
  TestD3DSetTextureFormats({Palette8()});
  try {
    MakeTexture(2, 2);
    FAIL() << "no format fits";
  } catch (EDirect3DTextureError& error) {
    EXPECT_EQ(error.Message(), "Texture cannot be initialized");
  }
}

TEST_F(DXTextureTest, PaletteTextureKeysTheNamedIndex) {
  dx->Initialize();
  TestD3DSetTextureFormats({Palette8()});
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
  // A picture holder is copied; the texture keeps the copy.
  dx->Initialize();
  TPicture holder;
  Paint(picture, 2, 2, [](Integer, Integer) { return clRed; });
  holder.SetGraphic(&picture);
  TDirect3DTexture2 texture(dx, &holder, false);
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_EQ(texture.Surface()->Pixels(1, 1), SurfaceValue(clRed));
}
