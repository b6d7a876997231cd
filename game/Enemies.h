// Everything that acts on its own: enemy ships that hunt the player and fire at it, the flight,
// expiry and hits of both kinds of shot, the ageing of the exhaust smoke, and the explosions
// that destroyed enemies leave.
#pragma once

#include "runtime/SysUtils.h"

// The bearing from a point dx, dy away from the player back to the player, in degrees measured
// like the heading, from -90 up to (not including) 270.
Extended Aim(Real dx, Real dy);

void UpdateEnemies();
void MoveSmoke();
void MoveEnemyShots();
void MoveShots();
void UpdateExplosions();
