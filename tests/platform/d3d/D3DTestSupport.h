// A DirectDraw fixture with Direct3D installed, plus helpers for devices, textures and quads.
#pragma once

#include <array>

#include "platform/d3d/D3D.h"
#include "platform/d3d/D3DTestControl.h"
#include "platform/ddraw/DDrawTestSupport.h"

class D3DFixture : public DDrawFixture {
 protected:
  void SetUp() override {
    DDrawFixture::SetUp();
    void* object = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D7, &object), S_OK);
    d3d = ComPtr<IDirect3D7>::Attach(static_cast<IDirect3D7*>(object));
  }

  void TearDown() override {
    d3d.Reset();
    EXPECT_EQ(TestD3DLiveObjects(), 0u);
    DDrawFixture::TearDown();
  }

  // An offscreen surface a device can render into, in video memory unless told otherwise.
  ComPtr<IDirectDrawSurface7> MakeTarget(DWORD width, DWORD height, DWORD bits = 32,
                                         DWORD placement = DDSCAPS_VIDEOMEMORY) {
    return MakeSurface(width, height, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | placement,
                       bits);
  }

  ComPtr<IDirect3DDevice7> MakeDevice(IDirectDrawSurface7* target,
                                      const GUID& guid = IID_IDirect3DHALDevice) {
    IDirect3DDevice7* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(guid, target, &device), D3D_OK);
    return ComPtr<IDirect3DDevice7>::Attach(device);
  }

  // A texture holding the given pixel values (rows top-down) in the given format.
  ComPtr<IDirectDrawSurface7> MakeTexture(DWORD width, DWORD height,
                                          const std::vector<uint32_t>& pixels, DWORD bits = 32) {
    ComPtr<IDirectDrawSurface7> texture = MakeSurface(width, height, DDSCAPS_TEXTURE, bits);
    if (texture) WritePixels(texture.Get(), pixels);
    return texture;
  }

  static void SetColorKey(IDirectDrawSurface7* surface, DWORD key) {
    DDCOLORKEY colorKey{key, key};
    ASSERT_EQ(surface->SetColorKey(DDCKEY_SRCBLT, &colorKey), DD_OK);
  }

  // The four corners of a rectangle in strip order (top-left, top-right, bottom-left,
  // bottom-right), each half a pixel up and left so the quad covers exactly the rectangle.
  static std::array<D3DTLVERTEX, 4> Quad(float left, float top, float right, float bottom,
                                         float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1,
                                         D3DCOLOR color = 0x00FFFFFF) {
    auto corner = [color](float x, float y, float u, float v) {
      return D3DTLVERTEX{x - 0.5f, y - 0.5f, 0, 1, color, 0xFFFFFFFF, u, v};
    };
    return {corner(left, top, u0, v0), corner(right, top, u1, v0), corner(left, bottom, u0, v1),
            corner(right, bottom, u1, v1)};
  }

  static HRESULT DrawStrip(IDirect3DDevice7* device, std::array<D3DTLVERTEX, 4>& quad) {
    return device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad.data(), 4,
                                 D3DDP_WAIT);
  }

  ComPtr<IDirect3D7> d3d;
};
