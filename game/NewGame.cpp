#include "game/NewGame.h"

#include <fstream>
#include <string>

#include "game/GameState.h"
#include "game/Orvalisunit.h"
#include "platform/kernel/Clock.h"
#include "runtime/Random.h"

const TScreenLayout ScreenLayouts[ScreenLayoutCount] = {
    {1024, 768, 640, 512, 384, 100, 29},
    {1280, 800, 760, 640, 400, 100, 25},
    {1440, 900, 840, 720, 450, 95, 22},
    {1680, 1050, 968, 840, 525, 100, 18},
    {1920, 1200, 1080, 960, 600, 100, 13},
};

void SeedFromClock() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  RandSeed = ((static_cast<uint32_t>(now.wHour) * 60 + now.wMinute) * 60 + now.wSecond) * 1000 +
             now.wMilliseconds;
}

namespace {

void LoadPictures() {
  // The order matters when a file is missing: the lists before it hold the new pictures.
  const struct {
    TDXImageList* TOrvalisMain::*List;
    const char* FileName;
  } lists[] = {
      {&TOrvalisMain::Stars1, "gfx\\star1.dxg"},
      {&TOrvalisMain::Ship1, "gfx\\ship2.dxg"},
      {&TOrvalisMain::Weapons, "gfx\\plasma1.dxg"},
      {&TOrvalisMain::enemy_weapons, "gfx\\enemy_plasma1.dxg"},
      {&TOrvalisMain::radar, "gfx\\radar.dxg"},
      {&TOrvalisMain::abgas, "gfx\\rauch.dxg"},
      {&TOrvalisMain::Bonus, "gfx\\bonus.dxg"},
      {&TOrvalisMain::Enemy, "gfx\\enemy1.dxg"},
      {&TOrvalisMain::Explosion, "gfx\\explosion.dxg"},
      {&TOrvalisMain::Energy, "gfx\\energy_balken_new.dxg"},
  };
  for (const auto& entry : lists) (OrvalisMain->*entry.List)->Items()->LoadFromFile(entry.FileName);
}

void ResetPlayerAndTables() {
  NearStarTick = 0;
  FarStarTick = 0;
  Heading = 0;
  PlayerEnergy = 100;
  ShownEnergy = 0;
  MaxSpeed = 14;
  MinSpeed = -2;
  Accel = 0.08;
  Speed = 1.0;
  MaxTurn = 2;
  MinTurn = -2;
  TurnRate = 0.1L;
  TurnAccel = 0.03;
  ExplosionCount = 0;
  ShotCount = 0;
  EnemyShotCount = 0;
  EnemyCount = 0;
  FireCooldown = 1;
  SmokeCount = 0;
  RadarFrameAnim = 0;
  RadarRange = 1000;
}

// The first line of a text file, without its line break (CR, LF or CR LF).
std::string ReadFirstLine(const std::string& fileName) {
  std::ifstream file(HostFileName(fileName), std::ios::binary);
  if (!file) throw EInOutError(SFileNotFound, 2);
  std::string line;
  char c;
  while (file.get(c) && c != '\r' && c != '\n') line += c;
  return line;
}

}  // namespace

void InitGame() {
  LoadPictures();
  ResetPlayerAndTables();
  ReadConfig();
  TDXDrawDisplay* display = OrvalisMain->DXDraw->Display();
  display->SetWidth(ScreenWidth);
  display->SetHeight(ScreenHeight);
  OrvalisMain->DXDraw->Initialize();
}

void ReadConfig() {
  ResolutionMode = StrToInt(ReadFirstLine("aufloesung.cfg"));
  if (ResolutionMode < 0 || ResolutionMode >= ScreenLayoutCount) return;
  const TScreenLayout& layout = ScreenLayouts[ResolutionMode];
  ScreenWidth = layout.ScreenWidth;
  ScreenHeight = layout.ScreenHeight;
  ViewRange = layout.ViewRange;
  CenterX = layout.CenterX;
  CenterY = layout.CenterY;
  RadarTop = layout.RadarTop;
  RadarLeftAdjust = layout.RadarLeftAdjust;
  ShipScreenX = CenterX - 34;
  ShipScreenY = CenterY - 25;
}

void InitStars() {
  SeedFromClock();
  WorldSize = 20000;
  const Real middle = static_cast<Real>(Round(WorldSize / 2.0));
  PlayerX = PlayerY = FarCameraX = FarCameraY = middle;
  for (Integer i = 1; i <= StarLayerSize; ++i) {
    TStar& star = NearStarLayer[i];
    star.X = Random(WorldSize);
    star.Y = Random(WorldSize);
    star.Frame = Random(12) + 1;
  }
  for (Integer i = 1; i <= StarLayerSize; ++i) {
    TStar& star = FarStarLayer[i];
    star.X = Random(WorldSize);
    star.Y = Random(WorldSize);
    star.Frame = Random(8) + 13;
  }
}

void InitBonus() {
  for (Integer i = 1; i <= BonusItemCount; ++i) {
    TBonusItem& item = BonusItem[i];
    item.X = Random(WorldSize);
    item.Y = Random(WorldSize);
    item.Frame = Random(39);
  }
}

void SpawnShips() {
  for (Integer n = 0; n < EnemyShipCount; ++n) {
    TEnemyShip* enemy = AppendEntry(EnemyShip, EnemyCount);
    if (!enemy) break;
    // The order of the draws fixes the world a seed makes.
    enemy->Angle = Random(319);
    enemy->X = Random(WorldSize);
    enemy->Y = Random(WorldSize);
    enemy->MaxSpeed = 12;
    enemy->Accel = 0.08;
    enemy->Speed = 1.0;
    enemy->MaxTurn = 6;
    enemy->MinTurn = -2;
    enemy->TurnRate = 0.1L;
    enemy->TurnAccel = 0.04;
    enemy->FireCooldown = 1;
    enemy->Turning = 0;
  }
}
