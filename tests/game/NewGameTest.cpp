#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <tuple>
#include <vector>

#include "GameTestSupport.h"
#include "game/GameState.h"
#include "game/NewGame.h"
#include "runtime/Random.h"

namespace {

void WriteConfig(const std::string& text) {
  std::ofstream file("aufloesung.cfg", std::ios::binary);
  file << text;
}

std::string ReadConfigFailure() {
  try {
    ReadConfig();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "no exception";
}

class ReadConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResolutionMode = ScreenWidth = ScreenHeight = ViewRange = CenterX = CenterY = RadarTop =
        RadarLeftAdjust = ShipScreenX = ShipScreenY = 0;
  }
  ScratchFolder folder;
};

TEST_F(ReadConfigTest, FirstLineSelectsTheLayoutAndTheRestIsIgnored) {
  WriteConfig("2\r\n4\r\nanything");
  ReadConfig();
  EXPECT_EQ(ResolutionMode, 2);
  EXPECT_EQ(std::tie(ScreenWidth, ScreenHeight, ViewRange), std::make_tuple(1440, 900, 840));
  EXPECT_EQ(std::tie(CenterX, CenterY, RadarTop, RadarLeftAdjust),
            std::make_tuple(720, 450, 95, 22));
  EXPECT_EQ(ShipScreenX, 720 - 34);
  EXPECT_EQ(ShipScreenY, 450 - 25);

  WriteConfig(" 4");  // no line break at all, blanks around the number
  ReadConfig();
  EXPECT_EQ(std::tie(ScreenWidth, ScreenHeight, CenterX, CenterY),
            std::make_tuple(1920, 1200, 960, 600));
  WriteConfig("1\n");
  ReadConfig();
  EXPECT_EQ(std::tie(ScreenWidth, ScreenHeight, ViewRange, RadarLeftAdjust),
            std::make_tuple(1280, 800, 760, 25));
}

TEST_F(ReadConfigTest, NumberOutsideTheTableKeepsThePreviousLayout) {
  WriteConfig("7\r\n");
  ReadConfig();
  EXPECT_EQ(ResolutionMode, 7);
  EXPECT_EQ(std::tie(ScreenWidth, ScreenHeight, ViewRange, CenterX), std::make_tuple(0, 0, 0, 0));

  WriteConfig("3");
  ReadConfig();
  WriteConfig("-1");
  ReadConfig();
  EXPECT_EQ(ResolutionMode, -1);
  EXPECT_EQ(std::tie(ScreenWidth, ScreenHeight, ViewRange, CenterX, CenterY),
            std::make_tuple(1680, 1050, 968, 840, 525));
}

TEST_F(ReadConfigTest, MissingOrMalformedFileRaisesTheRuntimeTexts) {
  EXPECT_EQ(ReadConfigFailure(), "Datei nicht gefunden");
  EXPECT_THROW(ReadConfig(), EInOutError);
  WriteConfig("zwei\r\n1");
  EXPECT_EQ(ReadConfigFailure(), "'zwei' ist kein gültiger Integerwert");
  WriteConfig("");
  EXPECT_EQ(ReadConfigFailure(), "'' ist kein gültiger Integerwert");
  EXPECT_EQ(ScreenWidth, 0) << "a failed read changes no layout value";
}

// ---- World generation ----

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestSetManualClock(true);
    EnemyCount = 0;
  }
  void TearDown() override { TestSetManualClock(false); }

  // A whole world as the activation makes it, at the given millisecond of the day.
  void MakeWorldAt(uint32_t millisecond) {
    TestSetClock(millisecond);
    EnemyCount = 0;
    InitStars();
    InitBonus();
    SpawnShips();
  }

  static std::vector<Integer> Snapshot() {
    std::vector<Integer> values;
    for (Integer i = 1; i <= StarLayerSize; i += 997)
      for (const TStar* layer : {NearStarLayer, FarStarLayer})
        values.insert(values.end(), {layer[i].X, layer[i].Y, layer[i].Frame});
    for (Integer i = 1; i <= BonusItemCount; ++i)
      values.insert(values.end(), {BonusItem[i].X, BonusItem[i].Y, BonusItem[i].Frame});
    for (Integer i = 1; i <= EnemyCount; ++i)
      values.insert(values.end(),
                    {static_cast<Integer>(EnemyShip[i].X), static_cast<Integer>(EnemyShip[i].Y),
                     static_cast<Integer>(EnemyShip[i].Angle)});
    return values;
  }
};

TEST_F(WorldTest, ClockSeedIsTheMillisecondOfTheDay) {
  TestSetClock(((3 * 60 + 25) * 60 + 7) * 1000 + 250);
  SeedFromClock();
  EXPECT_EQ(RandSeed, 12307250u);
  // The day itself does not count.
  TestSetClock(86400000u + 5);
  SeedFromClock();
  EXPECT_EQ(RandSeed, 5u);
}

TEST_F(WorldTest, SameMillisecondMakesTheSameWorldAndAnotherOneADifferentWorld) {
  MakeWorldAt(4242);
  const std::vector<Integer> first = Snapshot();
  MakeWorldAt(4242);
  EXPECT_EQ(Snapshot(), first);
  MakeWorldAt(4243);
  EXPECT_NE(Snapshot(), first);
}

TEST_F(WorldTest, EverythingLiesInTheWorldWithItsPictureRanges) {
  MakeWorldAt(987654);
  EXPECT_EQ(WorldSize, 20000);
  EXPECT_EQ(std::tie(PlayerX, PlayerY, FarCameraX, FarCameraY),
            std::make_tuple(10000.0, 10000.0, 10000.0, 10000.0));
  std::set<Integer> nearFrames, farFrames, bonusFrames;
  for (Integer i = 1; i <= StarLayerSize; ++i) {
    for (const TStar* layer : {NearStarLayer, FarStarLayer}) {
      ASSERT_GE(layer[i].X, 0);
      ASSERT_LT(layer[i].X, 20000);
      ASSERT_GE(layer[i].Y, 0);
      ASSERT_LT(layer[i].Y, 20000);
    }
    nearFrames.insert(NearStarLayer[i].Frame);
    farFrames.insert(FarStarLayer[i].Frame);
  }
  for (Integer i = 1; i <= BonusItemCount; ++i) bonusFrames.insert(BonusItem[i].Frame);
  // New stars never start on the first picture of their animation.
  EXPECT_EQ(*nearFrames.begin(), 1);
  EXPECT_EQ(*nearFrames.rbegin(), 12);
  EXPECT_EQ(nearFrames.size(), 12u);
  EXPECT_EQ(*farFrames.begin(), 13);
  EXPECT_EQ(*farFrames.rbegin(), 20);
  EXPECT_GE(*bonusFrames.begin(), 0);
  EXPECT_LE(*bonusFrames.rbegin(), 38);

  ASSERT_EQ(EnemyCount, EnemyShipCount);
  for (Integer i = 1; i <= EnemyCount; ++i) {
    const TEnemyShip& e = EnemyShip[i];
    ASSERT_GE(e.Angle, 0);
    ASSERT_LE(e.Angle, 318);
    ASSERT_EQ(e.Angle, static_cast<Integer>(e.Angle)) << "whole degrees";
    ASSERT_LT(e.X, 20000);
    EXPECT_EQ(std::tie(e.MaxSpeed, e.MaxTurn, e.MinTurn, e.FireCooldown, e.Turning),
              std::make_tuple(12, 6, -2, 1, 0));
    EXPECT_EQ(e.Speed, 1.0);
    EXPECT_EQ(e.TurnRate, 0.1L);
    EXPECT_EQ(e.Accel, 0.08);
    EXPECT_EQ(e.TurnAccel, 0.04);
  }
}

TEST_F(WorldTest, BonusItemsContinueTheStarsSequenceWithoutNewSeed) {
  TestSetClock(77);
  InitStars();
  InitBonus();
  const Integer firstBonusX = BonusItem[1].X;
  // Bonus items made right after seeding (no stars drawn first) lie elsewhere.
  SeedFromClock();
  InitBonus();
  EXPECT_NE(BonusItem[1].X, firstBonusX);
}

// ---- The whole new game ----

using InitGameTest = GameTest;

TEST_F(InitGameTest, ActivationLoadsThePicturesResetsThePlayerAndSizesTheDisplay) {
  ShowMainForm();
  // The activation made a new game from the default assets.
  EXPECT_EQ(OrvalisMain->Stars1->Items()->Count(), 22);
  EXPECT_GE(OrvalisMain->Explosion->Items()->Count(), 146);
  EXPECT_EQ(OrvalisMain->energy_rahmen->Items()->Count(), 0) << "never loaded";
  EXPECT_EQ(EnemyCount, EnemyShipCount);

  Heading = 45;
  PlayerEnergy = 3;
  ShotCount = 5;
  TurnRate = -2;
  {
    ScratchFolder folder;
    std::filesystem::create_directory("gfx");
    for (const char* name : {"star1", "ship2", "plasma1", "enemy_plasma1", "radar", "rauch",
                             "bonus", "enemy1", "explosion", "energy_balken_new"})
      std::filesystem::copy_file(
          std::filesystem::path(ORVALIS_ASSETS_DIR) / "gfx" / (std::string(name) + ".dxg"),
          std::filesystem::path("gfx") / (std::string(name) + ".dxg"));
    WriteConfig("1");
    InitGame();
  }
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1280, 800, 32}));
  EXPECT_TRUE(OrvalisMain->DXTimer1->Enabled()) << "the re-initialised display restarts the timer";
  EXPECT_EQ(Heading, 0);
  EXPECT_EQ(PlayerEnergy, 100);
  EXPECT_EQ(ShownEnergy, 0);
  EXPECT_EQ(ShotCount, 0);
  EXPECT_EQ(EnemyCount, 0) << "ships come from SpawnShips";
  EXPECT_EQ(TurnRate, 0.1L);
  EXPECT_EQ(Speed, 1.0);
  EXPECT_EQ(FireCooldown, 1);
  EXPECT_EQ(RadarRange, 1000);
}

TEST_F(InitGameTest, SwitchingAwayAndBackStartsAFreshWorld) {
  TestSetManualClock(true);
  TestSetClock(1000);
  ShowMainForm();
  const TStar firstStar = NearStarLayer[1];
  PlayerEnergy = 3;
  ExplosionCount = 4;
  EnemyCount = 1;
  TestSetApplicationActive(false);
  Application->ProcessMessages();
  TestAdvanceClock(1);
  TestSetApplicationActive(true);
  Application->ProcessMessages();
  EXPECT_EQ(PlayerEnergy, 100);
  EXPECT_EQ(ExplosionCount, 0);
  EXPECT_EQ(EnemyCount, EnemyShipCount);
  EXPECT_FALSE(NearStarLayer[1].X == firstStar.X && NearStarLayer[1].Y == firstStar.Y)
      << "a millisecond later, other stars";
}

TEST_F(InitGameTest, MissingFilesStopTheNewGameWhereTheyAreNeeded) {
  ShowMainForm();
  const Integer shipPictures = OrvalisMain->Ship1->Items()->Count();
  ScratchFolder folder;
  std::filesystem::create_directory("gfx");
  std::filesystem::copy_file(std::filesystem::path(ORVALIS_ASSETS_DIR) / "gfx/star1.dxg",
                             "gfx/star1.dxg");
  PlayerEnergy = 7;
  try {
    InitGame();
    ADD_FAILURE() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Datei gfx\\ship2.dxg kann nicht geöffnet werden");
  }
  EXPECT_EQ(OrvalisMain->Ship1->Items()->Count(), shipPictures) << "the failing list is untouched";
  EXPECT_EQ(PlayerEnergy, 7) << "nothing after the pictures ran";

  // All pictures, but no configuration: the resets happen and the display keeps its size.
  std::filesystem::remove_all("gfx");
  std::filesystem::copy(std::filesystem::path(ORVALIS_ASSETS_DIR) / "gfx", "gfx");
  EXPECT_THROW(InitGame(), EInOutError);
  EXPECT_EQ(PlayerEnergy, 100);
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1024, 768, 32}));
}

}  // namespace
