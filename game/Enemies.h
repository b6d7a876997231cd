// Everything that acts on its own: enemy ships that hunt the player and fire at it, the flight,
// expiry and hits of both kinds of shot, the ageing of the exhaust smoke, and the explosions
// that destroyed enemies leave.
#pragma once

#include <optional>

#include "runtime/SysUtils.h"

// The bearing from a point dx, dy away from the player back to the player, in degrees measured
// like the heading, from -90 up to (not including) 270.
Extended Aim(Real dx, Real dy);

// Round(Aim(dx, dy) + offset) for whole offsets, the whole degrees the steering compares an
// enemy's angle with. Found from a double arctangent where that settles it, which is all but
// never not the case, and from Aim itself where it does not.
class TRoundedAim {
 public:
  TRoundedAim(Real dx, Real dy);
  Int64 Plus(Integer offset) const;

 private:
  Int64 FNearest = 0;         // Round(Aim(dx, dy)), where the double settles it
  std::optional<Extended> FExact;  // Aim(dx, dy), where it does not
};

void UpdateEnemies();
void MoveSmoke();
void MoveEnemyShots();
void MoveShots();
void UpdateExplosions();
