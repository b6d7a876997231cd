// The scripted game, played headless, presents exactly the frames and reaches exactly the game
// states recorded in tests/game/recorded: faster drawing or simulation must not change a single
// pixel or value, and neither must the number of worker threads. Built once per enemy-ship count.
//
// ORVALIS_RECORD_GAME=1 writes the recording anew instead of comparing with it.
#include <oneapi/tbb/task_arena.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "ScriptedGame.h"
#include "game/GameState.h"
#include "platform/d3d/D3DTestControl.h"

const Integer EnemyShipCount = ORVALIS_ENEMY_SHIP_COUNT;

namespace {

constexpr int kFrames = 1200;

// The short run: every frame until the swarm has gathered round the player (from about frame
// 600 on), the pictures of the first frames and of the gathered swarm. The frames between are
// played without rasterizing: nothing in the game reads pixels, and every frame is drawn afresh.
constexpr int kShortRunFrames = 640;
bool DrawnInShortRun(int frame) { return frame <= 30 || frame > 600; }

struct TRecordedFrame {
  uint64_t Picture = 0, State = 0;
};

std::string RecordingPath() {
  return std::string(ORVALIS_RECORDED_DIR) + "/scripted-game-" +
         std::to_string(EnemyShipCount) + ".txt";
}

std::vector<TRecordedFrame> ReadRecording() {
  std::vector<TRecordedFrame> frames;
  std::ifstream file(RecordingPath());
  TRecordedFrame frame;
  while (file >> std::hex >> frame.Picture >> frame.State) frames.push_back(frame);
  return frames;
}

void WriteRecording(const std::vector<TRecordedFrame>& frames) {
  std::ofstream file(RecordingPath());
  for (const TRecordedFrame& frame : frames)
    file << std::hex << frame.Picture << ' ' << frame.State << '\n';
}

class GameDeterminismTest : public GameTest {
 protected:
  // A new game leaves the animation counters where the last game left them, as the program
  // does; the script was recorded from the program's start, where they are zero.
  void SetUp() override {
    GameTest::SetUp();
    SmokeCooldown = ShotAnimTick = EnemyShotAnimTick = SmokeAnimTick = BlipFrame = 0;
  }

  // Plays frames 1..lastFrame of the script, each compared with the recording: the game state
  // after every frame, the picture where drawn(frame) holds (the other frames are not rasterized).
  template <typename Drawn>
  void PlayAgainstRecording(int lastFrame, const Drawn& drawn) {
    const std::vector<TRecordedFrame> recorded = ReadRecording();
    ASSERT_EQ(recorded.size(), static_cast<size_t>(kFrames)) << RecordingPath();
    StartScriptedClock();
    ShowMainForm();
    for (int frame = 1; frame <= lastFrame; ++frame) {
      TestD3DSetRasterizing(drawn(frame));
      PlayScriptedFrame(frame);
      if (drawn(frame)) {
        ASSERT_EQ(HashPresentedFrame(), recorded[frame - 1].Picture)
            << "picture of frame " << frame;
      }
      ASSERT_EQ(HashGameState(), recorded[frame - 1].State) << "game state after frame " << frame;
    }
  }
};

TEST_F(GameDeterminismTest, ScriptedGamePresentsTheRecordedFrames) {
  const bool recording = std::getenv("ORVALIS_RECORD_GAME") != nullptr;
  if (recording) {
    StartScriptedClock();
    ShowMainForm();
    std::vector<TRecordedFrame> played;
    for (int frame = 1; frame <= kFrames; ++frame) {
      PlayScriptedFrame(frame);
      played.push_back({HashPresentedFrame(), HashGameState()});
    }
    WriteRecording(played);
  } else {
    PlayAgainstRecording(kFrames, [](int) { return true; });
  }
  // The script reaches the states worth guarding: kills, explosions, enemy fire.
  EXPECT_LT(EnemyCount, EnemyShipCount);
  EXPECT_GT(ExplosionCount + EnemyShotCount, 0);
  if (recording) GTEST_SKIP() << "recorded " << RecordingPath();
}

// The short run in a task arena of one thread and in one of three: how the passes' work is split
// among threads must not show in a pixel or a value. The three-thread run is also the one
// ThreadSanitizer watches (see test.sh).
class GameWorkerCountTest : public GameDeterminismTest,
                            public ::testing::WithParamInterface<int> {};

TEST_P(GameWorkerCountTest, ShortRunPresentsTheRecordedFrames) {
  tbb::task_arena arena(GetParam());
  arena.execute([this] { PlayAgainstRecording(kShortRunFrames, DrawnInShortRun); });
  // The swarm has gathered: a good share of the enemies is in view.
  EXPECT_GT(DrawnEnemyCount * 10, EnemyCount);
}

INSTANTIATE_TEST_SUITE_P(Arena, GameWorkerCountTest, ::testing::Values(1, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == 1 ? "OneThread" : "ThreeThreads");
                         });

}  // namespace
