// A 64 x 64 sprite scaled to 50 x 50, turned by 30 degrees and colour-keyed onto a 1920 x 1200
// surface, 2000 times at fixed places: the compiled span routines against a plain loop, with
// one sprite and with two sprites in turn. One more run shows what recompiling costs: every
// draw at another angle.
// The machine is shared: run with --benchmark_enable_random_interleaving and repetitions.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "ScalarRotatedDraw.h"
#include "render/DXRRotate.h"

namespace {

constexpr int32_t ScreenWidth = 1920, ScreenHeight = 1200;
constexpr int32_t SpriteSize = 64, DrawnSize = 50, Draws = 2000;
constexpr int32_t Angle = 21;  // 30 degrees in 1/256 turns, rounded
constexpr uint32_t Key = 0xFF00FF;

struct Scene {
  std::vector<uint32_t> screen = std::vector<uint32_t>(ScreenWidth * ScreenHeight);
  std::vector<uint32_t> sprites[2];
  std::vector<std::pair<int32_t, int32_t>> places;
  TDXRSurface screenSurface{}, spriteSurfaces[2]{};

  Scene() {
    std::mt19937 rng(2024);
    for (auto& sprite : sprites) {
      sprite.resize(SpriteSize * SpriteSize);
      for (int32_t y = 0; y < SpriteSize; ++y)
        for (int32_t x = 0; x < SpriteSize; ++x) {
          // A round sprite: the corners are transparent, as in a ship or a star.
          const int32_t dx = x - 32, dy = y - 32;
          sprite[y * SpriteSize + x] = dx * dx + dy * dy > 30 * 30 ? Key : 0xFF000000u | (rng() & 0xFFFFFF);
        }
    }
    for (int i = 0; i < Draws; ++i)
      places.emplace_back(40 + static_cast<int32_t>(rng() % (ScreenWidth - 80)),
                          40 + static_cast<int32_t>(rng() % (ScreenHeight - 80)));
    InitRGBSurface(screenSurface, ScreenWidth, ScreenHeight, 32, screen.data(), ScreenWidth * 4, 0xFF0000, 0xFF00,
                   0xFF, 0);
    for (int i = 0; i < 2; ++i)
      InitRGBSurface(spriteSurfaces[i], SpriteSize, SpriteSize, 32, sprites[i].data(), SpriteSize * 4, 0xFF0000,
                     0xFF00, 0xFF, 0);
  }
};

void ReportPerPixel(benchmark::State& state) {
  state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(Draws) * DrawnSize * DrawnSize,
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

// Draw i uses angle angleOf(i); draws take the sprites in turn. Texels are copied 16 at a time
// where the processor can, unless `vectors` is false.
template <class AngleOf>
void DrawCompiled(benchmark::State& state, bool mmx, int sprites, AngleOf angleOf, bool vectors = true) {
  SetRenderOption(1, mmx);
  if (mmx && !UseMMX) {
    state.SkipWithError("this processor has no MMX");
    return;
  }
  const DXRProcessorFeatures processor = ProbeProcessorFeatures();
  if (vectors && !processor.AVX512) state.SetLabel("no AVX-512 here: texels copied one by one");
  TDXRMachine machine({.AVX512 = vectors && processor.AVX512});
  Scene scene;
  const RECT whole = {0, 0, SpriteSize, SpriteSize};
  for (auto _ : state) {
    for (int i = 0; i < Draws; ++i)
      DrawRotatedBlend(machine, scene.screenSurface, scene.spriteSurfaces[i % sprites], scene.places[i].first,
                       scene.places[i].second, DrawnSize, DrawnSize, whole, 0.5, 0.5, angleOf(i), BlendSource1, 0,
                       true, Key);
    benchmark::ClobberMemory();
  }
  ReportPerPixel(state);
  SetRenderOption(1, 1);
}

// One sprite drawn again and again, and two sprites in turn, each beside the plain loop doing
// the same; texels copied 16 at a time (where the processor can) or pixel by pixel.
void CompiledRotatedDraw(benchmark::State& state) {
  DrawCompiled(state, state.range(0), static_cast<int>(state.range(1)), [](int) { return Angle; },
               state.range(2));
}
BENCHMARK(CompiledRotatedDraw)
    ->ArgNames({"mmx", "sprites", "vectors"})
    ->ArgsProduct({{1, 0}, {1, 2}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

void ScalarLoopRotatedDraw(benchmark::State& state) {
  Scene scene;
  const auto sprites = static_cast<int>(state.range(0));
  const ScalarImage screen = {scene.screen.data(), ScreenWidth, ScreenHeight, ScreenWidth};
  const ScalarImage images[2] = {{scene.sprites[0].data(), SpriteSize, SpriteSize, SpriteSize},
                                 {scene.sprites[1].data(), SpriteSize, SpriteSize, SpriteSize}};
  for (auto _ : state) {
    for (int i = 0; i < Draws; ++i)
      ScalarRotatedDraw(screen, images[i % sprites], scene.places[i].first, scene.places[i].second, DrawnSize,
                        DrawnSize, Angle, Key);
    benchmark::ClobberMemory();
  }
  ReportPerPixel(state);
}
BENCHMARK(ScalarLoopRotatedDraw)->ArgName("sprites")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// As the game's enemies turn: the table form compiles the steps into every routine, the MMX
// form reads them at run time and so keeps its routine.
void CompiledRotatedDrawTurning(benchmark::State& state) {
  DrawCompiled(state, state.range(0), 1, [](int i) { return i; });
}
BENCHMARK(CompiledRotatedDrawTurning)->ArgName("mmx")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
