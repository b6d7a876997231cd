#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "game/GameState.h"

namespace {

// A new game from the default assets, with the frame's counters and cooldowns at zero and the
// enemies moved far from the player, out of reach of each other.
class GameFrameTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ShowMainForm();
    NearStarTick = FarStarTick = 0;
    ShotAnimTick = EnemyShotAnimTick = SmokeAnimTick = 0;
    BlipFrame = 0;
    FireCooldown = SmokeCooldown = 0;
    for (Integer i = 1; i <= EnemyCount; ++i) {
      EnemyShip[i].X = -100000.0 * i;
      EnemyShip[i].Y = -100000;
    }
  }

  // Pure white pixels (only text is drawn in pure white) of the last presented frame in the
  // rows top..top+20 at the display's left.
  static Integer WhitePixelsInRows(int32_t top) {
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
    if (!TestLastFrame(pixels, width, height)) return -1;
    POINT origin{0, 0};
    ClientToScreen(OrvalisMain->DXDraw->Handle(), &origin);
    Integer white = 0;
    for (int32_t y = origin.y + top; y < origin.y + top + 20 && y < height; ++y)
      for (int32_t x = origin.x; x < origin.x + 200 && x < width; ++x)
        if (pixels[static_cast<size_t>(y) * width + x] == 0xFFFFFF) ++white;
    return white;
  }
};

TEST_F(GameFrameTest, StarCountersAdvanceAndRadarBlipsCycleThroughSixFrames) {
  std::vector<Integer> blips, nearTicks;
  for (int frame = 0; frame < 13; ++frame) {
    GameFrame();
    blips.push_back(BlipFrame);
    nearTicks.push_back(NearStarTick);
  }
  EXPECT_EQ(blips, (std::vector<Integer>{1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1}));
  // The star passes start their counters again once they have animated.
  EXPECT_EQ(nearTicks, (std::vector<Integer>{1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(FarStarTick, 1);
}

TEST_F(GameFrameTest, AnimationCountersRunOnlyWhileTheirTableHoldsEntries) {
  GameFrame();
  EXPECT_EQ(SmokeAnimTick, 0);
  EXPECT_EQ(EnemyShotAnimTick, 0);
  EXPECT_EQ(ShotAnimTick, 0);
  SmokeCount = 1;
  SmokePuff[1] = TSmokePuff{};
  SmokePuff[1].Life = 18;
  GameFrame();
  GameFrame();
  EXPECT_EQ(SmokeAnimTick, 2);
  GameFrame();
  EXPECT_EQ(SmokeAnimTick, 0) << "smoke animates every third frame";
  EXPECT_EQ(EnemyShotAnimTick, 0);
}

TEST_F(GameFrameTest, CooldownsCountDownToZeroForThePlayerAndEveryLiveEnemy) {
  FireCooldown = 2;
  SmokeCooldown = 1;
  EnemyCount = 3;
  EnemyShip[1].FireCooldown = 60;
  EnemyShip[2].FireCooldown = 0;
  EnemyShip[3].FireCooldown = 1;
  EnemyShip[4].FireCooldown = 9;  // beyond the live entries: left alone
  GameFrame();
  EXPECT_EQ(FireCooldown, 1);
  EXPECT_EQ(SmokeCooldown, 0);
  EXPECT_EQ(EnemyShip[1].FireCooldown, 59);
  EXPECT_EQ(EnemyShip[2].FireCooldown, 0);
  EXPECT_EQ(EnemyShip[3].FireCooldown, 0);
  EXPECT_EQ(EnemyShip[4].FireCooldown, 9);
  GameFrame();
  GameFrame();
  EXPECT_EQ(FireCooldown, 0);
  EXPECT_EQ(EnemyShip[1].FireCooldown, 57);
}

TEST_F(GameFrameTest, EveryFramePresentsTheTextLinesTheSecondOnlyWithEnemies) {
  const uint32_t presented = TestFrameCount();
  GameFrame();
  EXPECT_EQ(TestFrameCount(), presented + 1);
  EXPECT_GT(WhitePixelsInRows(0), 20) << "the frame-rate line";
  EXPECT_GT(WhitePixelsInRows(50), 20) << "the on-screen enemy count";

  EnemyCount = 0;
  GameFrame();
  EXPECT_GT(WhitePixelsInRows(0), 20);
  EXPECT_EQ(WhitePixelsInRows(50), 0) << "no enemy pass, no second line";
}

// Pure white pixels of the back surface in the 20 rows from `top` (text only is pure white).
std::vector<bool> WhiteMask(Integer top) {
  TDirectDrawSurface* surface = OrvalisMain->DXDraw->Surface();
  std::vector<bool> mask;
  for (Integer y = top; y < top + 20; ++y)
    for (Integer x = 0; x < 300; ++x) mask.push_back((surface->Pixels(x, y) & 0xFFFFFF) == 0xFFFFFF);
  return mask;
}

// The mask the given text leaves when written alone in the game's font.
std::vector<bool> TextMask(Integer top, const std::string& text) {
  TDirectDrawSurface* surface = OrvalisMain->DXDraw->Surface();
  surface->Fill(0);
  TDirectDrawSurfaceCanvas* canvas = surface->Canvas();
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(clWhite);
  canvas->Font()->SetSize(12);
  canvas->TextOut(0, top, text);
  canvas->Release();
  return WhiteMask(top);
}

TEST_F(GameFrameTest, TextLinesCountLiveExplosionsAndEnemiesInView) {
  EnemyCount = 3;
  EnemyShip[1].X = PlayerX + 100;
  EnemyShip[1].Y = PlayerY + 300;
  EnemyShip[2].X = PlayerX - 200;
  EnemyShip[2].Y = PlayerY;
  ExplosionCount = 3;
  for (Integer i = 1; i <= 3; ++i) ExplosionEffect[i] = {PlayerX, PlayerY + 5000, 1, 1};
  ExplosionEffect[2].Frame = 29;  // leaves in this frame, before the line is written
  GameFrame();
  const std::vector<bool> rateLine = WhiteMask(0), enemyLine = WhiteMask(50);
  EXPECT_EQ(rateLine, TextMask(0, "FPS: 0, Explosions2"));
  EXPECT_EQ(enemyLine, TextMask(50, "Anzahl der Schiffe: 2"));
  EXPECT_NE(enemyLine, TextMask(50, "Anzahl der Schiffe: 3"));
}

TEST_F(GameFrameTest, HeldStatesActAfterTheFlipInTheirOrder) {
  TurnRate = 0.5L;
  Speed = 0;
  TestPressKey(VK_LEFT);
  TestPressKey(VK_RIGHT);
  TestPressKey(VK_UP);
  GameFrame();
  EXPECT_NEAR(static_cast<double>(TurnRate), 0.5, 1e-15) << "left and right cancel, no decay";
  EXPECT_NEAR(Speed, 0.08, 1e-15);
  EXPECT_EQ(SmokeCount, 1);
  EXPECT_EQ(Thrusting, 0) << "cleared by the move";
  TestReleaseKey(VK_LEFT);
  TestReleaseKey(VK_RIGHT);
  TestReleaseKey(VK_UP);
  GameFrame();
  EXPECT_NEAR(static_cast<double>(TurnRate), 0.44, 1e-15);
  EXPECT_EQ(Speed, 0);
}

TEST_F(GameFrameTest, ShotsFlyAndExplosionsAreCountedBeforeThePicture) {
  TestPressKey(VK_SPACE);
  GameFrame();  // fires after the flip
  TestReleaseKey(VK_SPACE);
  ASSERT_EQ(ShotCount, 1);
  // An enemy right in the shot's path: destroyed in the next frame, its explosion live.
  EnemyShip[1].X = Shot[1].X;
  EnemyShip[1].Y = Shot[1].Y + Shot[1].Speed;
  const Integer enemies = EnemyCount;
  GameFrame();
  EXPECT_EQ(EnemyCount, enemies - 1);
  EXPECT_EQ(ExplosionCount, 1);
  EXPECT_EQ(ExplosionEffect[1].Frame, 2) << "aged once in the frame of the kill";
}

}  // namespace
