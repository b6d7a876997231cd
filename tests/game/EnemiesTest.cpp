#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "GameTestSupport.h"
#include "game/Enemies.h"
#include "game/GameState.h"
#include "game/NewGame.h"
#include "game/Player.h"
#include "game/View.h"
#include "runtime/Random.h"

namespace {

// The shot passes done the straightforward way: each destroyed enemy leaves the table at once and
// every enemy shot's firer is moved down after it. The game's passes must do exactly this.
namespace reference {

// Removes entry `index` (1 .. count) by moving every later entry down a place.
template <typename T>
void RemoveEntry(T* table, Integer& count, Integer index) {
  std::copy(table + index + 1, table + count + 1, table + index);
  --count;
}

bool Overlaps(Real x, Real y, Real targetX, Real targetY) {
  return targetX - 25 < x && x < targetX + 25 && targetY - 25 < y && y < targetY + 25;
}

void DestroyEnemy(Integer e) {
  if (TExplosionEffect* explosion = AppendEntry(ExplosionEffect, ExplosionCount)) {
    explosion->X = EnemyShip[e].X;
    explosion->Y = EnemyShip[e].Y;
    explosion->Frame = 1;
    SeedFromClock();
    explosion->Kind = Random(3) + 1;
  }
  RemoveEntry(EnemyShip, EnemyCount, e);
  for (Integer i = 1; i <= EnemyShotCount; ++i) {
    Integer& owner = EnemyShot[i].Owner;
    if (owner == e)
      owner = NoOwner;
    else if (owner > e && owner != NoOwner)
      --owner;
  }
}

template <typename T>
void HitEnemies(T& shot, const Integer& spared) {
  for (Integer j = 1; j <= EnemyCount;) {
    if (j != spared && Overlaps(shot.X, shot.Y, EnemyShip[j].X, EnemyShip[j].Y)) {
      shot.Life = 1;
      DestroyEnemy(j);
    } else {
      ++j;
    }
  }
}

template <typename T, typename Test>
void MoveAndAge(T* table, Integer& count, Test test) {
  for (Integer i = 1; i <= count; ++i) {
    const Extended a = table[i].Angle * Pi / 180;
    table[i].Y += std::cos(a) * table[i].Speed;
    table[i].X += std::sin(a) * table[i].Speed;
    --table[i].Life;
  }
  for (Integer i = 1; i <= count;) {
    if (table[i].Life == 0) {
      RemoveEntry(table, count, i);
      continue;
    }
    test(table[i]);
    ++i;
  }
}

void MoveEnemyShots() {
  MoveAndAge(EnemyShot, EnemyShotCount, [](TEnemyShot& shot) {
    HitEnemies(shot, shot.Owner);
    if (Overlaps(shot.X, shot.Y, PlayerX, PlayerY)) {
      shot.Life = 1;
      DamagePlayer(shot.Damage);
    }
  });
}

void MoveShots() {
  MoveAndAge(Shot, ShotCount, [](TShot& shot) { HitEnemies(shot, NoOwner); });
}

}  // namespace reference

// A running game with its tables emptied: the player at rest at (10000, 10000) facing +Y, the
// clock stopped so that kills in one test fall in the same millisecond.
class EnemiesTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    TestSetManualClock(true);
    ShowMainForm();
    EnemyCount = ShotCount = EnemyShotCount = ExplosionCount = SmokeCount = 0;
    PlayerX = PlayerY = 10000;
    Heading = 0;
    PlayerEnergy = 100;
  }

  // An enemy at rest-speed 5 with no turn, tagged by its MaxTurn so that it can be followed
  // through removals.
  static TEnemyShip& AddEnemy(Real x, Real y, Extended angle, Integer tag = 6) {
    TEnemyShip& e = *AppendEntry(EnemyShip, EnemyCount);
    e.X = x;
    e.Y = y;
    e.Angle = angle;
    e.MaxSpeed = 12;
    e.Speed = 5;
    e.Accel = 0.08;
    e.MaxTurn = tag;
    e.MinTurn = -2;
    e.TurnRate = 0;
    e.TurnAccel = 0.04;
    e.FireCooldown = 0;
    return e;
  }
  template <typename T>
  static T& AddShot(T* table, Integer& count, Real x, Real y, Integer life) {
    T& shot = *AppendEntry(table, count);
    shot.X = x;
    shot.Y = y;
    shot.Life = life;
    shot.Speed = 0;
    return shot;
  }
  static std::vector<Integer> EnemyTags() {
    std::vector<Integer> tags;
    for (Integer i = 1; i <= EnemyCount; ++i) tags.push_back(EnemyShip[i].MaxTurn);
    return tags;
  }
};

TEST(Aim, BearingBackToThePlayerFromMinusNinetyToTwoSeventy) {
  EXPECT_EQ(Aim(100, 0), -90) << "on the player's row to +X: turn towards -X";
  EXPECT_EQ(Aim(-100, 0), 90);
  EXPECT_EQ(Aim(0, -100), 0) << "below the player: straight up";
  EXPECT_EQ(Aim(0, 100), 180);
  EXPECT_NEAR(static_cast<double>(Aim(-100, -100)), 45, 1e-12);
  EXPECT_NEAR(static_cast<double>(Aim(100, -100)), -45, 1e-12);
  EXPECT_NEAR(static_cast<double>(Aim(100, 100)), 225, 1e-12);
  EXPECT_NEAR(static_cast<double>(Aim(100, 1e-9)), 270, 1e-6) << "just short of 270";
  EXPECT_LT(Aim(100, 1e-9), 270);
}

TEST(Aim, RoundedAimIsTheRoundedBearingEvenAHairFromHalfADegree) {
  std::vector<std::pair<Real, Real>> offsets = {
      {0, 0}, {100, 0}, {-100, 0}, {0, -1}, {0, 1}, {1e-300, 1e300}, {1e300, -1e-300},
      {INFINITY, 1}, {INFINITY, INFINITY}, {NAN, 1}, {1, NAN}, {-5e-324, -1}};
  std::mt19937_64 random(17);
  std::uniform_real_distribution<Real> across(-20000, 20000);
  for (int i = 0; i < 20000; ++i) offsets.emplace_back(across(random), across(random));
  // Offsets whose bearing lies within a few 1e-12 of a half degree, on either side: walked a
  // unit in the last place at a time across where it is exactly half a degree.
  for (Real halfDegree = -89.5; halfDegree < 270; halfDegree += 7) {
    const Real dy = halfDegree < 90 ? -1000 : 1000;
    const Real dx = dy * std::tan(static_cast<Real>(halfDegree * std::numbers::pi / 180));
    Real nudged = dx;
    for (int step = 0; step < 300; ++step) nudged = std::nextafter(nudged, -INFINITY);
    for (int step = 0; step < 600; ++step, nudged = std::nextafter(nudged, INFINITY))
      offsets.emplace_back(nudged, dy);
  }
  for (const auto& [dx, dy] : offsets) {
    const TRoundedAim aim(dx, dy);
    for (const Integer offset : {-5, -2, 2, 5})
      ASSERT_EQ(aim.Plus(offset), Round(Aim(dx, dy) + offset))
          << "dx " << dx << ", dy " << dy << ", offset " << offset;
  }
}

TEST_F(EnemiesTest, SteeringTurnsTowardsTheBearingOrLetsTheTurnDecayInsideTheDeadBand) {
  TEnemyShip& onRow = AddEnemy(11000, 10000, 0);  // bearing -90
  onRow.TurnRate = 0.1L;
  TEnemyShip& aimed = AddEnemy(10000, 9000, 4.9L);  // bearing 0, inside +-5
  aimed.TurnRate = 1;
  TEnemyShip& left = AddEnemy(10000, 9000, -6);
  left.TurnRate = 5.99L;
  UpdateEnemies();
  EXPECT_NEAR(static_cast<double>(EnemyShip[1].TurnRate), 0.06, 1e-12);
  EXPECT_NEAR(static_cast<double>(EnemyShip[1].Angle), 0.06, 1e-12);
  EXPECT_NEAR(static_cast<double>(EnemyShip[2].TurnRate), 0.92, 1e-12);
  EXPECT_NEAR(static_cast<double>(EnemyShip[2].Angle), 4.9 + 0.92, 1e-12);
  EXPECT_EQ(EnemyShip[3].TurnRate, 6) << "capped at its largest turn";
  EXPECT_EQ(EnemyShip[3].Turning, 0) << "cleared after every move";
}

TEST_F(EnemiesTest, FarEnemiesSpeedUpToTwelveAndNearOnesSlowButNotBelowFour) {
  AddEnemy(10401, 10000, 0).Speed = 5;
  AddEnemy(10000, 10000 - 401, 0).Speed = 11.95;
  AddEnemy(10400, 10400, 0).Speed = 5;
  AddEnemy(10100, 10000, 0).Speed = 1;
  UpdateEnemies();
  EXPECT_NEAR(EnemyShip[1].Speed, 5.08, 1e-12);
  EXPECT_EQ(EnemyShip[2].Speed, 12);
  EXPECT_NEAR(EnemyShip[3].Speed, 4.84, 1e-12) << "400 on both axes is still near";
  EXPECT_EQ(EnemyShip[4].Speed, 4.0);
  EXPECT_NEAR(EnemyShip[2].Y, 10000 - 401 + 12, 1e-9) << "moved at its new speed";
}

TEST_F(EnemiesTest, EnemyFiresOnlyWhenPointingCloseEnoughAndCooledDown) {
  AddEnemy(10000, 9500, 1.9L);         // fires
  AddEnemy(10000, 9500, 2);            // angle not below Round(Aim + 2)
  AddEnemy(10000, 9500, 0).FireCooldown = 1;
  AddEnemy(10000, 10000 - 800, 0);     // not within 800
  AddEnemy(10799, 10000, -90);         // fires towards -X
  UpdateEnemies();
  ASSERT_EQ(EnemyShotCount, 2);
  EXPECT_EQ(EnemyShot[1].Owner, 1);
  EXPECT_EQ(EnemyShot[2].Owner, 5);
  EXPECT_EQ(EnemyShip[1].FireCooldown, 60);
  EXPECT_EQ(EnemyShip[2].FireCooldown, 0);
  EXPECT_EQ(EnemyShip[4].FireCooldown, 0);
  const TEnemyShot& shot = EnemyShot[1];
  EXPECT_EQ(shot.Life, 50);
  EXPECT_EQ(shot.Damage, 5);
  EXPECT_EQ(shot.Frame, 0);
  EXPECT_DOUBLE_EQ(shot.Speed, 2 * 5 + 10) << "from the speed before the enemy's own change";
  EXPECT_EQ(shot.Angle, 1.9L);
  EXPECT_NEAR(shot.Y, 9500 + 20 * std::cos(1.9 * 3.14159265358979323846 / 180), 1e-9)
      << "one step out already";
  EXPECT_NEAR(EnemyShot[2].X, 10799 - 20, 1e-9);
}

TEST_F(EnemiesTest, EnemyShotSparesItsFirerButHitsOthersAndThePlayerInOneFrame) {
  AddEnemy(10000, 10010, 0, 1);
  AddEnemy(10000, 10010, 0, 2);
  TEnemyShot& shot = AddShot(EnemyShot, EnemyShotCount, 10000, 10005, 10);
  shot.Damage = 5;
  shot.Owner = 1;
  MoveEnemyShots();
  EXPECT_EQ(EnemyTags(), (std::vector<Integer>{1}));
  EXPECT_EQ(ExplosionCount, 1);
  EXPECT_EQ(PlayerEnergy, 95);
  ASSERT_EQ(EnemyShotCount, 1);
  EXPECT_EQ(EnemyShot[1].Life, 1) << "a hit ends the shot next frame";
  MoveEnemyShots();
  EXPECT_EQ(EnemyShotCount, 0);
  EXPECT_EQ(PlayerEnergy, 95) << "an expiring shot is not tested again";
  EXPECT_EQ(EnemyTags(), (std::vector<Integer>{1}));
}

TEST_F(EnemiesTest, ShotKeepsSparingItsFirerWhenEarlierEnemiesAreDestroyed) {
  AddEnemy(5000, 5000, 0, 1);
  AddEnemy(10000, 10100, 0, 2);
  AddEnemy(10000, 10100, 0, 3);  // fired the enemy shot
  TEnemyShot& enemyShot = AddShot(EnemyShot, EnemyShotCount, 10000, 10100, 10);
  enemyShot.Owner = 3;
  AddShot(Shot, ShotCount, 5000, 5000, 10);  // the player's shot at enemy 1
  MoveShots();
  EXPECT_EQ(EnemyTags(), (std::vector<Integer>{2, 3}));
  EXPECT_EQ(EnemyShot[1].Owner, 2) << "follows its firer down the table";
  MoveEnemyShots();
  EXPECT_EQ(EnemyTags(), (std::vector<Integer>{3})) << "the other enemy went, the firer stays";

  // Once its firer is gone a shot may hit any enemy.
  AddEnemy(10000, 10100, 0, 4);
  AddShot(Shot, ShotCount, 10000, 10100, 10);  // destroys both enemies there
  TEnemyShot& orphan = AddShot(EnemyShot, EnemyShotCount, 7000, 7000, 10);
  orphan.Owner = 1;
  MoveShots();
  EXPECT_EQ(EnemyCount, 0);
  EXPECT_EQ(EnemyShot[EnemyShotCount].Owner, NoOwner);
}

// Every value the shot passes can change, compared bit for bit.
struct TShotPassOutcome {
  std::vector<std::vector<char>> Tables;
  Integer PlayerEnergy;
  uint32_t RandSeed;
  bool operator==(const TShotPassOutcome&) const = default;
};

template <typename T, typename... Fields>
std::vector<char> TableBytes(const T* table, Integer count, Fields... fields) {
  std::vector<char> bytes;
  auto add = [&bytes](const auto& field) {
    // An Extended field's 80 bits only: the bytes after them are padding.
    const size_t size = std::is_same_v<std::decay_t<decltype(field)>, Extended> ? 10 : sizeof field;
    bytes.insert(bytes.end(), reinterpret_cast<const char*>(&field),
                 reinterpret_cast<const char*>(&field) + size);
  };
  add(count);
  for (Integer i = 1; i <= count; ++i) (add(table[i].*fields), ...);
  return bytes;
}

TShotPassOutcome ShotPassOutcome() {
  return {{TableBytes(EnemyShip, EnemyCount, &TEnemyShip::X, &TEnemyShip::Y, &TEnemyShip::Angle,
                      &TEnemyShip::MaxTurn, &TEnemyShip::Speed),
           TableBytes(EnemyShot, EnemyShotCount, &TEnemyShot::X, &TEnemyShot::Y,
                      &TEnemyShot::Life, &TEnemyShot::Owner, &TEnemyShot::Damage),
           TableBytes(Shot, ShotCount, &TShot::X, &TShot::Y, &TShot::Life),
           TableBytes(ExplosionEffect, ExplosionCount, &TExplosionEffect::X,
                      &TExplosionEffect::Y, &TExplosionEffect::Frame, &TExplosionEffect::Kind)},
          PlayerEnergy,
          RandSeed};
}

// Seeded random crowds of enemies and both kinds of shot in a small square round the player, so
// that shots hit several enemies, enemies fired shots that hit others, firers die before their
// shots are tested, and shots expire; in some rounds the explosion table fills up on the way.
TEST_F(EnemiesTest, ShotPassesDestroyExactlyAsRemovingEachEnemyAtOnce) {
  std::mt19937 random(11);
  auto uniform = [&random](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  };
  auto below = [&random](Integer n) {
    return std::uniform_int_distribution<Integer>(0, n - 1)(random);
  };
  Integer kills = 0, orphans = 0;
  for (int round = 0; round < 200; ++round) {
    EnemyCount = ShotCount = EnemyShotCount = 0;
    ExplosionCount = round % 4 == 3 ? TableCapacity - below(8) : below(5);
    PlayerEnergy = 100;
    TestAdvanceClock(1);  // a new explosion kind now and then
    const Integer enemies = 1 + below(300);
    for (Integer i = 1; i <= enemies; ++i)
      AddEnemy(PlayerX + uniform(-300, 300), PlayerY + uniform(-300, 300), 0, i);
    for (Integer i = below(40); i > 0; --i) {
      TEnemyShot& shot = AddShot(EnemyShot, EnemyShotCount, PlayerX + uniform(-300, 300),
                                 PlayerY + uniform(-300, 300), 1 + below(3));
      shot.Speed = uniform(0, 30);
      shot.Angle = uniform(-720, 720);
      shot.Damage = 5;
      shot.Owner = below(4) == 0 ? NoOwner : 1 + below(enemies);
    }
    for (Integer i = below(15); i > 0; --i) {
      TShot& shot = AddShot(Shot, ShotCount, PlayerX + uniform(-300, 300),
                            PlayerY + uniform(-300, 300), 1 + below(3));
      shot.Speed = uniform(0, 30);
      shot.Angle = uniform(-720, 720);
    }

    const std::vector<TEnemyShip> enemiesBefore(EnemyShip + 1, EnemyShip + EnemyCount + 1);
    const std::vector<TEnemyShot> enemyShotsBefore(EnemyShot + 1, EnemyShot + EnemyShotCount + 1);
    const std::vector<TShot> shotsBefore(Shot + 1, Shot + ShotCount + 1);
    const Integer explosionsBefore = ExplosionCount;
    reference::MoveEnemyShots();
    reference::MoveShots();
    const TShotPassOutcome expected = ShotPassOutcome();
    kills += enemies - EnemyCount;
    for (Integer i = 1; i <= EnemyShotCount; ++i) orphans += EnemyShot[i].Owner == NoOwner;

    std::copy(enemiesBefore.begin(), enemiesBefore.end(), EnemyShip + 1);
    std::copy(enemyShotsBefore.begin(), enemyShotsBefore.end(), EnemyShot + 1);
    std::copy(shotsBefore.begin(), shotsBefore.end(), Shot + 1);
    EnemyCount = enemies;
    EnemyShotCount = static_cast<Integer>(enemyShotsBefore.size());
    ShotCount = static_cast<Integer>(shotsBefore.size());
    ExplosionCount = explosionsBefore;
    PlayerEnergy = 100;
    MoveEnemyShots();
    MoveShots();
    ASSERT_TRUE(ShotPassOutcome() == expected) << "round " << round;
  }
  EXPECT_GT(kills, 1000) << "the rounds must destroy enemies";
  EXPECT_GT(orphans, 100) << "and leave shots whose firer is gone";
}

TEST_F(EnemiesTest, ExpiredEntriesLeaveAndTheOthersKeepTheirOrder) {
  for (Integer life : {5, 1, 1, 7, 1}) AddShot(Shot, ShotCount, 1000 + life, 0, life);
  for (Integer i = 1; i <= ShotCount; ++i) Shot[i].Frame = i;
  MoveShots();
  ASSERT_EQ(ShotCount, 2);
  EXPECT_EQ(Shot[1].Frame, 1);
  EXPECT_EQ(Shot[2].Frame, 4);
  EXPECT_EQ(Shot[1].Life, 4);
  EXPECT_EQ(Shot[2].Life, 6);

  for (Integer i = 0; i < 3; ++i) AddShot(SmokePuff, SmokeCount, 0, 0, 18 - i);
  for (int frame = 0; frame < 16; ++frame) MoveSmoke();
  EXPECT_EQ(SmokeCount, 2);
  MoveSmoke();
  EXPECT_EQ(SmokeCount, 1);
  EXPECT_EQ(SmokePuff[1].Life, 1);
}

TEST_F(EnemiesTest, PlayerShotDestroysEveryEnemyItOverlapsWithEqualKindsInOneMillisecond) {
  AddEnemy(12000, 12000, 0, 1);
  AddEnemy(12020, 11980, 0, 2);
  AddEnemy(12000, 12025, 0, 3);  // 25 away: not overlapped
  AddEnemy(11990, 12010, 0, 4);
  TShot& shot = AddShot(Shot, ShotCount, 12000, 12000, 100);
  shot.Speed = 0;
  MoveShots();
  EXPECT_EQ(EnemyTags(), (std::vector<Integer>{3}));
  ASSERT_EQ(ExplosionCount, 3);
  EXPECT_EQ(ExplosionEffect[1].X, 12000);
  EXPECT_EQ(ExplosionEffect[2].X, 12020);
  EXPECT_EQ(ExplosionEffect[3].X, 11990);
  for (Integer i = 1; i <= 3; ++i) {
    EXPECT_EQ(ExplosionEffect[i].Frame, 1);
    EXPECT_EQ(ExplosionEffect[i].Kind, ExplosionEffect[1].Kind);
  }
  EXPECT_GE(ExplosionEffect[1].Kind, 1);
  EXPECT_LE(ExplosionEffect[1].Kind, 3);
}

TEST_F(EnemiesTest, ExplosionsLastTwentyEightFramesPerKindAndMore) {
  for (Integer kind = 1; kind <= 3; ++kind) {
    TExplosionEffect& e = *AppendEntry(ExplosionEffect, ExplosionCount);
    e.X = PlayerX + 100 * kind;  // in view: drawn through the picture of every frame
    e.Y = PlayerY;
    e.Frame = 1;
    e.Kind = kind;
  }
  std::vector<Integer> countAfter;
  for (int frame = 1; frame <= 87; ++frame) {
    UpdateExplosions();
    countAfter.push_back(ExplosionCount);
  }
  EXPECT_EQ(countAfter[27], 3) << "kind 1 shows 28 pictures";
  EXPECT_EQ(countAfter[28], 2);
  EXPECT_EQ(countAfter[56], 2) << "kind 2 shows 57";
  EXPECT_EQ(countAfter[57], 1);
  EXPECT_EQ(countAfter[85], 1) << "kind 3 shows 86";
  EXPECT_EQ(countAfter[86], 0);
}

// An enemy list with too few pictures raises at the first enemy drawn: that one has fired,
// moved and been counted, the ones after it have neither moved nor fired.
TEST_F(EnemiesTest, DrawingThatRaisesLeavesTheLaterEnemiesAsTheyWere) {
  AddEnemy(10000, 9700, 0, 1);  // in view and pointing at the player: fires
  AddEnemy(10100, 9800, 30, 2);
  AddEnemy(10000, 9650, 0, 3);  // would fire too
  const std::vector<TEnemyShip> before(EnemyShip + 1, EnemyShip + 4);
  OrvalisMain->Enemy->Items()->Clear();
  EXPECT_THROW(UpdateEnemies(), EListError);
  EXPECT_NEAR(EnemyShip[1].Y, 9700 + 4.84, 1e-9) << "the first enemy moved";
  EXPECT_EQ(EnemyShip[1].FireCooldown, 60);
  EXPECT_EQ(EnemyShotCount, 1) << "its shot was fired before it was drawn";
  EXPECT_EQ(DrawnEnemyCount, 1);
  for (Integer i = 2; i <= 3; ++i) {
    const TEnemyShip& was = before[i - 1];
    EXPECT_EQ(EnemyShip[i].X, was.X) << "enemy " << i;
    EXPECT_EQ(EnemyShip[i].Y, was.Y) << "enemy " << i;
    EXPECT_EQ(EnemyShip[i].Angle, was.Angle) << "enemy " << i;
    EXPECT_EQ(EnemyShip[i].Speed, was.Speed) << "enemy " << i;
    EXPECT_EQ(EnemyShip[i].FireCooldown, 0) << "enemy " << i;
  }
}

// The same for explosions: those before the raise have aged and the finished ones among them
// have left; those after it have not aged.
TEST_F(EnemiesTest, DrawingThatRaisesLeavesTheLaterExplosionsAsTheyWere) {
  for (Integer frame : {29, 5, 7}) {
    TExplosionEffect& e = *AppendEntry(ExplosionEffect, ExplosionCount);
    e = {PlayerX, PlayerY + 100, frame, 1};  // the first finishes in this frame
  }
  OrvalisMain->Explosion->Items()->Clear();
  EXPECT_THROW(UpdateExplosions(), EListError);
  ASSERT_EQ(ExplosionCount, 2);
  EXPECT_EQ(ExplosionEffect[1].Frame, 6) << "aged, then its drawing raised";
  EXPECT_EQ(ExplosionEffect[2].Frame, 7);
}

TEST_F(EnemiesTest, OnScreenCountUsesThePositionAfterTheMove) {
  AddEnemy(10000, 10000 + ViewRange + 2, 180).Speed = 11;  // comes into view
  AddEnemy(10000, 10000 - ViewRange + 2, 180).Speed = 11;  // leaves it
  AddEnemy(10000, 10000 + 100, 0);
  UpdateEnemies();
  EXPECT_EQ(DrawnEnemyCount, 2);
  EXPECT_LT(EnemyShip[1].Y, 10000 + ViewRange);
  EXPECT_LT(EnemyShip[2].Y, 10000 - ViewRange);
}

// Frame after frame, each enemy steps along the angle it had when the frame began, at its new
// speed, in Extended arithmetic: also when it turns, when another enemy moves into its place in
// the table, and for angles equal but for the sign of zero.
TEST_F(EnemiesTest, EnemiesStepAlongTheirAngleAtTheStartOfEveryFrame) {
  // Straight below the player, so that they keep their zero angles.
  PlayerX = 0;
  AddEnemy(-0.0, -20000, 0.0, 1);
  AddEnemy(-0.0, -20000, -0.0, 2);
  AddEnemy(9000, 9000, 721.5L, 3).TurnRate = 0.75L;  // turning, at an unwrapped angle
  AddEnemy(12000, 8000, 721.5L, 4);
  AddEnemy(14000, 6000, 33.25L, 5);
  auto expectSteps = [](const std::vector<TEnemyShip>& before) {
    for (Integer i = 1; i <= EnemyCount; ++i) {
      const TEnemyShip& was = before[i - 1];
      const TEnemyShip& now = EnemyShip[i];
      ASSERT_EQ(now.MaxTurn, was.MaxTurn);
      const Extended a = was.Angle * Pi / 180;
      const Real x = was.X + std::sin(a) * now.Speed, y = was.Y + std::cos(a) * now.Speed;
      EXPECT_EQ(now.X, x) << "enemy " << now.MaxTurn;
      EXPECT_EQ(now.Y, y) << "enemy " << now.MaxTurn;
      EXPECT_EQ(std::signbit(now.X), std::signbit(x)) << "enemy " << now.MaxTurn;
    }
  };
  for (int frame = 0; frame < 4; ++frame) {
    if (frame == 2) {
      // The first two swap the signs of their zero angles, and the fifth takes the fourth's
      // place when a shot destroys it.
      EnemyShip[1].X = EnemyShip[2].X = -0.0;
      EnemyShip[1].Angle = -0.0;
      EnemyShip[2].Angle = 0.0;
      AddShot(Shot, ShotCount, EnemyShip[4].X, EnemyShip[4].Y, 2);
      MoveShots();
      ASSERT_EQ(EnemyTags(), (std::vector<Integer>{1, 2, 3, 5}));
    }
    const std::vector<TEnemyShip> before(EnemyShip + 1, EnemyShip + EnemyCount + 1);
    UpdateEnemies();
    expectSteps(before);
  }
  EXPECT_NE(EnemyShip[3].Angle, 721.5L) << "the third enemy turned";
}

}  // namespace
