// The game's whole state: global tables and variables that live for the whole run. Every table
// is indexed from 1; its live entries are packed at 1 .. its count in creation order, and an
// entry is removed by moving every later one down a place. Entries beyond the count mean
// nothing. A new game (at each activation) fills them anew.
#pragma once

#include <vector>

#include "runtime/SysUtils.h"

// Enemy ships made for a new game; each build of the program has its own number.
extern const Integer EnemyShipCount;

inline constexpr Integer TableCapacity = 100000;
inline constexpr Integer StarLayerSize = 50000;
inline constexpr Integer BonusItemCount = 100;

// Positions are world units; angles degrees, 0 pointing to +Y and 90 to +X.
struct TStar {
  Integer X, Y;
  Integer Frame;  // picture in Stars1: near layer 0..12, far layer 13..21
};

struct TBonusItem {
  Integer X, Y;
  Integer Frame;  // picture in Bonus, 0..38
};

struct TShot {
  Real X, Y;
  Integer Life;  // frames left
  Real Speed;    // units per frame
  Extended Angle;
  Integer Frame;  // picture in Weapons, 0..8
};

struct TEnemyShot : TShot {  // pictures in enemy_weapons
  Integer Damage;
  Integer Owner;  // the enemy that fired it; NoOwner for none
};
inline constexpr Integer NoOwner = 300000;

struct TEnemyShip {
  Real X, Y;
  Extended Angle;  // never wrapped
  Integer MaxSpeed;
  Real Speed;
  Real Accel;
  Integer MaxTurn, MinTurn;
  Extended TurnRate;  // degrees per frame
  Real TurnAccel;
  Integer Turning;
  Integer FireCooldown;  // frames until it may fire
};

struct TExplosionEffect {
  Real X, Y;
  Integer Frame;  // 1 at creation
  Integer Kind;   // 1..3
};

struct TSmokePuff {
  Real X, Y;
  Integer Life;
  Real Speed;
  Extended Angle;  // the heading when emitted
  Integer Frame;   // picture in abgas, 0..6
};

extern TStar NearStarLayer[StarLayerSize + 1];
extern TStar FarStarLayer[StarLayerSize + 1];
extern TBonusItem BonusItem[BonusItemCount + 1];
extern TShot Shot[TableCapacity + 1];
extern TEnemyShot EnemyShot[TableCapacity + 1];
extern TEnemyShip EnemyShip[TableCapacity + 1];
extern TExplosionEffect ExplosionEffect[TableCapacity + 1];
extern TSmokePuff SmokePuff[TableCapacity + 1];

// The sine and cosine of an enemy's angle (turned into radians) as last worked out, with the
// angle they belong to. A ship that flies straight keeps its angle for many frames, and the
// 80-bit sine and cosine are the dearest part of its move. A pair counts only while its angle is
// bit for bit the enemy's, so a write of the angle anywhere, or another enemy taking the place,
// makes the move work them out afresh: the pairs need no invalidation to stay right. Removals
// move them along with their enemies only so that they keep being found.
struct TAngleSines {
  Extended Angle = 0;  // so a fresh pair is that of +0
  Extended Sin = 0, Cos = 1;
};
extern std::vector<TAngleSines> EnemyAngleSines;  // indexed like EnemyShip

extern Integer ShotCount;
extern Integer EnemyShotCount;
extern Integer EnemyCount;
extern Integer ExplosionCount;
extern Integer SmokeCount;
extern Integer DrawnEnemyCount;  // enemies inside the view after the last enemy pass

// The next free entry of a table, counted in; nil when the table is full, so that a burst of
// objects beyond the capacity is dropped rather than written past the table.
template <typename T>
T* AppendEntry(T* table, Integer& count) {
  if (count >= TableCapacity) return nullptr;
  ++count;
  table[count] = T{};
  return &table[count];
}

// The player and the view.
extern Real PlayerX, PlayerY;        // the player, and the camera of the near layer
extern Real FarCameraX, FarCameraY;  // the camera of the far star layer
extern Extended Heading;
extern Real Speed;  // the ship moves 2 * Speed per frame
extern Integer MaxSpeed, MinSpeed;
extern Real Accel;
extern Extended TurnRate;  // degrees added to Heading per frame
extern Integer MaxTurn, MinTurn;
extern Real TurnAccel;
extern Integer Thrusting, Turning;  // set by input within a frame, cleared by the move
extern Integer PlayerEnergy;        // 0..100
extern Integer ShownEnergy;         // what the energy bar shows
extern Integer FireCooldown;        // frames until the player may fire
extern Integer SmokeCooldown;       // frames until the next exhaust puff
extern Integer WorldSize;

// Animation counters.
extern Integer NearStarTick, FarStarTick;
extern Integer ShotAnimTick, EnemyShotAnimTick, SmokeAnimTick;
extern Integer BlipFrame;       // radar blips, 0..5
extern Integer RadarFrameAnim;  // radar frame, 0..9
extern Integer RadarRange;

// Screen layout from the configuration file.
extern Integer ResolutionMode;
extern Integer ScreenWidth, ScreenHeight, ViewRange, CenterX, CenterY, RadarTop, RadarLeftAdjust;
extern Integer ShipScreenX, ShipScreenY;
