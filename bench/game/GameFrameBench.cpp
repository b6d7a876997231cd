// Whole frames of the main build's game (100000 enemies) on the headless host (or the one
// ORVALIS_HOST names) with the default assets, played by the determinism test's scripted player from its fixed clock: the early game
// (frames 1-60), and the converged game where the swarm has gathered round the player (20 frames
// after frame 780), also with the rasterizer off. Each reports the median milliseconds a frame
// as its time, the median of each pass of the frame, the processor time of all the program's
// threads a timed frame (the work done, which the time hides where workers stand idle), and what
// the last frame held.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "dxbase/DirectX.h"
#include "game/GameState.h"
#include "game/Orvalisunit.h"
#include "images/DIB.h"
#include "input/DXInput.h"
#include "platform/d3d/D3DTestControl.h"
#include "platform/host/Platform.h"
#include "runtime/Forms.h"
#include "tests/game/ScriptedGame.h"

const Integer EnemyShipCount = 100000;

namespace {

// The program's start-up and shut-down around a scripted game, shown and ready for frame 1.
class TScriptedGame {
 public:
  TScriptedGame() : FPreviousFolder(std::filesystem::current_path()) {
    // Headless unless a host is named: ORVALIS_HOST=sdl under a virtual display times the
    // real present.
    setenv("ORVALIS_HOST", "headless", 0);
    std::filesystem::current_path(ORVALIS_ASSETS_DIR);
    FStarted = PlatformStartup();
    if (!FStarted) return;
    FormsUnitInitialize();
    DirectXUnitInitialization();
    ImagesUnitInitialize();
    DXInputUnitInitialization();
    StartScriptedClock();
    Application->CreateForm(OrvalisMain);
    OrvalisMain->Show();
    Application->ProcessMessages();
  }
  ~TScriptedGame() {
    if (FStarted) {
      FormsUnitFinalize();
      OrvalisMain = nullptr;
      DXInputUnitFinalization();
      ImagesUnitFinalize();
      DirectXUnitFinalization();
      PlatformShutdown();
    }
    std::filesystem::current_path(FPreviousFolder);
  }
  bool Started() const { return FStarted; }

 private:
  std::filesystem::path FPreviousFolder;
  bool FStarted = false;
};

// The processor time all the program's threads have used, in milliseconds.
double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Plays frames first..last of a new scripted game, drawn from frame `firstDrawn` on and timed
// from `firstTimed` on (the frames before are played without rasterizing: nothing in the game
// reads pixels).
void PlayTimedFrames(benchmark::State& state, int firstDrawn, int firstTimed, int last) {
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    TScriptedGame game;
    if (!game.Started()) {
      state.SkipWithError("no host");
      return;
    }
    std::vector<double> frameMs;
    std::vector<std::vector<double>> passMs(FramePasses.size());
    double cpuMsAtFirstTimed = 0;
    for (int frame = 1; frame <= last; ++frame) {
      TestD3DSetRasterizing(frame >= firstDrawn);
      PrepareScriptedFrame(frame);
      if (frame < firstTimed) {
        GameFrame();
        continue;
      }
      if (frame == firstTimed) cpuMsAtFirstTimed = ProcessCpuMs();
      // The passes one by one, as GameFrame runs them, each on the clock.
      const Clock::time_point frameStart = Clock::now();
      Clock::time_point passStart = frameStart;
      for (size_t p = 0; p < FramePasses.size(); ++p) {
        FramePasses[p].Run();
        const Clock::time_point passEnd = Clock::now();
        passMs[p].push_back(std::chrono::duration<double, std::milli>(passEnd - passStart).count());
        passStart = passEnd;
      }
      frameMs.push_back(std::chrono::duration<double, std::milli>(passStart - frameStart).count());
    }
    state.SetIterationTime(Median(frameMs) / 1000);
    state.counters["cpu ms"] =
        (ProcessCpuMs() - cpuMsAtFirstTimed) / static_cast<double>(frameMs.size());
    for (size_t p = 0; p < FramePasses.size(); ++p)
      state.counters[std::string(FramePasses[p].Name) + " ms"] = Median(passMs[p]);
    state.counters["enemies"] = EnemyCount;
    state.counters["on screen"] = DrawnEnemyCount;
    state.counters["explosions"] = ExplosionCount;
    state.counters["enemy shots"] = EnemyShotCount;
  }
  TestD3DSetRasterizing(true);
}

void BM_EarlyGame(benchmark::State& state) { PlayTimedFrames(state, 1, 1, 60); }
BENCHMARK(BM_EarlyGame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_ConvergedGame(benchmark::State& state) { PlayTimedFrames(state, 780, 781, 800); }
BENCHMARK(BM_ConvergedGame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The same frames with no pixel rasterized: what the game and the sprite path take by themselves.
void BM_EarlyGameUnrasterized(benchmark::State& state) { PlayTimedFrames(state, 61, 1, 60); }
BENCHMARK(BM_EarlyGameUnrasterized)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

void BM_ConvergedGameUnrasterized(benchmark::State& state) {
  PlayTimedFrames(state, 801, 781, 800);
}
BENCHMARK(BM_ConvergedGameUnrasterized)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
