// The scripted game, played headless for 1200 frames, presents exactly the frames and reaches
// exactly the game states recorded in tests/game/recorded: faster drawing or simulation must not
// change a single pixel or value. Built once per enemy-ship count.
//
// ORVALIS_RECORD_GAME=1 writes the recording anew instead of comparing with it.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "ScriptedGame.h"
#include "game/GameState.h"

const Integer EnemyShipCount = ORVALIS_ENEMY_SHIP_COUNT;

namespace {

constexpr int kFrames = 1200;

struct TRecordedFrame {
  uint64_t Picture = 0, State = 0;
  bool operator==(const TRecordedFrame&) const = default;
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

class GameDeterminismTest : public GameTest {};

TEST_F(GameDeterminismTest, ScriptedGamePresentsTheRecordedFrames) {
  StartScriptedClock();
  ShowMainForm();
  std::vector<TRecordedFrame> played;
  for (int frame = 1; frame <= kFrames; ++frame) {
    PlayScriptedFrame(frame);
    played.push_back({HashPresentedFrame(), HashGameState()});
  }
  // The script reaches the states worth guarding: kills, explosions, enemy fire.
  EXPECT_LT(EnemyCount, EnemyShipCount);
  EXPECT_GT(ExplosionCount + EnemyShotCount, 0);

  if (std::getenv("ORVALIS_RECORD_GAME")) {
    WriteRecording(played);
    GTEST_SKIP() << "recorded " << RecordingPath();
  }
  const std::vector<TRecordedFrame> recorded = ReadRecording();
  ASSERT_EQ(recorded.size(), played.size()) << RecordingPath();
  for (size_t i = 0; i < played.size(); ++i) {
    ASSERT_EQ(played[i].Picture, recorded[i].Picture) << "picture of frame " << i + 1;
    ASSERT_EQ(played[i].State, recorded[i].State) << "game state after frame " << i + 1;
  }
}

}  // namespace
