#include "game/View.h"

#include <cmath>

#include "game/GameState.h"
#include "game/Orvalisunit.h"

TViewTransform::TViewTransform(Extended heading)
    : FCos(std::cos(DegreesToRadians(heading))), FSin(std::sin(DegreesToRadians(heading))) {}

TViewOffset TViewTransform::operator()(Real x, Real y, Real cameraX, Real cameraY) const {
  const Extended dx = x - cameraX, dy = y - cameraY;
  return {dx * FCos - dy * FSin, dx * FSin + dy * FCos};
}

Single ScreenAngle(Extended angle) {
  return static_cast<Single>(Round((angle - Heading) * (256.0L / 360.0L)));
}

Integer ScreenX(const TViewOffset& offset, Integer shift) {
  return static_cast<Integer>(Round(offset.X)) + CenterX + shift;
}
Integer ScreenY(const TViewOffset& offset, Integer shift) {
  return CenterY - static_cast<Integer>(Round(offset.Y)) + shift;
}

bool HoldsAll(const TPassPictures& pictures) {
  return pictures.Highest < pictures.List->Items()->Count();
}

namespace {

TDirectDrawSurface* BackSurface() { return OrvalisMain->DXDraw->Surface(); }

TPictureCollectionItem* Picture(TDXImageList* list, Integer index) {
  return list->Items()->Items(index);
}

// Where a pass draws entry Index of its table.
struct TScreenPlace {
  Integer Index, X, Y;
};

// A pass animates when its tick has reached the period, and resets the tick after its loop, so a
// drawing that raises leaves the tick as it was.

// One star layer: visible stars step their picture on animation frames (wrapping from `last` to
// `first`) and are drawn unrotated.
void DrawStarLayer(TStar* layer, Real cameraX, Real cameraY, Integer& tick, Integer period,
                   Integer first, Integer last) {
  const bool animate = tick == period;
  TDirectDrawSurface* surface = BackSurface();
  const TViewSquare view(cameraX, cameraY, ViewRange);
  const TViewTransform viewTransform(Heading);
  LocateThenDraw(
      1, StarLayerSize, {OrvalisMain->Stars1, last},
      [&](Integer i) -> std::optional<TScreenPlace> {
        const TStar& star = layer[i];
        if (!view.Contains(star.X, star.Y)) return std::nullopt;
        const TViewOffset offset = viewTransform(star.X, star.Y, cameraX, cameraY);
        return TScreenPlace{i, ScreenX(offset, -15), ScreenY(offset, 0)};
      },
      [&](const TScreenPlace& place) {
        TStar& star = layer[place.Index];
        if (animate && ++star.Frame > last) star.Frame = first;
        Picture(OrvalisMain->Stars1, star.Frame)->Draw(surface, place.X, place.Y, 0);
      });
  if (animate) tick = 0;
}

// Smoke and both kinds of shot: visible entries step their picture on animation frames and are
// drawn turned to their angle at `size` x `size`.
template <typename T>
void DrawMovingTable(T* table, Integer count, TDXImageList* list, Integer& tick, Integer period,
                     Integer frames, Integer size) {
  const bool animate = tick == period;
  TDirectDrawSurface* surface = BackSurface();
  const TViewSquare view(PlayerX, PlayerY, ViewRange);
  const TViewTransform viewTransform(Heading);
  for (Integer i = 1; i <= count; ++i) {
    T& entry = table[i];
    if (!view.Contains(entry.X, entry.Y)) continue;
    if (animate && ++entry.Frame >= frames) entry.Frame = 0;
    const TViewOffset offset = viewTransform(entry.X, entry.Y, PlayerX, PlayerY);
    Picture(list, entry.Frame)
        ->DrawRotate(surface, ScreenX(offset, -10), ScreenY(offset, 0), size, size, 0, 0.5, 0.5,
                     ScreenAngle(entry.Angle));
  }
  if (animate) tick = 0;
}

void AdvanceBonusFrame(TBonusItem& item) {
  if (++item.Frame > 38) item.Frame = 0;
}

}  // namespace

// DrawStars: first in every frame, and once in a new game. Clears the back surface; reads both
// star layers and cameras, animates the visible stars on the star ticks, resets the ticks.
void DrawStars() {
  BackSurface()->Fill(0);
  DrawStarLayer(FarStarLayer, FarCameraX, FarCameraY, FarStarTick, 4, 13, 21);
  DrawStarLayer(NearStarLayer, PlayerX, PlayerY, NearStarTick, 2, 0, 12);
}

// DrawBonus: every frame after the stars, and once in a new game. Reads the bonus items and the
// player; advances the picture of each visible item.
void DrawBonus() {
  TDirectDrawSurface* surface = BackSurface();
  const TViewSquare view(PlayerX, PlayerY, ViewRange);
  const TViewTransform viewTransform(Heading);
  for (Integer i = 1; i <= BonusItemCount; ++i) {
    TBonusItem& item = BonusItem[i];
    if (!view.Contains(item.X, item.Y)) continue;
    AdvanceBonusFrame(item);
    const TViewOffset offset = viewTransform(item.X, item.Y, PlayerX, PlayerY);
    Picture(OrvalisMain->Bonus, item.Frame)
        ->Draw(surface, ScreenX(offset, -25), ScreenY(offset, -25), 0);
  }
}

// DrawSmoke, DrawShots, DrawEnemyShots: in frames where their table holds entries, before the
// table moves. Animate the visible entries on their tick and reset it.
void DrawSmoke() {
  DrawMovingTable(SmokePuff, SmokeCount, OrvalisMain->abgas, SmokeAnimTick, 3, 7, 10);
}

void DrawShots() {
  DrawMovingTable(Shot, ShotCount, OrvalisMain->Weapons, ShotAnimTick, 1, 9, 50);
}

void DrawEnemyShots() {
  DrawMovingTable(EnemyShot, EnemyShotCount, OrvalisMain->enemy_weapons,
                  EnemyShotAnimTick, 1, 9, 50);
}

// ---- Radar ----

namespace {

// A blip for every entry inside the radar square, at the entry's view position shrunk into the
// radar; `onBlip` runs for each entry before its blip is drawn.
template <typename T, typename OnBlip>
void DrawBlips(T* table, Integer count, Integer picture, OnBlip onBlip) {
  const Real scaleX = static_cast<Real>(ScreenWidth + RadarRange) / 150;
  const Real scaleY = static_cast<Real>(ScreenHeight + RadarRange) / 100;
  TDirectDrawSurface* surface = BackSurface();
  const TViewSquare radarSquare(PlayerX, PlayerY, ViewRange + RadarRange);
  const TViewTransform viewTransform(Heading);
  LocateThenDraw(
      1, count, {OrvalisMain->radar, picture},
      [&](Integer i) -> std::optional<TScreenPlace> {
        const T& entry = table[i];
        if (!radarSquare.Contains(entry.X, entry.Y)) return std::nullopt;
        const TViewOffset offset = viewTransform(entry.X, entry.Y, PlayerX, PlayerY);
        const Integer x = static_cast<Integer>(Round(ScreenX(offset, -10) / scaleX)) +
                          ScreenWidth - 300 + RadarLeftAdjust;
        const Integer y = static_cast<Integer>(Round(ScreenY(offset, 0) / scaleY)) + RadarTop;
        return TScreenPlace{i, x, y};
      },
      [&](const TScreenPlace& place) {
        onBlip(table[place.Index]);
        Picture(OrvalisMain->radar, picture)->Draw(surface, place.X, place.Y, 0);
      });
}

constexpr auto NoChange = [](const auto&) {};

}  // namespace

void DrawRadarBonusBlips() {
  DrawBlips(BonusItem, BonusItemCount, BlipFrame + 7, AdvanceBonusFrame);
}
void DrawRadarShotBlips() { DrawBlips(Shot, ShotCount, BlipFrame + 1, NoChange); }
void DrawRadarEnemyBlips() {
  DrawBlips(EnemyShip, EnemyCount, BlipFrame + 25, NoChange);
}
void DrawRadarEnemyShotBlips() {
  DrawBlips(EnemyShot, EnemyShotCount, BlipFrame + 25, NoChange);
}

// DrawRadar: every frame, last of the drawing passes. Reads every table around the player;
// advances the bonus pictures inside the radar square and the radar frame animation.
void DrawRadar() {
  DrawRadarBonusBlips();
  DrawRadarShotBlips();
  DrawRadarEnemyBlips();
  DrawRadarEnemyShotBlips();
  Picture(OrvalisMain->radar, RadarFrameAnim + 15)->Draw(BackSurface(), ScreenWidth - 240, 115, 0);
  if (++RadarFrameAnim > 9) RadarFrameAnim = 0;
}

// DrawEnergyBar: every frame, after UpdateShownEnergy. Reads ShownEnergy.
void DrawEnergyBar() {
  Picture(OrvalisMain->Energy, ShownEnergy)->Draw(BackSurface(), ScreenWidth - 600, 20, 0);
}

void WriteTextLine(Integer X, Integer Y, const std::string& Text) {
  TDirectDrawSurfaceCanvas* canvas = BackSurface()->Canvas();
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(clWhite);
  canvas->Font()->SetSize(12);
  canvas->TextOut(X, Y, Text);
  canvas->Release();  // the surface stays locked while its device context is out
}
