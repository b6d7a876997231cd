// A fixture with a fresh display device, a window to cooperate through and a DirectDraw object,
// plus helpers to make surfaces and read and write their pixels through locks.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/TestControl.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/user/User.h"

class DDrawFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.lpszClassName = "DDrawTestWindow";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    window = CreateWindowExA(0, "DDrawTestWindow", "Display", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    void* object = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr), DD_OK);
    dd = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
  }

  void TearDown() override {
    dd.Reset();
    EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);
    EXPECT_EQ(TestDDrawVideoMemoryUsed(), 0u);
    TestResetPlatform();
  }

  void GoFullScreen(DWORD width = 640, DWORD height = 480, DWORD bits = 32) {
    ASSERT_EQ(
        dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX),
        DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
  }

  static DDSURFACEDESC2 OffscreenDesc(DWORD width, DWORD height,
                                      DWORD caps = DDSCAPS_OFFSCREENPLAIN, DWORD bits = 0) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = caps;
    if (bits) {
      desc.dwFlags |= DDSD_PIXELFORMAT;
      desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
      desc.ddpfPixelFormat.dwFlags = bits == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8 : DDPF_RGB;
      desc.ddpfPixelFormat.dwRGBBitCount = bits;
    }
    return desc;
  }

  ComPtr<IDirectDrawSurface7> MakeSurface(DWORD width, DWORD height,
                                          DWORD caps = DDSCAPS_OFFSCREENPLAIN, DWORD bits = 0) {
    DDSURFACEDESC2 desc = OffscreenDesc(width, height, caps, bits);
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return ComPtr<IDirectDrawSurface7>::Attach(surface);
  }

  ComPtr<IDirectDrawSurface7> MakePrimary() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return ComPtr<IDirectDrawSurface7>::Attach(surface);
  }

  // Pixel values read through a lock, row by row.
  static std::vector<uint32_t> ReadPixels(IDirectDrawSurface7* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    std::vector<uint32_t> pixels;
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return pixels;
    const uint32_t bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < desc.dwHeight; ++y)
      for (DWORD x = 0; x < desc.dwWidth; ++x) {
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes,
                    bytes);
        pixels.push_back(value);
      }
    surface->Unlock(nullptr);
    return pixels;
  }

  static void WritePixels(IDirectDrawSurface7* surface, const std::vector<uint32_t>& pixels) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const uint32_t bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < desc.dwHeight; ++y)
      for (DWORD x = 0; x < desc.dwWidth; ++x)
        std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes,
                    &pixels[y * desc.dwWidth + x], bytes);
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
  }

  static HRESULT Fill(IDirectDrawSurface7* surface, DWORD color, RECT* rect = nullptr) {
    DDBLTFX fx{};
    fx.dwSize = 100;
    fx.dwFillColor = color;
    return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  }

  HWND window = nullptr;
  ComPtr<IDirectDraw7> dd;
};
