#include <functional>

#include "DDrawTestSupport.h"

using RefusalTest = DDrawFixture;

// Every kind of call can be refused once: the refused call fails with the chosen code, and the
// same call made again works.
TEST_F(RefusalTest, EachKindRefusesItsOwnCallOnce) {
  constexpr HRESULT kCode = MakeDDrawResult(999);
  GoFullScreen();
  auto surface = MakeSurface(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 32);
  auto other = MakeSurface(8, 8, DDSCAPS_OFFSCREENPLAIN, 32);
  DDSURFACEDESC2 depthDesc = OffscreenDesc(8, 8, DDSCAPS_ZBUFFER);
  depthDesc.dwFlags |= DDSD_PIXELFORMAT;
  depthDesc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
  depthDesc.ddpfPixelFormat.dwZBufferBitDepth = 16;
  IDirectDrawSurface7* depthRaw = nullptr;
  ASSERT_EQ(dd->CreateSurface(&depthDesc, &depthRaw, nullptr), DD_OK);
  auto depth = ComPtr<IDirectDrawSurface7>::Attach(depthRaw);
  DDSURFACEDESC2 chainDesc{};
  chainDesc.dwSize = 124;
  chainDesc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  chainDesc.dwBackBufferCount = 1;
  chainDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  IDirectDrawSurface7* frontRaw = nullptr;
  ASSERT_EQ(dd->CreateSurface(&chainDesc, &frontRaw, nullptr), DD_OK);
  auto front = ComPtr<IDirectDrawSurface7>::Attach(frontRaw);
  PALETTEENTRY entries[256]{};
  DDCOLORKEY key{0, 0};
  DDSCAPS2 backCaps{DDSCAPS_BACKBUFFER, 0, 0, 0};

  // Each call cleans up after itself so that it can run twice.
  auto release = [](auto* object) {
    if (object) object->Release();
  };
  const std::vector<std::pair<DDrawCall, std::function<HRESULT()>>> calls = {
      {DDrawCall::SetCooperativeLevel,
       [&] { return dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN); }},
      {DDrawCall::SetDisplayMode, [&] { return dd->SetDisplayMode(640, 480, 32, 0, 0); }},
      {DDrawCall::EnumDisplayModes,
       [&] {
         return dd->EnumDisplayModes(0, nullptr, nullptr, [](DDSURFACEDESC2*, void*) -> HRESULT {
           return DDENUMRET_CANCEL;
         });
       }},
      {DDrawCall::CreatePalette,
       [&] {
         IDirectDrawPalette* palette = nullptr;
         const HRESULT result = dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr);
         release(palette);
         return result;
       }},
      {DDrawCall::CreateClipper,
       [&] {
         IDirectDrawClipper* clipper = nullptr;
         const HRESULT result = dd->CreateClipper(0, &clipper, nullptr);
         release(clipper);
         return result;
       }},
      {DDrawCall::DuplicateSurface,
       [&] {
         IDirectDrawSurface7* copy = nullptr;
         const HRESULT result = dd->DuplicateSurface(surface.Get(), &copy);
         release(copy);
         return result;
       }},
      {DDrawCall::GetDC,
       [&] {
         HDC dc = nullptr;
         const HRESULT result = surface->GetDC(&dc);
         if (dc) surface->ReleaseDC(dc);
         return result;
       }},
      {DDrawCall::SetColorKey, [&] { return surface->SetColorKey(DDCKEY_SRCBLT, &key); }},
      {DDrawCall::SetClipper,
       [&] {
         IDirectDrawClipper* clipper = nullptr;
         dd->CreateClipper(0, &clipper, nullptr);
         const HRESULT result = other->SetClipper(clipper);
         if (result == DD_OK) other->SetClipper(nullptr);
         release(clipper);
         return result;
       }},
      {DDrawCall::SetPalette, [&] { return surface->SetPalette(nullptr); }},  // none attached
      {DDrawCall::AddAttachedSurface,
       [&] {
         const HRESULT result = surface->AddAttachedSurface(depth.Get());
         if (result == DD_OK) surface->DeleteAttachedSurface(0, depth.Get());
         return result;
       }},
      {DDrawCall::GetAttachedSurface,
       [&] {
         IDirectDrawSurface7* back = nullptr;
         const HRESULT result = front->GetAttachedSurface(&backCaps, &back);
         release(back);
         return result;
       }},
      {DDrawCall::Flip, [&] { return front->Flip(nullptr, DDFLIP_WAIT); }},
      {DDrawCall::SetEntries,
       [&] {
         IDirectDrawPalette* palette = nullptr;
         dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr);
         const HRESULT result = palette->SetEntries(0, 0, 1, entries);
         release(palette);
         return result;
       }},
      {DDrawCall::SetHWnd,
       [&] {
         IDirectDrawClipper* clipper = nullptr;
         dd->CreateClipper(0, &clipper, nullptr);
         const HRESULT result = clipper->SetHWnd(0, window);
         release(clipper);
         return result;
       }},
  };
  for (const auto& [kind, call] : calls) {
    const HRESULT unrefused = call();
    TestDDrawRefuseNext(kind, kCode);
    EXPECT_EQ(call(), kCode) << static_cast<int>(kind);
    EXPECT_EQ(call(), unrefused) << static_cast<int>(kind);
  }
}
