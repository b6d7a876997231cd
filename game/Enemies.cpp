#include "game/Enemies.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "dxbase/ScopeExit.h"
#include "game/GameState.h"
#include "game/NewGame.h"
#include "game/Orvalisunit.h"
#include "game/Player.h"
#include "game/View.h"
#include "platform/kernel/ParallelFor.h"
#include "runtime/Random.h"

namespace {

// Aim's bearing, worked out in Float with pi as given.
template <typename Float>
Float Bearing(Real dx, Real dy, Float pi) {
  if (dy < 0) return std::atan(static_cast<Float>(dx) / dy) * 180 / pi;
  if (dy > 0) return std::atan(static_cast<Float>(dx) / dy) * 180 / pi + 180;
  return dx < 0 ? 90 : -90;
}

// Why TRoundedAim gives Round(Aim(dx, dy) + offset): the bearing in doubles lies within 1e-12
// degrees of Aim's (the quotient, the arctangent, whose slope is at most one, and the scaling
// each err by about a unit in the last place of a double, and bearings lie below 360). Where it
// is farther than kMargin from the nearest half degree, so is Aim's, on the same side, and so is
// Aim's plus a whole offset: the 80-bit sum is off by less than 1e-16. Rounding then gives the
// whole degree nearest the double plus the offset. A bearing that is not a number fails the test
// and takes the 80-bit way.
constexpr double kMargin = 1e-9;

}  // namespace

Extended Aim(Real dx, Real dy) { return Bearing(dx, dy, Pi); }

TRoundedAim::TRoundedAim(Real dx, Real dy) {
  const double approximate = Bearing(dx, dy, std::numbers::pi);
  const double nearest = std::nearbyint(approximate);
  if (std::abs(approximate - nearest) < 0.5 - kMargin)
    FNearest = static_cast<Int64>(nearest);
  else
    FExact = Aim(dx, dy);
}

Int64 TRoundedAim::Plus(Integer offset) const {
  return FExact ? Round(*FExact + offset) : FNearest + offset;
}

namespace {

template <typename T>
void StepAlong(T& entry, Extended sine, Extended cosine) {
  entry.Y += cosine * entry.Speed;
  entry.X += sine * entry.Speed;
}

template <typename T>
void StepForward(T& entry) {
  const Extended a = DegreesToRadians(entry.Angle);
  StepAlong(entry, std::sin(a), std::cos(a));
}

bool SameBits(Extended a, Extended b) {
  // The 80 bits of the value; the bytes after them are padding.
  return std::memcmp(&a, &b, 10) == 0;
}

// An enemy's step, with the sine and cosine of its angle from EnemyAngleSines when they belong to
// it.
void StepEnemyForward(Integer index) {
  TEnemyShip& enemy = EnemyShip[index];
  TAngleSines& sines = EnemyAngleSines[index];
  if (!SameBits(sines.Angle, enemy.Angle)) {
    const Extended a = DegreesToRadians(enemy.Angle);
    sines = {enemy.Angle, std::sin(a), std::cos(a)};
  }
  StepAlong(enemy, sines.Sin, sines.Cos);
}

// The shot an enemy fires from where it is, one step out already.
TEnemyShot ShotFiredBy(const TEnemyShip& enemy, Integer index) {
  TEnemyShot shot{};
  shot.X = enemy.X;
  shot.Y = enemy.Y;
  shot.Speed = 2 * enemy.Speed + 10;
  shot.Angle = enemy.Angle;
  shot.Frame = 0;
  shot.Life = 50;
  shot.Damage = 5;
  shot.Owner = index;
  StepForward(shot);
  return shot;
}

// One enemy: steer towards the player, fire when pointing at it, speed up when far and slow
// down when near, move, and let the turn rate decay while it is not steering. Returns the shot it
// fired. Reads the player and writes only this enemy's own entries (ship and sines), so enemies
// can be steered side by side.
std::optional<TEnemyShot> SteerAndMove(Integer index) {
  TEnemyShip& enemy = EnemyShip[index];
  std::optional<TEnemyShot> fired;
  const Real dx = enemy.X - PlayerX, dy = enemy.Y - PlayerY;

  // On top of the player the bearing means nothing: no steering and no fire then.
  if (dx != 0 || dy != 0) {
    const TRoundedAim aim(dx, dy);
    // Angles are never wrapped: crossing the bearing's seam makes the enemy turn the long way.
    if (enemy.Angle < aim.Plus(-5)) {
      enemy.Turning = 1;
      enemy.TurnRate += enemy.TurnAccel;
      if (enemy.TurnRate > enemy.MaxTurn) enemy.TurnRate = enemy.MaxTurn;
    }
    if (enemy.Angle > aim.Plus(5)) {
      enemy.Turning = 1;
      enemy.TurnRate -= enemy.TurnAccel;
      if (enemy.TurnRate < enemy.MinTurn) enemy.TurnRate = enemy.MinTurn;
    }
    // The cheap tests first: most enemies are far away or cooling down.
    if (enemy.FireCooldown == 0 && -800 < dx && dx < 800 && -800 < dy && dy < 800 &&
        aim.Plus(-2) < enemy.Angle && enemy.Angle < aim.Plus(2)) {
      enemy.FireCooldown = 60;
      fired = ShotFiredBy(enemy, index);
    }
  }

  const bool far = dx > 400 || dx < -400 || dy > 400 || dy < -400;
  if (far) {
    enemy.Speed += enemy.Accel;
    if (enemy.Speed > enemy.MaxSpeed) enemy.Speed = enemy.MaxSpeed;
  } else {
    enemy.Speed -= 2 * enemy.Accel;
    if (enemy.Speed < 4.0) enemy.Speed = 4.0;
  }
  StepEnemyForward(index);

  if (enemy.Turning == 0) {
    if (enemy.TurnRate > 0) {
      enemy.TurnRate -= 2 * enemy.TurnAccel;
      if (enemy.TurnRate < 0) enemy.TurnRate = 0;
    }
    if (enemy.TurnRate < 0) {
      enemy.TurnRate += 2 * enemy.TurnAccel;
      if (enemy.TurnRate > 0) enemy.TurnRate = 0;
    }
  }
  enemy.Angle += enemy.TurnRate;
  enemy.Turning = 0;
  return fired;
}

bool Overlaps(Real x, Real y, Real targetX, Real targetY) {
  return targetX - 25 < x && x < targetX + 25 && targetY - 25 < y && y < targetY + 25;
}

// The packing of a table once some of its entries are destroyed, the others keeping their order:
// an entry's new place is its old one less the destroyed entries before it. Only the entries
// after the first destroyed one move, stretch by stretch, the stretches side by side on worker
// threads. A stretch's survivors fill the places from its first survivor's new place up to where
// the next stretch's begin: partly its own places, partly the last ones of the stretch before
// it, which that stretch may not have read yet. So the entries at each stretch's end that the
// next one overwrites are put aside before any stretch moves, and the stretch takes them from
// there.
class TPacking {
 public:
  // `destroyed` in table order, at least one, and kept for the packing's life.
  TPacking(const std::vector<Integer>& destroyed, Integer count)
      : FDestroyed(destroyed), FCount(count), FFirst(destroyed.front()),
        // A few stretches a worker, each long beside the entries put aside for it.
        FStretchLength(std::max({256, (count - FFirst) / 32 + 1,
                                 8 * static_cast<Integer>(destroyed.size())})) {
    Integer asideCount = 0;
    for (Integer stretch = 0; stretch < StretchCount(); ++stretch) {
      FAsideStart.push_back(asideCount);
      asideCount += End(stretch) - AsideFrom(stretch);
    }
  }

  Integer StretchCount() const { return (FCount - FFirst) / FStretchLength + 1; }

  // The entries every stretch puts aside, one stretch after the other.
  template <typename T>
  std::vector<T> PutAside(const T* table) const {
    std::vector<T> aside;
    for (Integer stretch = 0; stretch < StretchCount(); ++stretch)
      aside.insert(aside.end(), table + AsideFrom(stretch), table + End(stretch));
    return aside;
  }

  // Moves the survivors of one stretch to their new places; `aside` is what PutAside gave.
  template <typename T>
  void Pack(T* table, Integer stretch, const std::vector<T>& aside) const {
    const Integer end = End(stretch), asideFrom = AsideFrom(stretch);
    const T* const stretchAside = aside.data() + FAsideStart[static_cast<size_t>(stretch)];
    const Integer destroyedCount = static_cast<Integer>(FDestroyed.size());
    // Upwards, so that an entry is read before the one landing on its place is written.
    Integer gone = DestroyedBefore(Begin(stretch));
    for (Integer i = Begin(stretch); i < end; ++i) {
      if (gone < destroyedCount && FDestroyed[gone] == i) {
        ++gone;
        continue;
      }
      table[i - gone] = i < asideFrom ? table[i] : stretchAside[i - asideFrom];
    }
  }

 private:
  Integer DestroyedBefore(Integer i) const {
    return static_cast<Integer>(std::lower_bound(FDestroyed.begin(), FDestroyed.end(), i) -
                                FDestroyed.begin());
  }
  Integer Begin(Integer stretch) const { return FFirst + stretch * FStretchLength; }
  Integer End(Integer stretch) const {
    return std::min(FCount + 1, Begin(stretch) + FStretchLength);
  }
  // Where the places of the next stretch's survivors begin.
  Integer AsideFrom(Integer stretch) const {
    return End(stretch) - DestroyedBefore(End(stretch));
  }

  const std::vector<Integer>& FDestroyed;
  Integer FCount, FFirst, FStretchLength;
  std::vector<Integer> FAsideStart;  // where each stretch's entries begin in what PutAside gives
};

// The enemies one pass of shots destroys. A destroyed enemy is only marked while the pass runs
// and keeps its place, so that the table is compacted and the shots' firers are followed to
// their new places once at the end, not once per kill. The pass sees exactly what removing each
// enemy at once would show it: the others are tested in the same order, and a shot's firer
// still names the same enemy.
class TEnemyKills {
 public:
  // Finds, on worker threads, the enemies that one of the shots overlaps: only they can be hit,
  // so each shot then tests these few, not the whole table. Nothing moves during the pass, and a
  // kill only takes an enemy out, so no other enemy can become a target.
  template <typename T>
  TEnemyKills(const T* shots, Integer shotCount) {
    // The shots by X, so that an enemy looks only at those within reach of it sideways. A shot
    // with a coordinate that is not a number overlaps nothing, and would break the order and the
    // bounds.
    std::vector<std::pair<Real, Real>> positions;
    for (Integer i = 1; i <= shotCount; ++i)
      if (!std::isnan(shots[i].X) && !std::isnan(shots[i].Y))
        positions.emplace_back(shots[i].X, shots[i].Y);
    if (positions.empty()) return;
    std::sort(positions.begin(), positions.end());
    auto beyond = [](Real x, const std::pair<Real, Real>& position) { return x < position.first; };
    auto byY = [](const std::pair<Real, Real>& a, const std::pair<Real, Real>& b) {
      return a.second < b.second;
    };
    const auto [lowest, highest] = std::minmax_element(positions.begin(), positions.end(), byY);
    const Real minX = positions.front().first, maxX = positions.back().first;
    const Real minY = lowest->second, maxY = highest->second;
    std::vector<uint8_t> targeted(EnemyCount + 1, 0);
    ParallelFor<Integer>(1, EnemyCount + 1, 1024, [&](Integer j) {
      const TEnemyShip& enemy = EnemyShip[j];
      // Overlaps' own bounds, so a shot passed over here is one Overlaps refuses. Most enemies
      // are outside the box round all the shots, which is quicker to tell than which shots lie
      // sideways within reach.
      const Real left = enemy.X - 25, right = enemy.X + 25;
      if (!(left < maxX && minX < right && enemy.Y - 25 < maxY && minY < enemy.Y + 25)) return;
      for (auto shot = std::upper_bound(positions.begin(), positions.end(), left, beyond);
           shot != positions.end() && shot->first < right; ++shot)
        if (Overlaps(shot->first, shot->second, enemy.X, enemy.Y)) {
          targeted[j] = 1;
          break;
        }
    });
    for (Integer j = 1; j <= EnemyCount; ++j)
      if (targeted[j]) FTargets.push_back({j, false});
  }

  // Destroys every enemy but `spared` that the shot overlaps, in table order; a shot that hit
  // lives one more frame.
  template <typename T>
  void Hit(T& shot, Integer spared) {
    for (TTarget& target : FTargets) {
      if (target.Index == spared || target.Destroyed ||
          !Overlaps(shot.X, shot.Y, EnemyShip[target.Index].X, EnemyShip[target.Index].Y))
        continue;
      shot.Life = 1;
      LeaveExplosion(EnemyShip[target.Index]);
      target.Destroyed = true;
    }
  }

  // Removes the destroyed enemies, the others keeping their order, and moves each enemy shot's
  // firer to its new place (NoOwner where it is gone). An enemy's new place is its old one less
  // the enemies destroyed before it.
  void RemoveDestroyed() {
    std::vector<Integer> destroyed;  // in table order
    for (const TTarget& target : FTargets)
      if (target.Destroyed) destroyed.push_back(target.Index);
    if (destroyed.empty()) return;
    PackSurvivors(destroyed);
    EnemyCount -= static_cast<Integer>(destroyed.size());
    for (Integer i = 1; i <= EnemyShotCount; ++i) {
      // A firer past the table is shifted down by every removal too.
      Integer& owner = EnemyShot[i].Owner;
      if (owner < 1 || owner == NoOwner) continue;
      const auto later = std::lower_bound(destroyed.begin(), destroyed.end(), owner);
      if (later != destroyed.end() && *later == owner)
        owner = NoOwner;
      else
        owner -= static_cast<Integer>(later - destroyed.begin());
    }
  }

 private:
  struct TTarget {
    Integer Index;
    bool Destroyed;
  };

  static void LeaveExplosion(const TEnemyShip& enemy) {
    if (TExplosionEffect* explosion = AppendEntry(ExplosionEffect, ExplosionCount)) {
      explosion->X = enemy.X;
      explosion->Y = enemy.Y;
      explosion->Frame = 1;
      // Kills within the same millisecond get the same kind.
      SeedFromClock();
      explosion->Kind = Random(3) + 1;
    }
  }

  // The enemies with their sines.
  static void PackSurvivors(const std::vector<Integer>& destroyed) {
    const TPacking packing(destroyed, EnemyCount);
    const std::vector<TEnemyShip> shipsAside = packing.PutAside(EnemyShip);
    const std::vector<TAngleSines> sinesAside = packing.PutAside(EnemyAngleSines.data());
    ParallelFor<Integer>(0, packing.StretchCount(), 1, [&](Integer stretch) {
      packing.Pack(EnemyShip, stretch, shipsAside);
      packing.Pack(EnemyAngleSines.data(), stretch, sinesAside);
    });
  }

  std::vector<TTarget> FTargets;  // the enemies some shot overlaps, in table order
};

// An explosion of kind k shows items 29 (k - 1) + Frame for Frame 2 .. 29 k; the last kind's last
// picture is the highest.
bool Finished(const TExplosionEffect& explosion) { return explosion.Frame > 29 * explosion.Kind; }
constexpr Integer HighestExplosionPicture = 29 * (3 - 1) + 29 * 3;

// Moves every entry one step and ages it, then removes the expired ones, the others keeping
// their order. The shot passes test their hits after this: a hit leaves a shot one more frame,
// never none, so it could not change which ones expire now.
template <typename T>
void MoveAndAge(T* table, Integer& count) {
  Integer kept = 0;
  for (Integer i = 1; i <= count; ++i) {
    StepForward(table[i]);
    if (--table[i].Life != 0) table[++kept] = table[i];
  }
  count = kept;
}

}  // namespace

// UpdateEnemies: in frames with enemies, after both shot passes. Steers, fires, moves and draws
// every enemy, appends enemy shots, counts the enemies in view and writes the second text line.
void UpdateEnemies() {
  // Each enemy steers, fires and moves where it is located, on worker threads when no drawing
  // can raise; its shot and its picture follow in table order.
  DrawnEnemyCount = 0;
  TDirectDrawSurface* surface = OrvalisMain->DXDraw->Surface();
  const TViewSquare view(PlayerX, PlayerY, ViewRange);
  const TViewTransform viewTransform(Heading);
  // An enemy that fired or is in view after its move, and how it is drawn if it is.
  struct TEnemyPlace {
    std::optional<TEnemyShot> Fired;
    bool InView;
    Integer X, Y, Picture;
    Single Angle;
  };
  LocateThenDraw(
      1, EnemyCount, {OrvalisMain->Enemy, HighestBankFrame},
      [&](Integer i) -> std::optional<TEnemyPlace> {
        const TEnemyShip& enemy = EnemyShip[i];
        // Drawn where it was before it moved, but counted by where it is now.
        const Real fromX = enemy.X, fromY = enemy.Y;
        std::optional<TEnemyShot> fired = SteerAndMove(i);
        if (!view.Contains(enemy.X, enemy.Y)) {
          if (!fired) return std::nullopt;
          return TEnemyPlace{fired, false, 0, 0, 0, 0};
        }
        const TViewOffset offset = viewTransform(fromX, fromY, PlayerX, PlayerY);
        return TEnemyPlace{fired, true, ScreenX(offset, -15), ScreenY(offset, 0),
                           TurnRateBankFrame(enemy.TurnRate), ScreenAngle(enemy.Angle)};
      },
      [&](const TEnemyPlace& place) {
        // A shot that finds the table full is lost.
        if (place.Fired) {
          if (TEnemyShot* shot = AppendEntry(EnemyShot, EnemyShotCount)) *shot = *place.Fired;
        }
        if (!place.InView) return;
        ++DrawnEnemyCount;
        OrvalisMain->Enemy->Items()->Items(place.Picture)
            ->DrawRotate(surface, place.X, place.Y, 50, 50, 0, 0.5, 0.5, place.Angle);
      });
  WriteTextLine(0, 50, "Anzahl der Schiffe: " + IntToStr(DrawnEnemyCount));
}

// MoveSmoke, MoveEnemyShots, MoveShots: in frames where their table holds entries, right after
// it is drawn. Move and age the entries, remove the expired ones and apply the shots' hits
// (destroyed enemies, the player's energy).
void MoveSmoke() { MoveAndAge(SmokePuff, SmokeCount); }

void MoveEnemyShots() {
  MoveAndAge(EnemyShot, EnemyShotCount);
  TEnemyKills kills(EnemyShot, EnemyShotCount);
  for (Integer i = 1; i <= EnemyShotCount; ++i) {
    TEnemyShot& shot = EnemyShot[i];
    kills.Hit(shot, shot.Owner);
    if (Overlaps(shot.X, shot.Y, PlayerX, PlayerY)) {
      shot.Life = 1;
      DamagePlayer(shot.Damage);
    }
  }
  kills.RemoveDestroyed();
}

void MoveShots() {
  MoveAndAge(Shot, ShotCount);
  TEnemyKills kills(Shot, ShotCount);
  for (Integer i = 1; i <= ShotCount; ++i) kills.Hit(Shot[i], NoOwner);
  kills.RemoveDestroyed();
}

// UpdateExplosions: in frames with explosions, after the enemies. Ages, removes and draws them.
void UpdateExplosions() {
  // However the pass ends, the explosions it has aged past their last picture leave, in one sweep
  // that keeps the order of the others; those it has not reached have not finished.
  const ScopeExit removeFinished([] {
    Integer kept = 0;
    for (Integer i = 1; i <= ExplosionCount; ++i)
      if (!Finished(ExplosionEffect[i])) ExplosionEffect[++kept] = ExplosionEffect[i];
    ExplosionCount = kept;
  });
  TDirectDrawSurface* surface = OrvalisMain->DXDraw->Surface();
  const TViewSquare view(PlayerX, PlayerY, ViewRange);
  const TViewTransform viewTransform(Heading);
  const Single angle = static_cast<Single>((180 - Heading) * (256.0L / 360.0L));
  struct TExplosionPlace {
    Integer X, Y, Picture;
  };
  LocateThenDraw(
      1, ExplosionCount, {OrvalisMain->Explosion, HighestExplosionPicture},
      [&](Integer i) -> std::optional<TExplosionPlace> {
        TExplosionEffect& explosion = ExplosionEffect[i];
        ++explosion.Frame;
        if (Finished(explosion) || !view.Contains(explosion.X, explosion.Y)) return std::nullopt;
        const TViewOffset offset = viewTransform(explosion.X, explosion.Y, PlayerX, PlayerY);
        return TExplosionPlace{ScreenX(offset, -10), ScreenY(offset, 0),
                               explosion.Frame + 29 * (explosion.Kind - 1)};
      },
      [&](const TExplosionPlace& place) {
        OrvalisMain->Explosion->Items()->Items(place.Picture)
            ->DrawRotate(surface, place.X, place.Y, 100, 100, 0, 0.5, 0.5, angle);
      });
}
