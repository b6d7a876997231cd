// Sprites as the sprite renderer draws them: colour-keyed, bilinear-filtered quads into a 32-bit
// back surface, from textures whose texels are a keyed border round an opaque disc. Each frame
// ends with the target locked, as presenting it would, so drawing kept back is counted too.
#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "platform/d3d/D3D.h"
#include "platform/d3d/D3DTestControl.h"
#include "platform/kernel/ComPtr.h"

namespace {

constexpr DWORD kSpriteSide = 64;
constexpr DWORD kKey = 0;

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

// A keyed border round an opaque disc of varied colours, as a sprite's picture.
void FillSprite(IDirectDrawSurface7* texture, uint32_t seed) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  if (texture->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
  for (DWORD y = 0; y < desc.dwHeight; ++y)
    for (DWORD x = 0; x < desc.dwWidth; ++x) {
      const double dx = (x + 0.5) / desc.dwWidth - 0.5, dy = (y + 0.5) / desc.dwHeight - 0.5;
      const uint32_t texel =
          dx * dx + dy * dy > 0.2 ? kKey : (x * 0x030201 + y * 0x010305 + seed) | 0x404040;
      std::memcpy(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch + x * 4, &texel, 4);
    }
  texture->Unlock(nullptr);
}

struct Scene {
  ComPtr<IDirectDraw7> dd;
  ComPtr<IDirectDrawSurface7> back;
  std::vector<ComPtr<IDirectDrawSurface7>> textures;
  ComPtr<IDirect3DDevice7> device;

  bool Open(benchmark::State& state, DWORD width, DWORD height, int textureCount) {
    InstallDirect3D();
    void* object = nullptr;
    if (DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr) != DD_OK) {
      state.SkipWithError("no DirectDraw");
      return false;
    }
    dd = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
    back = Make(dd.Get(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, width, height);
    for (int i = 0; i < textureCount; ++i) {
      textures.push_back(Make(dd.Get(), DDSCAPS_TEXTURE, kSpriteSide, kSpriteSide));
      FillSprite(textures.back().Get(), static_cast<uint32_t>(i) * 0x1F3D5B);
      DDCOLORKEY key{kKey, kKey};
      textures.back()->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    if (dd->QueryInterface(IID_IDirect3D7, &object) != S_OK) {
      state.SkipWithError("no Direct3D");
      return false;
    }
    auto d3d = ComPtr<IDirect3D7>::Attach(static_cast<IDirect3D7*>(object));
    IDirect3DDevice7* raw = nullptr;
    if (d3d->CreateDevice(IID_IDirect3DHALDevice, back.Get(), &raw) != D3D_OK) {
      state.SkipWithError("no device");
      return false;
    }
    device = ComPtr<IDirect3DDevice7>::Attach(raw);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    return true;
  }

  // A quad of the given side turned by angle (radians) about its centre.
  void DrawSprite(int texture, float cx, float cy, float side, float angle) {
    const float c = std::cos(angle) * side / 2, s = std::sin(angle) * side / 2;
    D3DTLVERTEX quad[4] = {{cx - c + s, cy - s - c, 0, 1, 0x00FFFFFF, 0, 0, 0},
                           {cx + c + s, cy + s - c, 0, 1, 0x00FFFFFF, 0, 1, 0},
                           {cx - c - s, cy - s + c, 0, 1, 0x00FFFFFF, 0, 0, 1},
                           {cx + c - s, cy + s + c, 0, 1, 0x00FFFFFF, 0, 1, 1}};
    device->SetTexture(0, nullptr);
    device->SetTexture(0, textures[texture].Get());
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad, 4, D3DDP_WAIT);
  }

  // What presenting the frame does first: read the target.
  void Observe() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    if (back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) {
      benchmark::DoNotOptimize(*static_cast<BYTE*>(desc.lpSurface));
      back->Unlock(nullptr);
    }
  }
};

// A hundred 64-pixel sprites, upright (0) or turned (32 of 256 steps).
void BM_SpriteQuads(benchmark::State& state) {
  Scene scene;
  if (!scene.Open(state, 480, 281, 1)) return;
  const float angle = static_cast<float>(state.range(0)) * std::numbers::pi_v<float> / 128;
  for (auto _ : state) {
    for (int sprite = 0; sprite < 100; ++sprite)
      scene.DrawSprite(0, static_cast<float>(sprite % 10) * 45 + 32,
                       static_cast<float>(sprite / 10) * 26 + 32, kSpriteSide, angle);
    scene.Observe();
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_SpriteQuads)->Arg(0)->Arg(32)->Unit(benchmark::kMicrosecond);

// A frame of the gathered swarm: 48000 keyed bilinear sprites of 50 and 100 pixels at random
// angles piled on a 1024 x 768 screen, most of them hidden by later ones. Arguments: whether
// pixels are shaded several at once (1) or one at a time (0), so both ways can be timed side by
// side on a busy machine; and the worker threads allowed (0: all), where one shows the work the
// pixels cost rather than how it spreads.
void BM_DenseConvergedBatch(benchmark::State& state) {
  std::optional<tbb::global_control> workers;
  if (state.range(1) > 0)
    workers.emplace(tbb::global_control::max_allowed_parallelism,
                    static_cast<size_t>(state.range(1)));
  Scene scene;
  if (!scene.Open(state, 1024, 768, 8)) return;
  TestD3DSetWideShading(scene.device.Get(), state.range(0) != 0);
  struct Sprite {
    int texture;
    float x, y, side, angle;
  };
  std::mt19937 random(780);
  std::uniform_real_distribution<float> unit(0, 1);
  std::vector<Sprite> sprites(48000);
  for (Sprite& sprite : sprites)
    sprite = {static_cast<int>(random() % 8), unit(random) * 1100 - 38, unit(random) * 840 - 36,
              unit(random) < 0.25f ? 100.0f : 50.0f, unit(random) * 2 * std::numbers::pi_v<float>};
  auto drawFrame = [&] {
    for (const Sprite& sprite : sprites)
      scene.DrawSprite(sprite.texture, sprite.x, sprite.y, sprite.side, sprite.angle);
    scene.Observe();
  };
  drawFrame();  // the first frame also grows the working memory of every later one
  for (auto _ : state) drawFrame();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sprites.size()));
}
BENCHMARK(BM_DenseConvergedBatch)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"wide", "workers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
