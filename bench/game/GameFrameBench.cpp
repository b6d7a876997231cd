// Whole frames of the main build's game (100000 enemies) on the headless host with the default
// assets: stars, bonus items, enemies, shots, explosions, radar, text and the flip.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "display/DirectX.h"
#include "game/GameState.h"
#include "game/Orvalisunit.h"
#include "images/DIB.h"
#include "input/DXInput.h"
#include "platform/host/Platform.h"
#include "runtime/Forms.h"

const Integer EnemyShipCount = 100000;

namespace {

void BM_GameFrame(benchmark::State& state) {
  setenv("ORVALIS_HOST", "headless", 1);
  const std::filesystem::path previousFolder = std::filesystem::current_path();
  std::filesystem::current_path(ORVALIS_ASSETS_DIR);
  if (!PlatformStartup()) {
    state.SkipWithError("no host");
    return;
  }
  FormsUnitInitialize();
  DirectXUnitInitialization();
  ImagesUnitInitialize();
  DXInputUnitInitialization();

  // Showing the form starts a new game, as at the program's start.
  Application->CreateForm(OrvalisMain);
  OrvalisMain->Show();
  Application->ProcessMessages();
  for (auto _ : state) GameFrame();
  state.counters["enemies"] = EnemyCount;

  FormsUnitFinalize();
  OrvalisMain = nullptr;
  DXInputUnitFinalization();
  ImagesUnitFinalize();
  DirectXUnitFinalization();
  PlatformShutdown();
  std::filesystem::current_path(previousFolder);
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
