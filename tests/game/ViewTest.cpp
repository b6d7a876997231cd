#include <gtest/gtest.h>

#include "GameTestSupport.h"
#include "game/GameState.h"
#include "game/View.h"

namespace {

TEST(ViewTransform, TurnsTheWorldByMinusTheHeading) {
  TViewOffset ahead = TViewTransform(0)(500, 600, 500, 500);
  EXPECT_EQ(ahead.X, 0);
  EXPECT_EQ(ahead.Y, 100) << "straight ahead is straight up";

  const TViewTransform quarterTurn(90);
  TViewOffset toPlusX = quarterTurn(600, 500, 500, 500);
  EXPECT_NEAR(static_cast<double>(toPlusX.X), 0, 1e-12);
  EXPECT_NEAR(static_cast<double>(toPlusX.Y), 100, 1e-12);
  TViewOffset toPlusY = quarterTurn(500, 600, 500, 500);
  EXPECT_NEAR(static_cast<double>(toPlusY.X), -100, 1e-12);
  EXPECT_NEAR(static_cast<double>(toPlusY.Y), 0, 1e-12);
  TViewOffset atCamera = quarterTurn(500, 500, 500, 500);
  EXPECT_EQ(atCamera.X, 0);
  EXPECT_EQ(atCamera.Y, 0);
}

TEST(ViewSquare, StrictOnAllSidesAroundTheRoundedCamera) {
  const TViewSquare square(1000.0, 1000.0, 640);
  EXPECT_TRUE(square.Contains(1639, 1000));
  EXPECT_FALSE(square.Contains(1640, 1000));
  EXPECT_FALSE(square.Contains(1000, 360));
  EXPECT_TRUE(square.Contains(1000, 361));
  // The camera is rounded (ties to even) before the bounds are taken.
  EXPECT_TRUE(TViewSquare(1000.6, 1000.0, 640).Contains(1640, 1000));
  EXPECT_FALSE(TViewSquare(1000.5, 1000.0, 640).Contains(1640, 1000));
  EXPECT_TRUE(TViewSquare(1001.5, 1000.0, 640).Contains(1641, 1000));
  // Real positions compare as reals.
  EXPECT_TRUE(square.Contains(1639.999, 1000.0));
  EXPECT_FALSE(square.Contains(1640.0, 1000.0));
}

TEST(ScreenAngle, RoundedTurnsOf256PerCircleRelativeToTheHeading) {
  Heading = 0;
  EXPECT_EQ(ScreenAngle(90), 64);
  EXPECT_EQ(ScreenAngle(-45), -32);
  EXPECT_EQ(ScreenAngle(1), 1);
  Heading = 100;
  EXPECT_EQ(ScreenAngle(100), 0);
  EXPECT_EQ(ScreenAngle(460), 256) << "angles are not wrapped";
  Heading = 0;
}

// A running game with the world emptied around the player, so that single objects can be
// drawn and found on the back surface.
class DrawingTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ShowMainForm();
    for (Integer i = 1; i <= StarLayerSize; ++i) {
      NearStarLayer[i] = {-100000, -100000, 1};
      FarStarLayer[i] = {-100000, -100000, 13};
    }
    for (Integer i = 1; i <= BonusItemCount; ++i) BonusItem[i] = {-100000, -100000, 0};
    EnemyCount = ShotCount = EnemyShotCount = SmokeCount = ExplosionCount = 0;
    PlayerX = PlayerY = FarCameraX = FarCameraY = 10000;
    Heading = 0;
  }
  static DWORD Pixel(Integer x, Integer y) { return OrvalisMain->DXDraw->Surface()->Pixels(x, y); }
};

TEST_F(DrawingTest, ObjectAheadOrToTheRightOfTheTurnedShipIsDrawnAboveTheCentre) {
  BonusItem[1] = {10000, 10100, 0};
  DrawStars();
  DrawBonus();
  EXPECT_NE(Pixel(CenterX, CenterY - 100), 0u);
  EXPECT_EQ(Pixel(CenterX, CenterY + 100), 0u);

  Heading = 90;
  BonusItem[1] = {10100, 10000, 0};
  DrawStars();
  DrawBonus();
  EXPECT_NE(Pixel(CenterX, CenterY - 100), 0u);
  EXPECT_EQ(Pixel(CenterX + 100, CenterY), 0u);
}

TEST_F(DrawingTest, BonusItemsAnimateTwiceOnScreenOnceOnRadarAndNotBeyond) {
  BonusItem[1] = {10000, 10100, 5};                          // on screen
  BonusItem[2] = {10000 + ViewRange + 10, 10000, 5};         // inside the radar square only
  BonusItem[3] = {10000 + ViewRange + RadarRange, 10000, 5};  // beyond it
  DrawBonus();
  DrawRadar();
  EXPECT_EQ(BonusItem[1].Frame, 7);
  EXPECT_EQ(BonusItem[2].Frame, 6);
  EXPECT_EQ(BonusItem[3].Frame, 5);
  BonusItem[1].Frame = 38;
  DrawBonus();
  EXPECT_EQ(BonusItem[1].Frame, 0);
}

TEST_F(DrawingTest, StarsAnimateOnTheirTicksOnlyWhileInView) {
  NearStarLayer[1] = {10050, 10050, 12};
  NearStarLayer[2] = {20000, 20000, 3};  // off screen: frozen
  FarStarLayer[1] = {10000, 9990, 21};
  NearStarTick = 1;
  FarStarTick = 3;
  DrawStars();
  EXPECT_EQ(NearStarLayer[1].Frame, 12) << "not on this tick";
  NearStarTick = 2;
  FarStarTick = 4;
  DrawStars();
  EXPECT_EQ(NearStarLayer[1].Frame, 0);
  EXPECT_EQ(NearStarLayer[2].Frame, 3);
  EXPECT_EQ(FarStarLayer[1].Frame, 13);
  EXPECT_EQ(NearStarTick, 0);
  EXPECT_EQ(FarStarTick, 0);
}

// A list with too few pictures raises at the first entry a pass draws: that entry has animated,
// the later ones have not, and the pass's tick is not reset.
TEST_F(DrawingTest, ADrawingThatRaisesLeavesTheLaterEntriesAndTheTickAsTheyWere) {
  ShotCount = 2;
  for (Integer i = 1; i <= 2; ++i) {
    Shot[i] = {};
    Shot[i].X = 10000;
    Shot[i].Y = 10100 + i;
    Shot[i].Frame = 2;
  }
  ShotAnimTick = 1;
  OrvalisMain->Weapons->Items()->Clear();
  EXPECT_THROW(DrawShots(), EListError);
  EXPECT_EQ(Shot[1].Frame, 3) << "the entry animates before it is drawn";
  EXPECT_EQ(Shot[2].Frame, 2);
  EXPECT_EQ(ShotAnimTick, 1);

  SmokeCount = 2;
  SmokePuff[1] = SmokePuff[2] = {10000, 10050, 18, 0, 0, 4};
  SmokeAnimTick = 3;
  OrvalisMain->abgas->Items()->Clear();
  EXPECT_THROW(DrawSmoke(), EListError);
  EXPECT_EQ(SmokePuff[1].Frame, 5);
  EXPECT_EQ(SmokePuff[2].Frame, 4);
  EXPECT_EQ(SmokeAnimTick, 3);

  NearStarLayer[1] = NearStarLayer[2] = {10050, 10050, 4};
  NearStarTick = 2;
  FarStarTick = 4;
  OrvalisMain->Stars1->Items()->Clear();
  EXPECT_THROW(DrawStars(), EListError);
  EXPECT_EQ(FarStarTick, 0) << "the far layer has no star in view, so its pass ended";
  EXPECT_EQ(NearStarLayer[1].Frame, 5);
  EXPECT_EQ(NearStarLayer[2].Frame, 4);
  EXPECT_EQ(NearStarTick, 2);

  // Radar: bonus items inside the radar square but out of view advance only with their blip.
  BonusItem[1] = BonusItem[2] = {10000 + ViewRange + 10, 10000, 5};
  OrvalisMain->radar->Items()->Clear();
  EXPECT_THROW(DrawRadar(), EListError);
  EXPECT_EQ(BonusItem[1].Frame, 6);
  EXPECT_EQ(BonusItem[2].Frame, 5);
}

TEST_F(DrawingTest, EnergyBarShowsThePictureOfTheShownEnergy) {
  const Integer left = ScreenWidth - 600;
  // Lit pixels of the bar's inside (its frame left out).
  auto litInside = [&] {
    Integer lit = 0;
    for (Integer y = 23; y < 27; ++y)
      for (Integer x = left + 10; x < left + 140; ++x) lit += Pixel(x, y) != 0;
    return lit;
  };
  DrawStars();
  ShownEnergy = 0;
  DrawEnergyBar();
  EXPECT_EQ(litInside(), 0) << "empty";
  ShownEnergy = 50;
  DrawEnergyBar();
  const Integer half = litInside();
  EXPECT_GT(half, 0);
  ShownEnergy = 100;
  DrawEnergyBar();
  EXPECT_GT(litInside(), half) << "full";
}

}  // namespace
