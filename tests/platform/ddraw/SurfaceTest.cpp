#include "DDrawTestSupport.h"
#include "platform/gdi/Gdi.h"

using SurfaceTest = DDrawFixture;

namespace {

DDSURFACEDESC2 Describe(IDirectDrawSurface7* surface) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  EXPECT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
  return desc;
}

}  // namespace

TEST_F(SurfaceTest, VideoMemoryIsABudgetWithSystemMemoryBehindIt) {
  TestDDrawSetVideoMemory(64 * 64 * 4 * 3 / 2);
  auto first = MakeSurface(64, 64, DDSCAPS_OFFSCREENPLAIN, 32);
  EXPECT_TRUE(Describe(first.Get()).ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
  EXPECT_EQ(TestDDrawVideoMemoryUsed(), 64u * 64 * 4);

  // Without a placement the surface falls back to system memory; asking for video memory fails.
  auto second = MakeSurface(64, 64, DDSCAPS_OFFSCREENPLAIN, 32);
  EXPECT_TRUE(Describe(second.Get()).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  DDSURFACEDESC2 desc = OffscreenDesc(64, 64, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 32);
  IDirectDrawSurface7* refused = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &refused, nullptr), DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(refused, nullptr);

  first.Reset();
  EXPECT_EQ(TestDDrawVideoMemoryUsed(), 0u);
  EXPECT_EQ(dd->CreateSurface(&desc, &refused, nullptr), DD_OK);
  refused->Release();

  TestDDrawRefuseNext(DDrawCall::CreateSurface, DDERR_OUTOFMEMORY);
  EXPECT_EQ(dd->CreateSurface(&desc, &refused, nullptr), DDERR_OUTOFMEMORY);
}

TEST_F(SurfaceTest, DescriptionsAreCheckedAndSizesAreBounded) {
  IDirectDrawSurface7* surface = nullptr;
  DDSURFACEDESC2 desc = OffscreenDesc(16, 16);
  desc.dwSize = 108;
  EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
  desc = OffscreenDesc(0, 16);
  EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
  desc = OffscreenDesc(100000, 100000);
  EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
  desc = OffscreenDesc(16, 16, DDSCAPS_OFFSCREENPLAIN, 12);
  EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);
  desc = OffscreenDesc(16, 16, DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY);
  EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDCAPS);
  EXPECT_EQ(surface, nullptr);

  // The first interface version takes the 108-byte record.
  IDirectDraw* first = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&first)), S_OK);
  DDSURFACEDESC old{};
  old.dwSize = 108;
  old.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  old.dwWidth = 8;
  old.dwHeight = 4;
  old.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* oldSurface = nullptr;
  ASSERT_EQ(first->CreateSurface(&old, &oldSurface, nullptr), DD_OK);
  DDSURFACEDESC read{};
  read.dwSize = 108;
  ASSERT_EQ(oldSurface->Lock(nullptr, &read, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(read.dwWidth, 8u);
  EXPECT_EQ(read.dwHeight, 4u);
  EXPECT_NE(read.lpSurface, nullptr);
  EXPECT_EQ(oldSurface->Unlock(read.lpSurface), DD_OK);
  oldSurface->Release();

  // ... and gives depth buffers their depth in a field of its own.
  old.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
  old.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
  old.dwZBufferBitDepth = 24;
  ASSERT_EQ(first->CreateSurface(&old, &oldSurface, nullptr), DD_OK);
  read = DDSURFACEDESC{};
  read.dwSize = 108;
  ASSERT_EQ(oldSurface->GetSurfaceDesc(&read), DD_OK);
  EXPECT_TRUE(read.dwFlags & DDSD_ZBUFFERBITDEPTH);
  EXPECT_EQ(read.dwZBufferBitDepth, 24u);
  EXPECT_TRUE(read.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER);
  HDC dc = nullptr;
  EXPECT_EQ(oldSurface->GetDC(&dc), DDERR_CANTCREATEDC);
  oldSurface->Release();
  first->Release();
}

TEST_F(SurfaceTest, FormatsOfEveryBitCountAndTheDisplaysDefault) {
  struct Expected {
    DWORD bits, red, green, blue, flags;
  };
  for (Expected e :
       {Expected{8, 0, 0, 0, DDPF_PALETTEINDEXED8}, Expected{16, 0xF800, 0x07E0, 0x001F, DDPF_RGB},
        Expected{24, 0xFF0000, 0xFF00, 0xFF, DDPF_RGB},
        Expected{32, 0xFF0000, 0xFF00, 0xFF, DDPF_RGB}}) {
    auto surface = MakeSurface(5, 3, DDSCAPS_OFFSCREENPLAIN, e.bits);
    const DDSURFACEDESC2 desc = Describe(surface.Get());
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, e.bits);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, e.red);
    EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, e.green);
    EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, e.blue);
    EXPECT_TRUE(desc.ddpfPixelFormat.dwFlags & e.flags);
    EXPECT_GE(desc.lPitch, static_cast<LONG>(5 * e.bits / 8));
    EXPECT_EQ(desc.lPitch % 4, 0);
  }
  GoFullScreen(800, 600, 16);
  EXPECT_EQ(Describe(MakeSurface(4, 4).Get()).ddpfPixelFormat.dwRGBBitCount, 16u);
}

TEST_F(SurfaceTest, OneAndFourBitSurfacesAreLockedAndDrawnOnButNeverBlitted) {
  auto make = [&](DWORD bits, DWORD paletteFlag, DWORD caps, HRESULT expected) {
    DDSURFACEDESC2 desc = OffscreenDesc(17, 3, caps, bits);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | paletteFlag;
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), expected) << bits << " bits";
    return ComPtr<IDirectDrawSurface7>::Attach(surface);
  };
  make(4, DDPF_PALETTEINDEXED1, DDSCAPS_OFFSCREENPLAIN, DDERR_INVALIDPIXELFORMAT);
  make(1, DDPF_PALETTEINDEXED1, DDSCAPS_TEXTURE, DDERR_INVALIDPIXELFORMAT);
  auto mono = make(1, DDPF_PALETTEINDEXED1, DDSCAPS_OFFSCREENPLAIN, DD_OK);
  auto sixteenColours = make(4, DDPF_PALETTEINDEXED4, DDSCAPS_OFFSCREENPLAIN, DD_OK);
  ASSERT_TRUE(mono && sixteenColours);
  EXPECT_TRUE(Describe(mono.Get()).ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED1);
  EXPECT_GE(Describe(sixteenColours.Get()).lPitch, 9);

  // GDI draws into them: without a palette 1 is white.
  HDC dc = nullptr;
  ASSERT_EQ(mono->GetDC(&dc), DD_OK);
  SetPixel(dc, 9, 2, RGB(255, 255, 255));
  mono->ReleaseDC(dc);
  DDSURFACEDESC2 whole{};
  whole.dwSize = 124;
  ASSERT_EQ(mono->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint8_t*>(whole.lpSurface)[2 * whole.lPitch + 1], 0x40);
  mono->Unlock(nullptr);
  // A lock starts at a whole byte.
  RECT fromByte{8, 0, 17, 3}, withinByte{3, 0, 17, 3};
  DDSURFACEDESC2 part{};
  part.dwSize = 124;
  ASSERT_EQ(mono->Lock(&fromByte, &part, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(part.lpSurface, static_cast<uint8_t*>(whole.lpSurface) + 1);
  mono->Unlock(nullptr);
  EXPECT_EQ(mono->Lock(&withinByte, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);

  DDBLTFX fx{};
  fx.dwSize = 100;
  EXPECT_EQ(mono->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_UNSUPPORTED);
  EXPECT_EQ(sixteenColours->BltFast(0, 0, sixteenColours.Get(), nullptr, 0), DDERR_UNSUPPORTED);
  auto eight = MakeSurface(17, 3, DDSCAPS_OFFSCREENPLAIN, 8);
  EXPECT_EQ(eight->Blt(nullptr, mono.Get(), nullptr, 0, nullptr), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(SurfaceTest, LocksGiveTheRectanglesAddressAndDoNotNest) {
  auto surface = MakeSurface(10, 8, DDSCAPS_OFFSCREENPLAIN, 16);
  DDSURFACEDESC2 whole{};
  whole.dwSize = 124;
  ASSERT_EQ(surface->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
  DDSURFACEDESC2 again{};
  again.dwSize = 124;
  EXPECT_EQ(surface->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
  EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);

  RECT part{3, 2, 7, 5};
  DDSURFACEDESC2 partial{};
  partial.dwSize = 124;
  ASSERT_EQ(surface->Lock(&part, &partial, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint8_t*>(partial.lpSurface),
            static_cast<uint8_t*>(whole.lpSurface) + 2 * whole.lPitch + 3 * 2);
  EXPECT_EQ(partial.lPitch, whole.lPitch);
  surface->Unlock(&part);

  RECT outside{8, 0, 11, 2};
  EXPECT_EQ(surface->Lock(&outside, &partial, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
  partial.dwSize = 50;
  EXPECT_EQ(surface->Lock(nullptr, &partial, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
  TestDDrawRefuseNext(DDrawCall::Lock, DDERR_WASSTILLDRAWING);
  partial.dwSize = 124;
  EXPECT_EQ(surface->Lock(nullptr, &partial, 0, nullptr), DDERR_WASSTILLDRAWING);
}

TEST_F(SurfaceTest, LostSurfacesRefuseWorkUntilRestoredEmpty) {
  auto surface = MakeSurface(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 32);
  ASSERT_EQ(Fill(surface.Get(), 0x123456), DD_OK);
  TestDDrawLoseAllSurfaces();
  EXPECT_EQ(surface->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(Fill(surface.Get(), 0), DDERR_SURFACELOST);
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  HDC dc = nullptr;
  EXPECT_EQ(surface->GetDC(&dc), DDERR_SURFACELOST);

  TestDDrawRefuseNext(DDrawCall::Restore, DDERR_GENERIC);
  EXPECT_EQ(surface->Restore(), DDERR_GENERIC);
  EXPECT_EQ(surface->IsLost(), DDERR_SURFACELOST);
  ASSERT_EQ(surface->Restore(), DD_OK);
  EXPECT_EQ(surface->IsLost(), DD_OK);
  EXPECT_EQ(ReadPixels(surface.Get()), std::vector<uint32_t>(16, 0));
}

TEST_F(SurfaceTest, DeviceContextsDrawIntoTheSurfaceAndHoldItBusy) {
  for (DWORD bits : {16u, 32u}) {
    auto surface = MakeSurface(6, 4, DDSCAPS_OFFSCREENPLAIN, bits);
    HDC dc = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(surface->GetDC(&second), DDERR_DCALREADYCREATED);
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(Fill(surface.Get(), 0), DDERR_SURFACEBUSY);

    const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT area{1, 1, 3, 2};
    FillRect(dc, &area, red);
    DeleteObject(red);
    EXPECT_EQ(surface->ReleaseDC(reinterpret_cast<HDC>(&desc)), DDERR_INVALIDPARAMS);
    ASSERT_EQ(surface->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(surface->ReleaseDC(dc), DDERR_NODC);

    const uint32_t redPixel = bits == 16 ? 0xF800 : 0xFF0000;
    const std::vector<uint32_t> pixels = ReadPixels(surface.Get());
    EXPECT_EQ(pixels[6 + 1], redPixel) << bits;
    EXPECT_EQ(pixels[6 + 2], redPixel) << bits;
    EXPECT_EQ(pixels[6 + 3], 0u) << bits;
    EXPECT_EQ(pixels[0], 0u) << bits;
  }
}

TEST_F(SurfaceTest, PalettesBelongToPaletteIndexedSurfaces) {
  PALETTEENTRY entries[256]{};
  entries[7] = PALETTEENTRY{10, 20, 30, 0};
  IDirectDrawPalette* palette = nullptr;
  EXPECT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_4BIT, entries, &palette, nullptr),
            DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
  auto indexed = MakeSurface(4, 4, DDSCAPS_OFFSCREENPLAIN, 8);
  auto rgb = MakeSurface(4, 4, DDSCAPS_OFFSCREENPLAIN, 32);
  EXPECT_EQ(rgb->SetPalette(palette), DDERR_INVALIDPIXELFORMAT);
  EXPECT_EQ(indexed->SetPalette(nullptr), DDERR_NOPALETTEATTACHED);
  ASSERT_EQ(indexed->SetPalette(palette), DD_OK);

  IDirectDrawPalette* attached = nullptr;
  ASSERT_EQ(indexed->GetPalette(&attached), DD_OK);
  EXPECT_EQ(attached, palette);
  EXPECT_EQ(attached->Release(), 2u);  // ours and the surface's

  PALETTEENTRY read[2]{};
  ASSERT_EQ(palette->GetEntries(0, 6, 2, read), DD_OK);
  EXPECT_EQ(read[1].peGreen, 20);
  EXPECT_EQ(palette->SetEntries(0, 255, 2, read), DDERR_INVALIDPARAMS);
  ASSERT_EQ(palette->SetEntries(0, 254, 2, read), DD_OK);
  EXPECT_EQ(palette->Release(), 1u);
  indexed.Reset();  // the surface lets go of the palette with it
}

TEST_F(SurfaceTest, ColorKeysAreSingleValuesUnlessARangeIsAsked) {
  auto surface = MakeSurface(4, 4);
  DDCOLORKEY key{};
  EXPECT_EQ(surface->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
  key = DDCOLORKEY{5, 9};
  ASSERT_EQ(surface->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  DDCOLORKEY read{};
  ASSERT_EQ(surface->GetColorKey(DDCKEY_SRCBLT, &read), DD_OK);
  EXPECT_EQ(read.dwColorSpaceHighValue, 5u);
  ASSERT_EQ(surface->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &key), DD_OK);
  ASSERT_EQ(surface->GetColorKey(DDCKEY_SRCBLT, &read), DD_OK);
  EXPECT_EQ(read.dwColorSpaceHighValue, 9u);
  const DDSURFACEDESC2 desc = Describe(surface.Get());
  EXPECT_TRUE(desc.dwFlags & DDSD_CKSRCBLT);
  EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceLowValue, 5u);
  ASSERT_EQ(surface->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
  EXPECT_EQ(surface->GetColorKey(DDCKEY_SRCBLT, &read), DDERR_NOCOLORKEY);
}

TEST_F(SurfaceTest, OneSurfaceAnswersForEveryVersion) {
  auto surface = MakeSurface(4, 4);
  IDirectDrawSurface* first = nullptr;
  IDirectDrawSurface4* fourth = nullptr;
  ASSERT_EQ(surface->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&first)),
            S_OK);
  ASSERT_EQ(first->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&fourth)),
            S_OK);
  ASSERT_EQ(Fill(surface.Get(), 0x00ABCDEF), DD_OK);

  // A blit through the first version's interface reads the same pixels.
  IDirectDrawSurface* target = nullptr;
  ASSERT_EQ(
      MakeSurface(4, 4)->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&target)),
      S_OK);
  ASSERT_EQ(target->Blt(nullptr, first, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  IDirectDrawSurface7* targetSeven = nullptr;
  ASSERT_EQ(target->QueryInterface(IID_IDirectDrawSurface7, reinterpret_cast<void**>(&targetSeven)),
            S_OK);
  EXPECT_EQ(ReadPixels(targetSeven), std::vector<uint32_t>(16, 0x00ABCDEF));
  targetSeven->Release();
  EXPECT_EQ(target->Release(), 0u);

  void* owner = nullptr;
  ASSERT_EQ(fourth->GetDDInterface(&owner), DD_OK);
  void* sameOwner = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw, &sameOwner), S_OK);
  EXPECT_EQ(owner, sameOwner);
  static_cast<IDirectDraw*>(owner)->Release();
  static_cast<IDirectDraw*>(sameOwner)->Release();
  fourth->Release();
  EXPECT_EQ(first->Release(), 1u);
}

TEST_F(SurfaceTest, DuplicatesShareTheMemory) {
  auto surface = MakeSurface(4, 4, DDSCAPS_OFFSCREENPLAIN, 32);
  IDirectDrawSurface7* duplicate = nullptr;
  ASSERT_EQ(dd->DuplicateSurface(surface.Get(), &duplicate), DD_OK);
  ASSERT_EQ(Fill(surface.Get(), 42), DD_OK);
  EXPECT_EQ(ReadPixels(duplicate), std::vector<uint32_t>(16, 42));
  duplicate->Release();

  dd->SetCooperativeLevel(window, DDSCL_NORMAL);
  auto primary = MakePrimary();
  EXPECT_EQ(dd->DuplicateSurface(primary.Get(), &duplicate), DDERR_CANTDUPLICATE);
}

TEST_F(SurfaceTest, DepthBuffersAttachToSurfacesOfTheirSize) {
  DDSURFACEDESC2 depthDesc = OffscreenDesc(8, 8, DDSCAPS_ZBUFFER);
  depthDesc.dwFlags |= DDSD_PIXELFORMAT;
  depthDesc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  depthDesc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
  depthDesc.ddpfPixelFormat.dwZBufferBitDepth = 16;
  IDirectDrawSurface7* depth = nullptr;
  ASSERT_EQ(dd->CreateSurface(&depthDesc, &depth, nullptr), DD_OK);
  auto target = MakeSurface(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  auto smaller = MakeSurface(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);

  EXPECT_EQ(smaller->AddAttachedSurface(depth), DDERR_CANNOTATTACHSURFACE);
  EXPECT_EQ(target->AddAttachedSurface(smaller.Get()), DDERR_CANNOTATTACHSURFACE);
  ASSERT_EQ(target->AddAttachedSurface(depth), DD_OK);
  EXPECT_EQ(target->AddAttachedSurface(depth), DDERR_SURFACEALREADYATTACHED);
  DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, 0};
  IDirectDrawSurface7* found = nullptr;
  ASSERT_EQ(target->GetAttachedSurface(&caps, &found), DD_OK);
  EXPECT_EQ(found, depth);
  found->Release();
  EXPECT_EQ(depth->Release(), 1u);  // the target still holds it

  ASSERT_EQ(target->DeleteAttachedSurface(0, depth), DD_OK);
  EXPECT_EQ(target->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
  EXPECT_EQ(found, nullptr);
}

namespace {

constexpr DWORD kMipmapCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;

DDSURFACEDESC2 MipmapDesc(DWORD width, DWORD height, DWORD levels, DWORD caps = kMipmapCaps) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_MIPMAPCOUNT;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.dwMipMapCount = levels;
  desc.ddsCaps.dwCaps = caps;
  return desc;
}

// The level below, or null at the end of the chain.
ComPtr<IDirectDrawSurface7> NextLevel(IDirectDrawSurface7* level) {
  DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
  IDirectDrawSurface7* next = nullptr;
  const HRESULT result = level->GetAttachedSurface(&caps, &next);
  EXPECT_EQ(result, next ? DD_OK : DDERR_NOTFOUND);
  return ComPtr<IDirectDrawSurface7>::Attach(next);
}

}  // namespace

TEST_F(SurfaceTest, MipmapsAreChainsOfHalvingLevels) {
  IDirectDrawSurface7* made = nullptr;
  DDSURFACEDESC2 desc = MipmapDesc(8, 4, 3);
  ASSERT_EQ(dd->CreateSurface(&desc, &made, nullptr), DD_OK);
  auto top = ComPtr<IDirectDrawSurface7>::Attach(made);
  // Pitch times height, rows padded to 16 bytes.
  EXPECT_EQ(TestDDrawVideoMemoryUsed(), 32u * 4 + 16 * 2 + 16 * 1);

  // Each level has memory of its own and counts itself and the levels below.
  std::vector<ComPtr<IDirectDrawSurface7>> levels{top};
  while (auto next = NextLevel(levels.back().Get())) levels.push_back(next);
  ASSERT_EQ(levels.size(), 3u);
  for (size_t i = 0; i < levels.size(); ++i) {
    const DDSURFACEDESC2 level = Describe(levels[i].Get());
    EXPECT_EQ(level.dwWidth, std::max(8u >> i, 1u));
    EXPECT_EQ(level.dwHeight, std::max(4u >> i, 1u));
    EXPECT_TRUE(level.dwFlags & DDSD_MIPMAPCOUNT);
    EXPECT_EQ(level.dwMipMapCount, 3 - i);
    EXPECT_EQ((level.ddsCaps.dwCaps & DDSCAPS_COMPLEX) != 0, i == 0);
    ASSERT_EQ(Fill(levels[i].Get(), 0x100 + static_cast<DWORD>(i)), DD_OK);
  }
  for (size_t i = 0; i < levels.size(); ++i)
    EXPECT_EQ(ReadPixels(levels[i].Get())[0], 0x100 + i);

  // Restoring the top restores every level; levels are no surfaces of their own to duplicate
  // or detach.
  TestDDrawLoseAllSurfaces();
  EXPECT_EQ(levels[2]->IsLost(), DDERR_SURFACELOST);
  ASSERT_EQ(top->Restore(), DD_OK);
  EXPECT_EQ(levels[2]->IsLost(), DD_OK);
  IDirectDrawSurface7* duplicate = nullptr;
  EXPECT_EQ(dd->DuplicateSurface(levels[1].Get(), &duplicate), DDERR_CANTDUPLICATE);
  EXPECT_EQ(top->DeleteAttachedSurface(0, levels[1].Get()), DDERR_CANNOTDETACHSURFACE);

  // A level still held when the top goes lives on alone.
  top.Reset();
  levels.erase(levels.begin());
  EXPECT_EQ(TestDDrawLiveSurfaces(), 2u);
  levels.erase(levels.begin());
  EXPECT_EQ(NextLevel(levels[0].Get()), nullptr);
  EXPECT_FALSE(Describe(levels[0].Get()).dwFlags & DDSD_MIPMAPCOUNT);
}

TEST_F(SurfaceTest, MipmapLevelCountsAreBoundedAndTheDriverCanLackThem) {
  // Without a count a complex mipmap goes down to 1 x 1, a plain one is a single level.
  auto full = MakeSurface(8, 2, kMipmapCaps, 32);
  EXPECT_EQ(Describe(full.Get()).dwMipMapCount, 4u);
  auto plain = MakeSurface(8, 2, DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 32);
  EXPECT_EQ(Describe(plain.Get()).dwMipMapCount, 1u);

  IDirectDrawSurface7* refused = nullptr;
  for (auto [desc, result] : {std::pair{MipmapDesc(8, 2, 5), DDERR_INVALIDPARAMS},
                              std::pair{MipmapDesc(8, 2, 0), DDERR_INVALIDPARAMS},
                              std::pair{MipmapDesc(8, 2, 2, DDSCAPS_TEXTURE | DDSCAPS_MIPMAP),
                                        DDERR_INVALIDCAPS},
                              std::pair{MipmapDesc(8, 2, 2, DDSCAPS_MIPMAP | DDSCAPS_COMPLEX),
                                        DDERR_INVALIDCAPS}}) {
    EXPECT_EQ(dd->CreateSurface(&desc, &refused, nullptr), result);
  }

  DDCAPS caps{};
  caps.dwSize = 380;
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_TRUE(caps.ddsCaps.dwCaps & DDSCAPS_MIPMAP);
  TestDDrawOfferMipmaps(false);
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_FALSE(caps.ddsCaps.dwCaps & DDSCAPS_MIPMAP);
  DDSURFACEDESC2 desc = MipmapDesc(8, 2, 2);
  EXPECT_EQ(dd->CreateSurface(&desc, &refused, nullptr), DDERR_NOMIPMAPHW);
  EXPECT_EQ(refused, nullptr);
}
