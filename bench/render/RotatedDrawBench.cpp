// A 64 x 64 sprite scaled to 50 x 50, turned by 30 degrees and colour-keyed onto a 1920 x 1200
// surface, 2000 times at fixed places: the compiled span routines against a plain loop. Two
// more runs show what recompiling costs: every draw at another angle, and two sprites in turn.
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

// Draw i uses angle angleOf(i) and sprite spriteOf(i); the argument selects the MMX form.
template <class AngleOf, class SpriteOf>
void DrawCompiled(benchmark::State& state, AngleOf angleOf, SpriteOf spriteOf) {
  const bool saved = UseMMX;
  SetRenderOption(1, static_cast<int32_t>(state.range(0)));
  Scene scene;
  const RECT whole = {0, 0, SpriteSize, SpriteSize};
  for (auto _ : state) {
    for (int i = 0; i < Draws; ++i)
      DrawRotatedBlend(scene.screenSurface, scene.spriteSurfaces[spriteOf(i)], scene.places[i].first,
                       scene.places[i].second, DrawnSize, DrawnSize, whole, 0.5, 0.5, angleOf(i), BlendSource1, 0,
                       true, Key);
    benchmark::ClobberMemory();
  }
  ReportPerPixel(state);
  UseMMX = saved;
}

void CompiledRotatedDraw(benchmark::State& state) {
  DrawCompiled(state, [](int) { return Angle; }, [](int) { return 0; });
}
BENCHMARK(CompiledRotatedDraw)->ArgName("mmx")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// As the game's enemies turn: the table form compiles the steps into every routine, the MMX
// form reads them at run time and so keeps the installed code.
void CompiledRotatedDrawTurning(benchmark::State& state) {
  DrawCompiled(state, [](int i) { return i; }, [](int) { return 0; });
}
BENCHMARK(CompiledRotatedDrawTurning)->ArgName("mmx")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Two sprites in turn: every draw installs a new routine.
void CompiledRotatedDrawAlternating(benchmark::State& state) {
  DrawCompiled(state, [](int) { return Angle; }, [](int i) { return i & 1; });
}
BENCHMARK(CompiledRotatedDrawAlternating)->ArgName("mmx")->Arg(1)->Unit(benchmark::kMillisecond);

void ScalarLoopRotatedDraw(benchmark::State& state) {
  Scene scene;
  const ScalarImage screen = {scene.screen.data(), ScreenWidth, ScreenHeight, ScreenWidth};
  const ScalarImage sprite = {scene.sprites[0].data(), SpriteSize, SpriteSize, SpriteSize};
  for (auto _ : state) {
    for (const auto& [x, y] : scene.places) ScalarRotatedDraw(screen, sprite, x, y, DrawnSize, DrawnSize, Angle, Key);
    benchmark::ClobberMemory();
  }
  ReportPerPixel(state);
}
BENCHMARK(ScalarLoopRotatedDraw)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
