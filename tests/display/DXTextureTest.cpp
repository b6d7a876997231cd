#include "display/DXTexture.h"

#include <memory>

#include "ImageListTestSupport.h"
#include "display/D2D.h"
#include "dxbase/DXConsts.h"
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

void SetMaxTextureSize(DWORD width, DWORD height) {
  std::vector<D3DTestDevice> devices = TestD3DDefaultDevices();
  for (D3DTestDevice& device : devices) {
    device.desc.dwMaxTextureWidth = width;
    device.desc.dwMaxTextureHeight = height;
  }
  TestD3DSetDevices(devices);
}

}  // namespace

class DXTextureTest : public ImageListTest {
 protected:
  void SetUp() override {
    ImageListTest::SetUp();
    MakeDisplay(DisplayOptions());
  }

  virtual TDXDrawOptions DisplayOptions() const { return Sprites3D; }

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
  SetMaxTextureSize(16, 16);
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

  // A palette that cannot be made leaves the surface without one.
  TestDDrawRefuseNext(DDrawCall::CreatePalette);
  TDirect3DTexture2 bare(dx, &indexed, false);
  ASSERT_NE(bare.Surface(), nullptr);
  IDirectDrawPalette* palette = nullptr;
  EXPECT_EQ(bare.Surface()->ISurface7()->GetPalette(&palette), DDERR_NOPALETTEATTACHED);
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

namespace {

void SetRgbChannels(TDXTextureImage& image) {
  image.rgb_red = {0xFF0000, 8};
  image.rgb_green = {0xFF00, 8};
  image.rgb_blue = {0xFF, 8};
}

// An RGB image of 0x00RRGGBB pixels whose pixel (x, y) is base + y * width + x.
void PaintLevel(TDXTextureImage& image, Integer width, Integer height, DWORD base) {
  image.SetSize(DXTextureImageType_RGBColor, width, height, 32);
  SetRgbChannels(image);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x)
      reinterpret_cast<DWORD*>(image.GetScanLine(y))[x] = base + static_cast<DWORD>(y * width + x);
}

std::vector<DWORD> Expected(Integer width, Integer height, DWORD base) {
  std::vector<DWORD> pixels;
  for (Integer i = 0; i < width * height; ++i) pixels.push_back(base + static_cast<DWORD>(i));
  return pixels;
}

// Every level of a texture surface, top first, each read row by row through a lock of the
// surface interface version it is given.
template <class SurfaceInterface>
std::vector<std::vector<DWORD>> ReadLevels(SurfaceInterface* top) {
  std::vector<std::vector<DWORD>> levels;
  ComPtr<SurfaceInterface> level(top);
  while (level) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    std::vector<DWORD>& pixels = levels.emplace_back();
    if (level->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) {
      for (DWORD y = 0; y < desc.dwHeight; ++y)
        for (DWORD x = 0; x < desc.dwWidth; ++x)
          pixels.push_back(reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(desc.lpSurface) +
                                                         y * desc.lPitch)[x]);
      level->Unlock(nullptr);
    }
    DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
    SurfaceInterface* next = nullptr;
    level->GetAttachedSurface(&caps, &next);
    level = ComPtr<SurfaceInterface>::Attach(next);
  }
  return levels;
}

struct RestoreRecorder : TObject {
  void Restored(TObject* Sender) { senders.push_back(Sender); }
  std::vector<TObject*> senders;
};

}  // namespace

TEST_F(DXTextureTest, ImagesOwnTheirSubImagesAndCountThemByGroup) {
  auto image = std::make_unique<TDXTextureImage>();
  auto* firstLevel = new TDXTextureImage(image.get());
  firstLevel->ImageGroupType = DXTextureImageGroupType_Mipmap;
  auto* other = new TDXTextureImage(image.get());
  auto* secondLevel = new TDXTextureImage(image.get());
  secondLevel->ImageGroupType = DXTextureImageGroupType_Mipmap;
  EXPECT_EQ(firstLevel->Owner(), image.get());
  EXPECT_EQ(image->SubImageCount(), 3);
  EXPECT_EQ(image->SubGroupImageCount(DXTextureImageGroupType_Mipmap), 2);
  EXPECT_EQ(image->SubGroupImages(DXTextureImageGroupType_Mipmap, 1), secondLevel);
  EXPECT_EQ(image->SubGroupImages(DXTextureImageGroupType_Normal, 0), other);
  for (auto [group, index] : {std::pair{DXTextureImageGroupType_Mipmap, 2},
                              std::pair{DXTextureImageGroupType_Mipmap, -1},
                              std::pair{DXTextureImageGroupType_Normal, 1}, std::pair{7, 0}}) {
    try {
      image->SubGroupImages(group, index);
      ADD_FAILURE() << "group " << group << " has no sub-image " << index;
    } catch (EListError& error) {
      EXPECT_EQ(error.Message(), Format(SListIndexError, {index}));
    }
  }

  // Freed on its own, a sub-image leaves the list; the rest go with Clear or the owner.
  delete firstLevel;
  EXPECT_EQ(image->SubImageCount(), 2);
  EXPECT_EQ(image->SubGroupImages(DXTextureImageGroupType_Mipmap, 0), secondLevel);
  PaintLevel(*image, 2, 2, 7);
  image->ImageName = "ship";
  image->Clear();
  EXPECT_EQ(image->SubImageCount(), 0);
  EXPECT_EQ(image->Width, 0);
  EXPECT_EQ(image->Pitch, 0);
  EXPECT_EQ(image->rgb_red.Mask, 0u);
  EXPECT_EQ(image->ImageName, "");
  EXPECT_FALSE(image->HasPixels());
  new TDXTextureImage(new TDXTextureImage(image.get()));
  image.reset();  // the leak check sees anything left behind

  // Lent memory is read where it lies and never freed by the image.
  std::vector<DWORD> lent = {1, 2, 3, 4, 5, 6};
  TDXTextureImage borrower;
  borrower.SetImage(DXTextureImageType_RGBColor, 2, 3, 32, 8, lent.data());
  EXPECT_EQ(borrower.GetScanLine(2), reinterpret_cast<BYTE*>(&lent[4]));
  EXPECT_EQ(borrower.Pixel(1, 1), 4u);
  borrower.Clear();
  EXPECT_EQ(lent[5], 6u);
}

TEST_F(DXTextureTest, MipmappedImagesLoadEveryLevel) {
  dx->Initialize();
  TestD3DSetTextureFormats({X8R8G8B8});
  // An 8 x 4 image with levels 4 x 2 (lent memory), 2 x 1 and 1 x 1, and an image of another
  // group in between that no level takes.
  TDXTextureImage image;
  PaintLevel(image, 8, 4, 0x100000);
  std::vector<DWORD> lent = Expected(4, 2, 0x200000);
  auto* level1 = new TDXTextureImage(&image);
  SetRgbChannels(*level1);
  level1->SetImage(DXTextureImageType_RGBColor, 4, 2, 32, 16, lent.data());
  PaintLevel(*new TDXTextureImage(&image), 2, 2, 0xEE0000);
  auto* level2 = new TDXTextureImage(&image);
  PaintLevel(*level2, 2, 1, 0x300000);
  auto* level3 = new TDXTextureImage(&image);
  PaintLevel(*level3, 1, 1, 0x400000);
  for (TDXTextureImage* level : {level1, level2, level3})
    level->ImageGroupType = DXTextureImageGroupType_Mipmap;

  TDirect3DTexture2 texture(dx, &image, false);
  EXPECT_TRUE(texture.Mipmap());
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_TRUE(texture.UseMipmap());
  const DDSURFACEDESC2& desc = texture.SurfaceDesc();
  EXPECT_EQ(desc.dwFlags,
            DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT);
  EXPECT_EQ(desc.ddsCaps.dwCaps, DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
  EXPECT_EQ(desc.dwMipMapCount, 4u);
  const std::vector<std::vector<DWORD>> loaded = {
      Expected(8, 4, 0x100000), lent, Expected(2, 1, 0x300000), Expected(1, 1, 0x400000)};
  IDirectDrawSurface7* top = texture.Surface()->ISurface7();
  EXPECT_EQ(ReadLevels(top), loaded);

  // Restoring reloads every level. A level that cannot be locked stays as restored (empty),
  // and when the next level cannot be found the rest stay so too.
  TestDDrawLoseAllSurfaces();
  texture.Load();
  EXPECT_EQ(ReadLevels(top), loaded);
  TestDDrawLoseAllSurfaces();
  TestDDrawRefuseNext(DDrawCall::Lock);
  texture.Load();
  std::vector<std::vector<DWORD>> partly = loaded;
  partly[0].assign(partly[0].size(), 0);
  EXPECT_EQ(ReadLevels(top), partly);
  TestDDrawLoseAllSurfaces();
  TestDDrawRefuseNext(DDrawCall::GetAttachedSurface, DDERR_NOTFOUND);
  texture.Load();
  partly = {loaded[0], {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0}, {0}};
  EXPECT_EQ(ReadLevels(top), partly);

  // With fewer levels than images the size allows, the smallest images find no level.
  PaintLevel(*(new TDXTextureImage(&image)), 1, 1, 0x500000);
  image.SubImages(4)->ImageGroupType = DXTextureImageGroupType_Mipmap;
  TDirect3DTexture2 capped(dx, &image, false);
  ASSERT_NE(capped.Surface(), nullptr);
  EXPECT_EQ(capped.SurfaceDesc().dwMipMapCount, 4u);
  EXPECT_EQ(ReadLevels(capped.Surface()->ISurface7()), loaded);
}

TEST_F(DXTextureTest, MipmapsNeedTheDriverAndATrueColourFormat) {
  TDXTextureImage image;
  PaintLevel(image, 4, 4, 0x100000);
  auto* level = new TDXTextureImage(&image);
  PaintLevel(*level, 2, 2, 0x200000);
  level->ImageGroupType = DXTextureImageGroupType_Mipmap;
  TestDDrawOfferMipmaps(false);
  dx->Initialize();
  TestD3DSetTextureFormats({X8R8G8B8});
  TDirect3DTexture2 texture(dx, &image, false);
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_TRUE(texture.Mipmap());
  EXPECT_FALSE(texture.UseMipmap());
  EXPECT_EQ(texture.SurfaceDesc().dwFlags & DDSD_MIPMAPCOUNT, 0u);
  EXPECT_EQ(ReadLevels(texture.Surface()->ISurface7()),
            (std::vector<std::vector<DWORD>>{Expected(4, 4, 0x100000)}));

  // A palette texture never has levels, whatever the driver offers.
  dx->Finalize();
  TestDDrawOfferMipmaps(true);
  dx->Initialize();
  TestD3DSetTextureFormats({DisplayPixelFormat(8)});
  image.Clear();
  image.SetSize(DXTextureImageType_PaletteIndexedColor, 4, 4, 8);
  image.idx_index = {0xFF, 8};
  level = new TDXTextureImage(&image);
  level->SetSize(DXTextureImageType_PaletteIndexedColor, 2, 2, 8);
  level->ImageGroupType = DXTextureImageGroupType_Mipmap;
  TDirect3DTexture2 indexed(dx, &image, false);
  ASSERT_NE(indexed.Surface(), nullptr);
  EXPECT_TRUE(indexed.Mipmap());
  EXPECT_FALSE(indexed.UseMipmap());

  // The surface the levels were to go into cannot be made.
  TestD3DSetTextureFormats({X8R8G8B8});
  TestDDrawRefuseNext(DDrawCall::CreateSurface, DDERR_OUTOFMEMORY);
  try {
    TDirect3DTexture2 refused(dx, &image, false);
    FAIL() << "the surface was refused";
  } catch (EDirect3DTextureError& error) {
    EXPECT_EQ(error.Message(), "Texture cannot be initialized");
  }
}

TEST_F(DXTextureTest, ATextureWithoutPixelsLetsItsOwnerDrawOnRestore) {
  TestD3DSetTextureFormats({X8R8G8B8});
  TDXTextureImage nothing;
  RestoreRecorder recorder;
  TDirect3DTexture2 texture(dx, &nothing, false);
  texture.OnRestoreSurface = MakeEvent<&RestoreRecorder::Restored>(&recorder);
  dx->Initialize();
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_EQ(recorder.senders, std::vector<TObject*>{&texture});

  // An image with pixels is loaded instead.
  PaintLevel(nothing, 1, 1, 0x123456);
  texture.Load();
  EXPECT_EQ(recorder.senders.size(), 1u);
  EXPECT_EQ(texture.Surface()->Pixels(0, 0), 0x123456u);

  // An image handed over goes with the texture, its sub-images with it (the leak check sees it).
  auto* handedOver = new TDXTextureImage();
  new TDXTextureImage(handedOver);
  TDirect3DTexture2 owner(dx, handedOver, true);
  EXPECT_NE(owner.Surface(), nullptr);
}

// Without doDirectX7Mode the display opens DirectDraw through its version-4 interface and sets
// up a Direct3D 6 device (with retained mode or without): textures are made, locked and
// restored through version-4 surfaces there.
class DXTextureDirectX6Test : public DXTextureTest, public ::testing::WithParamInterface<bool> {
 protected:
  TDXDrawOptions DisplayOptions() const override {
    TDXDrawOptions options{doCenter, do3D, doHardware};
    if (GetParam()) options.Include(doRetainedMode);
    return options;
  }
};

INSTANTIATE_TEST_SUITE_P(RetainedMode, DXTextureDirectX6Test, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "WithRetainedMode" : "WithoutRetainedMode";
                         });

TEST_P(DXTextureDirectX6Test, TexturesMadeBeforeAndAfterInitializeGetLoadedSurfaces) {
  std::unique_ptr<TDirect3DTexture2> early = MakeTexture(4, 2);
  dx->Initialize();
  ASSERT_TRUE(dx->DirectX6().D3DDevice3);
  EXPECT_EQ(dx->EffectiveOptions().Contains(doRetainedMode), GetParam());
  std::unique_ptr<TDirect3DTexture2> late = MakeTexture(4, 2);
  for (TDirect3DTexture2* texture : {early.get(), late.get()}) {
    TDirectDrawSurface* surface = texture->Surface();
    ASSERT_NE(surface, nullptr);
    EXPECT_NE(surface->ISurface4(), nullptr);
    EXPECT_EQ(surface->ISurface7(), nullptr);
    EXPECT_EQ(surface->Pixels(0, 0), SurfaceValue(picture.Pixels(0, 0)));
    EXPECT_EQ(surface->Pixels(3, 1), SurfaceValue(picture.Pixels(3, 1)));
  }
  // The sprite renderer stays with the DirectX 7 path.
  EXPECT_FALSE(dx->D2D()->CanRender());
}

TEST_P(DXTextureDirectX6Test, TheDirect3D6DeviceSizesTheTextureAndListsItsFormats) {
  // The Direct3D 6 device's description limits heights too, where a Direct3D 7 device's
  // capabilities limit only widths.
  SetMaxTextureSize(16, 8);
  dx->Initialize();
  ASSERT_TRUE(dx->EffectiveOptions().Contains(doHardware));
  const SIZE limited = TextureSize(32, 32);
  EXPECT_EQ(limited.cx, 16);
  EXPECT_EQ(limited.cy, 8);

  // An indexed picture gets a palette texture, its palette made on the same DirectDraw object,
  // keyed by the named index.
  TestD3DSetTextureFormats({X8R8G8B8, DisplayPixelFormat(8)});
  TDIB indexed;
  indexed.SetSize(4, 1, 8);
  for (Integer x = 0; x < 4; ++x) indexed.SetPixels(x, 0, static_cast<DWORD>(x + 3));
  TDirect3DTexture2 texture(dx, &indexed, false);
  texture.SetTransparent(true);
  texture.SetTransparentColor(0x01000005);
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_EQ(texture.SurfaceDesc().ddpfPixelFormat.dwRGBBitCount, 8u);
  IDirectDrawPalette* palette = nullptr;
  ASSERT_EQ(texture.Surface()->ISurface4()->GetPalette(&palette), DD_OK);
  palette->Release();
  DDCOLORKEY key{};
  ASSERT_EQ(texture.Surface()->ISurface4()->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 5u);
  EXPECT_EQ(texture.Surface()->Pixels(2, 0), 5u);

  // The formats come from the device: when it lists none, no texture can be made.
  TestD3DRefuseNext(D3DCall::EnumTextureFormats);
  try {
    MakeTexture(2, 2);
    FAIL() << "the device listed no format";
  } catch (EDirect3DTextureError& error) {
    EXPECT_EQ(error.Message(), "Texture cannot be initialized");
  }
}

TEST_P(DXTextureDirectX6Test, MipmapLevelsAreLoadedAndReloadedAfterALostSurface) {
  TDXTextureImage image;
  PaintLevel(image, 4, 4, 0x100000);
  auto* half = new TDXTextureImage(&image);
  PaintLevel(*half, 2, 2, 0x200000);
  auto* quarter = new TDXTextureImage(&image);
  PaintLevel(*quarter, 1, 1, 0x300000);
  half->ImageGroupType = quarter->ImageGroupType = DXTextureImageGroupType_Mipmap;
  TestD3DSetTextureFormats({X8R8G8B8});
  TDirect3DTexture2 texture(dx, &image, false);
  dx->Initialize();
  ASSERT_NE(texture.Surface(), nullptr);
  EXPECT_TRUE(texture.UseMipmap());
  const std::vector<std::vector<DWORD>> loaded = {
      Expected(4, 4, 0x100000), Expected(2, 2, 0x200000), Expected(1, 1, 0x300000)};
  IDirectDrawSurface4* top = texture.Surface()->ISurface4();
  EXPECT_EQ(ReadLevels(top), loaded);

  // The display's restore brings the lost texture back and loads every level again.
  TestDDrawLoseAllSurfaces();
  dx->Restore();
  EXPECT_EQ(top->IsLost(), DD_OK);
  EXPECT_EQ(ReadLevels(top), loaded);
}
