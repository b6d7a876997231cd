// One frame of the plain drawing path at the largest layout: clear the back surface, draw
// colour-keyed sprites with the fast blit, copy the back surface onto the primary (which
// presents it).
#include <benchmark/benchmark.h>

#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/user/User.h"

namespace {

constexpr DWORD kWidth = 1920;
constexpr DWORD kHeight = 1200;

ComPtr<IDirectDrawSurface7> Make(IDirectDraw7* dd, DWORD flags, DWORD caps, DWORD width,
                                 DWORD height) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  desc.dwFlags = flags;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddsCaps.dwCaps = caps;
  IDirectDrawSurface7* surface = nullptr;
  dd->CreateSurface(&desc, &surface, nullptr);
  return ComPtr<IDirectDrawSurface7>::Attach(surface);
}

void BM_PlainFrame(benchmark::State& state) {
  void* object = nullptr;
  if (DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr) != DD_OK) {
    state.SkipWithError("no DirectDraw");
    return;
  }
  auto dd = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  auto primary = Make(dd.Get(), DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, 0, 0);
  auto back =
      Make(dd.Get(), DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, kWidth, kHeight);
  auto sprite =
      Make(dd.Get(), DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 32, 32);
  if (!primary || !back || !sprite) {
    state.SkipWithError("surfaces not made");
    return;
  }
  DDCOLORKEY key{0, 0};
  sprite->SetColorKey(DDCKEY_SRCBLT, &key);
  DDBLTFX fill{};
  fill.dwSize = 100;
  fill.dwFillColor = 0x00FF8040;
  RECT ring{8, 8, 24, 24};
  sprite->Blt(&ring, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
  const auto sprites = static_cast<DWORD>(state.range(0));

  for (auto _ : state) {
    fill.dwFillColor = 0;
    back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
    for (DWORD i = 0; i < sprites; ++i)
      back->BltFast((i * 97) % (kWidth - 32), (i * 61) % (kHeight - 32), sprite.Get(), nullptr,
                    DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    primary->Blt(nullptr, back.Get(), nullptr, DDBLT_WAIT, nullptr);
  }
}
BENCHMARK(BM_PlainFrame)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
