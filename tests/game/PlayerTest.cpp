#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/GameState.h"
#include "game/Player.h"

namespace {

// The player as a new game leaves it, at rest and without tables.
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlayerX = PlayerY = FarCameraX = FarCameraY = 10000;
    Heading = 0;
    Speed = 0;
    MaxSpeed = 14;
    MinSpeed = -2;
    Accel = 0.08;
    TurnRate = 0;
    MaxTurn = 2;
    MinTurn = -2;
    TurnAccel = 0.03;
    Thrusting = Turning = 0;
    PlayerEnergy = 100;
    ShownEnergy = 0;
    FireCooldown = SmokeCooldown = 0;
    ShotCount = SmokeCount = 0;
  }

  // The end of a frame as the frame runs it: cooldowns, then input, then the move.
  template <typename Input>
  void Frame(Input input) {
    if (FireCooldown > 0) --FireCooldown;
    if (SmokeCooldown > 0) --SmokeCooldown;
    input();
    MovePlayer();
  }
};

TEST_F(PlayerTest, ThrustReachesTheTopSpeedAndFrictionStopsAtExactlyZero) {
  for (int frame = 0; frame < 174; ++frame) Frame(ThrustForward);
  EXPECT_LT(Speed, 14);
  EXPECT_NEAR(Speed, 13.92, 1e-9);
  Frame(ThrustForward);
  Frame(ThrustForward);
  EXPECT_EQ(Speed, 14) << "held at the limit";
  const Real before = PlayerY;
  Frame([] {});
  EXPECT_DOUBLE_EQ(PlayerY - before, 28) << "the ship moves twice its speed";
  EXPECT_NEAR(Speed, 13.84, 1e-9);
  for (int frame = 0; frame < 100; ++frame) Frame([] {});
  EXPECT_EQ(Speed, 0);
}

TEST_F(PlayerTest, BrakeGoesBackwardsToItsLimitAndReturnsToZero) {
  for (int frame = 0; frame < 13; ++frame) Frame(ThrustBack);
  EXPECT_EQ(Speed, -2);
  const Real y = PlayerY, farY = FarCameraY;
  Frame(ThrustBack);
  EXPECT_DOUBLE_EQ(PlayerY - y, -4);
  EXPECT_DOUBLE_EQ(FarCameraY - farY, -2) << "the far camera moves at half the pace";
  for (int frame = 0; frame < 20; ++frame) Frame([] {});
  EXPECT_EQ(Speed, 0);
}

TEST_F(PlayerTest, ThrustAndBrakeTogetherNetABrakeStepAndOnePuffPerTwoFrames) {
  Speed = 1;
  for (int frame = 0; frame < 6; ++frame) Frame([] { ThrustForward(); ThrustBack(); });
  EXPECT_NEAR(Speed, 1 - 6 * 0.08, 1e-12);
  EXPECT_EQ(SmokeCount, 3);
  EXPECT_EQ(SmokePuff[1].Life, 18);
  EXPECT_EQ(SmokePuff[1].Speed, 0);
  // Left where the ship was, two moves (at speeds 0.92 and 0.84) apart.
  EXPECT_NEAR(SmokePuff[2].Y - SmokePuff[1].Y, 2 * 0.92 + 2 * 0.84, 1e-9);
}

TEST_F(PlayerTest, NewGameDriftDiesOutAfterSevenFramesAndTheTurnAfterTwo) {
  Speed = 1.0;
  TurnRate = 0.1L;
  std::vector<Real> steps;
  for (int frame = 0; frame < 9; ++frame) {
    const Real y = PlayerY;
    Frame([] {});
    steps.push_back(PlayerY - y);
  }
  EXPECT_DOUBLE_EQ(steps[0], 2.0);
  // (the heading has turned a little by then)
  EXPECT_NEAR(steps[1], 1.68, 1e-4);
  EXPECT_NEAR(steps[2], 1.36, 1e-4);
  EXPECT_GT(steps[6], 0);
  EXPECT_EQ(steps[7], 0);
  EXPECT_EQ(Speed, 0);
  EXPECT_NEAR(static_cast<double>(Heading), 0.14, 1e-12);
  EXPECT_EQ(TurnRate, 0);
}

TEST_F(PlayerTest, TurnRateStaysWithinItsLimitsAndOppositeTurnsCancel) {
  for (int frame = 0; frame < 100; ++frame) Frame(TurnRight);
  EXPECT_EQ(TurnRate, 2);
  for (int frame = 0; frame < 200; ++frame) Frame(TurnLeft);
  EXPECT_EQ(TurnRate, -2);
  TurnRate = 0.5L;
  Frame([] { TurnLeft(); TurnRight(); });
  EXPECT_NEAR(static_cast<double>(TurnRate), 0.5, 1e-15) << "no decay while turning";
}

TEST_F(PlayerTest, HeadingWrapsToExactlyThreeFiftyNineOrZero) {
  Heading = 0.5L;
  TurnRate = -1.0L;
  Turning = 1;
  MovePlayer();
  EXPECT_EQ(Heading, 359.0L);
  Heading = 358.5L;
  TurnRate = 1.0L;
  Turning = 1;
  MovePlayer();
  EXPECT_EQ(Heading, 0);
  Heading = 358.0L;
  TurnRate = 1.0L;
  Turning = 1;
  MovePlayer();
  EXPECT_EQ(Heading, 359.0L) << "359 itself is kept";
}

TEST_F(PlayerTest, HeldFireShootsInTheFirstFrameAndThenEveryTenth) {
  FireCooldown = 1;  // as after a new game
  Heading = 90;
  Speed = 3;
  std::vector<int> firedIn;
  for (int frame = 0; frame < 25; ++frame) {
    const Integer before = ShotCount;
    Frame(Fire);
    if (ShotCount > before) firedIn.push_back(frame);
  }
  EXPECT_EQ(firedIn, (std::vector<int>{0, 10, 20}));
  const TShot& first = Shot[1];
  EXPECT_EQ(first.Life, 100);
  EXPECT_EQ(first.Frame, 0);
  EXPECT_DOUBLE_EQ(first.Speed, 2 * 3 + 10);
  EXPECT_EQ(first.Angle, 90);
  // Already one step out along the heading (to +X).
  EXPECT_NEAR(first.X, 10000 + 16, 1e-9);
  EXPECT_NEAR(first.Y, 10000, 1e-9);
}

TEST_F(PlayerTest, DamageStopsAtZeroAndTheBarFollowsOneStepPerFrame) {
  PlayerEnergy = 3;
  DamagePlayer(5);
  EXPECT_EQ(PlayerEnergy, 0);
  DamagePlayer(5);
  EXPECT_EQ(PlayerEnergy, 0);
  PlayerEnergy = 10;
  DamagePlayer(10);
  EXPECT_EQ(PlayerEnergy, 0);

  PlayerEnergy = 100;
  ShownEnergy = 0;
  for (int frame = 0; frame < 99; ++frame) UpdateShownEnergy();
  EXPECT_EQ(ShownEnergy, 99);
  UpdateShownEnergy();
  UpdateShownEnergy();
  EXPECT_EQ(ShownEnergy, 100);
  DamagePlayer(5);
  UpdateShownEnergy();
  EXPECT_EQ(ShownEnergy, 99);
}

TEST(TurnRateBankFrame, StrictThresholdsEveryFiveHundredthsOfADegree) {
  EXPECT_EQ(TurnRateBankFrame(0), 20);
  EXPECT_EQ(TurnRateBankFrame(0.05L), 20);
  EXPECT_EQ(TurnRateBankFrame(0.1L), 21);
  EXPECT_EQ(TurnRateBankFrame(0.12L), 22);
  EXPECT_EQ(TurnRateBankFrame(1.0L), 39);
  EXPECT_EQ(TurnRateBankFrame(1.01L), 40);
  EXPECT_EQ(TurnRateBankFrame(6), 40);
  EXPECT_EQ(TurnRateBankFrame(-0.06L), 19);
  EXPECT_EQ(TurnRateBankFrame(-1.0L), 1);
  EXPECT_EQ(TurnRateBankFrame(-1.5L), 0);
}

}  // namespace
