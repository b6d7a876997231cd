#include "game/GameState.h"

TStar NearStarLayer[StarLayerSize + 1];
TStar FarStarLayer[StarLayerSize + 1];
TBonusItem BonusItem[BonusItemCount + 1];
TShot Shot[TableCapacity + 1];
TEnemyShot EnemyShot[TableCapacity + 1];
TEnemyShip EnemyShip[TableCapacity + 1];
TExplosionEffect ExplosionEffect[TableCapacity + 1];
TSmokePuff SmokePuff[TableCapacity + 1];
std::vector<TAngleSines> EnemyAngleSines(TableCapacity + 1);

Integer ShotCount = 0;
Integer EnemyShotCount = 0;
Integer EnemyCount = 0;
Integer ExplosionCount = 0;
Integer SmokeCount = 0;
Integer DrawnEnemyCount = 0;

Real PlayerX = 0, PlayerY = 0;
Real FarCameraX = 0, FarCameraY = 0;
Extended Heading = 0;
Real Speed = 0;
Integer MaxSpeed = 0, MinSpeed = 0;
Real Accel = 0;
Extended TurnRate = 0;
Integer MaxTurn = 0, MinTurn = 0;
Real TurnAccel = 0;
Integer Thrusting = 0, Turning = 0;
Integer PlayerEnergy = 0;
Integer ShownEnergy = 0;
Integer FireCooldown = 0;
Integer SmokeCooldown = 0;
Integer WorldSize = 20000;

Integer NearStarTick = 0, FarStarTick = 0;
Integer ShotAnimTick = 0, EnemyShotAnimTick = 0, SmokeAnimTick = 0;
Integer BlipFrame = 0;
Integer RadarFrameAnim = 0;
Integer RadarRange = 0;

Integer ResolutionMode = 0;
Integer ScreenWidth = 0, ScreenHeight = 0, ViewRange = 0, CenterX = 0, CenterY = 0, RadarTop = 0,
        RadarLeftAdjust = 0;
Integer ShipScreenX = 0, ShipScreenY = 0;
