#include "game/Player.h"

#include <cmath>

#include "game/GameState.h"
#include "game/Orvalisunit.h"
#include "game/View.h"

namespace {

// Thrust and brake both leave a puff, at most every second frame.
void EmitExhaust() {
  if (SmokeCooldown != 0) return;
  SmokeCooldown = 2;
  TSmokePuff* puff = AppendEntry(SmokePuff, SmokeCount);
  if (!puff) return;
  puff->X = PlayerX;
  puff->Y = PlayerY;
  puff->Speed = 0;
  puff->Angle = Heading;
  puff->Frame = 0;
  puff->Life = 18;
}

}  // namespace

void TurnLeft() {
  Turning = 1;
  TurnRate -= TurnAccel;
  if (TurnRate < MinTurn) TurnRate = MinTurn;
}

void TurnRight() {
  Turning = 1;
  TurnRate += TurnAccel;
  if (TurnRate > MaxTurn) TurnRate = MaxTurn;
}

void ThrustForward() {
  Thrusting = 1;
  Speed += Accel;
  if (Speed > MaxSpeed) Speed = MaxSpeed;
  EmitExhaust();
}

void ThrustBack() {
  Thrusting = 1;
  Speed -= 2 * Accel;
  if (Speed < MinSpeed) Speed = MinSpeed;
  EmitExhaust();
}

void Fire() {
  if (FireCooldown != 0) return;
  FireCooldown = 10;
  TShot* shot = AppendEntry(Shot, ShotCount);
  if (!shot) return;
  shot->X = PlayerX;
  shot->Y = PlayerY;
  shot->Speed = 2 * Speed + 10;
  shot->Angle = Heading;
  shot->Frame = 0;
  shot->Life = 100;
  // The shot leaves the ship at once, one step ahead.
  const Extended a = DegreesToRadians(shot->Angle);
  shot->Y += std::cos(a) * shot->Speed;
  shot->X += std::sin(a) * shot->Speed;
}

// MovePlayer: last in every frame, after the input. Moves the player and the far camera, turns
// the heading, lets speed and turn rate decay without input and clears the input flags.
void MovePlayer() {
  const Extended a = DegreesToRadians(Heading);
  // The far layer's camera moves at half the ship's pace: the parallax.
  FarCameraY += std::cos(a) * Speed;
  FarCameraX += std::sin(a) * Speed;
  PlayerY += std::cos(a) * 2 * Speed;
  PlayerX += std::sin(a) * 2 * Speed;

  if (Thrusting == 0) {
    if (Speed > 0) {
      Speed -= 2 * Accel;
      if (Speed < 0) Speed = 0;
    }
    if (Speed < 0) {
      Speed += 2 * Accel;
      if (Speed > 0) Speed = 0;
    }
  }
  Thrusting = 0;

  // The fraction beyond either end is dropped, and 359..360 counts as past the end.
  Heading += TurnRate;
  if (Heading < 0)
    Heading = 359.0L;
  else if (Heading > 359)
    Heading = 0;

  if (Turning == 0) {
    if (TurnRate > 0) {
      TurnRate -= 2 * TurnAccel;
      if (TurnRate < 0) TurnRate = 0;
    }
    if (TurnRate < 0) {
      TurnRate += 2 * TurnAccel;
      if (TurnRate > 0) TurnRate = 0;
    }
  }
  Turning = 0;
}

// DrawShip: every frame after the explosions. Reads TurnRate for the bank picture.
void DrawShip() {
  OrvalisMain->Ship1->Items()->Items(TurnRateBankFrame(TurnRate))
      ->Draw(OrvalisMain->DXDraw->Surface(), ShipScreenX, ShipScreenY, 0);
}

// UpdateShownEnergy: every frame before the energy bar. Moves ShownEnergy a step towards
// PlayerEnergy.
void UpdateShownEnergy() {
  if (ShownEnergy < PlayerEnergy) ++ShownEnergy;
  if (ShownEnergy > PlayerEnergy) --ShownEnergy;
}

void DamagePlayer(Integer Amount) {
  if (Amount > PlayerEnergy)
    PlayerEnergy = 0;
  else if (PlayerEnergy > 0)
    PlayerEnergy -= Amount;
}

Integer TurnRateBankFrame(Extended r) {
  Integer frame = 20;
  // k / 20 is the extended value nearest to 0.05 k; the comparisons are strict.
  for (Integer k = 1; k <= 20; ++k)
    if (r > static_cast<Extended>(k) / 20) frame = 20 + k;
  for (Integer k = 1; k <= 20; ++k)
    if (r < -static_cast<Extended>(k) / 20) frame = 20 - k;
  return frame;
}
