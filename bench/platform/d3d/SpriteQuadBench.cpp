// Sprites as the sprite renderer draws them: colour-keyed, bilinear-filtered 64 x 64 quads into
// a 32-bit back surface of the game's layout, upright and turned.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/d3d/D3D.h"
#include "platform/kernel/ComPtr.h"

namespace {

constexpr DWORD kSpriteSide = 64;

ComPtr<IDirectDrawSurface7> Make(IDirectDraw7* dd, DWORD caps, DWORD width, DWORD height) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddsCaps.dwCaps = caps;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 32;
  IDirectDrawSurface7* surface = nullptr;
  dd->CreateSurface(&desc, &surface, nullptr);
  return ComPtr<IDirectDrawSurface7>::Attach(surface);
}

void BM_SpriteQuads(benchmark::State& state) {
  InstallDirect3D();
  void* object = nullptr;
  if (DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr) != DD_OK) {
    state.SkipWithError("no DirectDraw");
    return;
  }
  auto dd = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
  auto back = Make(dd.Get(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 480, 281);
  auto texture = Make(dd.Get(), DDSCAPS_TEXTURE, kSpriteSide, kSpriteSide);
  if (dd->QueryInterface(IID_IDirect3D7, &object) != S_OK) {
    state.SkipWithError("no Direct3D");
    return;
  }
  auto d3d = ComPtr<IDirect3D7>::Attach(static_cast<IDirect3D7*>(object));
  IDirect3DDevice7* raw = nullptr;
  if (d3d->CreateDevice(IID_IDirect3DHALDevice, back.Get(), &raw) != D3D_OK) {
    state.SkipWithError("no device");
    return;
  }
  auto device = ComPtr<IDirect3DDevice7>::Attach(raw);
  DDCOLORKEY key{0, 0};
  texture->SetColorKey(DDCKEY_SRCBLT, &key);
  device->SetTexture(0, texture.Get());
  device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);

  const float angle = static_cast<float>(state.range(0)) * 3.14159265f / 128;
  const float c = std::cos(angle) * kSpriteSide, s = std::sin(angle) * kSpriteSide;
  for (auto _ : state) {
    for (int sprite = 0; sprite < 100; ++sprite) {
      const float x = static_cast<float>(sprite % 10) * 45, y = static_cast<float>(sprite / 10) * 26;
      D3DTLVERTEX quad[4] = {{x, y, 0, 1, 0x00FFFFFF, 0, 0, 0},
                             {x + c, y + s, 0, 1, 0x00FFFFFF, 0, 1, 0},
                             {x - s, y + c, 0, 1, 0x00FFFFFF, 0, 0, 1},
                             {x + c - s, y + s + c, 0, 1, 0x00FFFFFF, 0, 1, 1}};
      device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad, 4, D3DDP_WAIT);
    }
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_SpriteQuads)->Arg(0)->Arg(32);

}  // namespace

BENCHMARK_MAIN();
