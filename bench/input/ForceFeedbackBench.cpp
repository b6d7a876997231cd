// Reading and clearing a stored effect tree with many children: each child must join and leave
// its parent (and the streaming collection) without a search through its siblings.
#include <benchmark/benchmark.h>

#include "input/ForceFeedback.h"

namespace {

// The stored form of a root with that many default children.
void StoreTree(Integer children, TStream& stored) {
  TForceFeedbackEffects tree(nullptr);
  for (Integer i = 0; i < children; ++i) new TForceFeedbackEffect(&tree);
  tree.WriteEffects(stored);
}

void BM_ReadStoredTree(benchmark::State& state) {
  TMemoryStream stored;
  StoreTree(static_cast<Integer>(state.range(0)), stored);
  TForceFeedbackEffects tree(nullptr);
  for (auto _ : state) {
    stored.SetPosition(0);
    tree.ReadEffects(stored);
    benchmark::DoNotOptimize(tree.Count());
  }
}
BENCHMARK(BM_ReadStoredTree)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_ClearTree(benchmark::State& state) {
  const auto children = static_cast<Integer>(state.range(0));
  TForceFeedbackEffects tree(nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    for (Integer i = 0; i < children; ++i) new TForceFeedbackEffect(&tree);
    state.ResumeTiming();
    tree.Clear();
  }
}
BENCHMARK(BM_ClearTree)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
