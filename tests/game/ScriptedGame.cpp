#include "ScriptedGame.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "game/GameState.h"
#include "game/Orvalisunit.h"
#include "platform/TestControl.h"
#include "platform/user/Keyboard.h"

namespace {

struct TKeyWindow {
  int32_t Key;
  int First, Last;  // frames in which the key is held, both included
};

// Long enough for the swarm to gather round the player and for every key to act more than once,
// also together with the others.
constexpr TKeyWindow kScript[] = {
    {VK_SPACE, 20, 399},   {VK_SPACE, 600, 899}, {VK_SPACE, 1000, 1199},
    {VK_LEFT, 50, 119},    {VK_LEFT, 980, 1010}, {VK_RIGHT, 300, 339},
    {VK_RIGHT, 700, 759},  {VK_UP, 100, 249},    {VK_UP, 800, 849},
    {VK_DOWN, 250, 289},   {VK_DOWN, 900, 949},
};

constexpr int32_t kScriptedKeys[] = {VK_SPACE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};

// 64-bit FNV-1a.
class THash {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) FValue = (FValue ^ bytes[i]) * 0x100000001B3ull;
  }
  template <typename T>
  void Value(T value) {
    static_assert(std::is_arithmetic_v<T>);
    if constexpr (std::is_same_v<T, long double>) {
      // The 80-bit value only: the bytes after it are padding.
      unsigned char bytes[sizeof(long double)]{};
      std::memcpy(bytes, &value, sizeof(value));
      Bytes(bytes, 10);
    } else {
      Bytes(&value, sizeof(value));
    }
  }
  uint64_t Result() const { return FValue; }

 private:
  uint64_t FValue = 0xCBF29CE484222325ull;
};

template <typename T, typename Fields>
void HashTable(THash& hash, const T* table, Integer count, Fields fields) {
  hash.Value(count);
  for (Integer i = 1; i <= count; ++i) fields(table[i]);
}

}  // namespace

void StartScriptedClock() {
  TestSetManualClock(true);
  TestSetClock(kScriptedClockStart);
}

void PrepareScriptedFrame(int frame) {
  TestAdvanceClock(33);
  for (int32_t key : kScriptedKeys) {
    bool held = false;
    for (const TKeyWindow& window : kScript)
      held = held || (window.Key == key && window.First <= frame && frame <= window.Last);
    if (held != ((GetAsyncKeyState(key) & 0x8000) != 0)) HostKeyEvent(key, held);
  }
}

void PlayScriptedFrame(int frame) {
  PrepareScriptedFrame(frame);
  GameFrame();
}

uint64_t HashPresentedFrame() {
  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;
  THash hash;
  if (TestLastFrame(pixels, width, height)) {
    hash.Value(width);
    hash.Value(height);
    hash.Bytes(pixels.data(), pixels.size() * sizeof(uint32_t));
  }
  return hash.Result();
}

uint64_t HashGameState() {
  THash hash;
  auto shot = [&hash](const TShot& s) {
    hash.Value(s.X), hash.Value(s.Y), hash.Value(s.Life), hash.Value(s.Speed);
    hash.Value(s.Angle), hash.Value(s.Frame);
  };
  HashTable(hash, Shot, ShotCount, shot);
  HashTable(hash, EnemyShot, EnemyShotCount, [&](const TEnemyShot& s) {
    shot(s);
    hash.Value(s.Damage), hash.Value(s.Owner);
  });
  HashTable(hash, EnemyShip, EnemyCount, [&hash](const TEnemyShip& e) {
    hash.Value(e.X), hash.Value(e.Y), hash.Value(e.Angle), hash.Value(e.MaxSpeed);
    hash.Value(e.Speed), hash.Value(e.Accel), hash.Value(e.MaxTurn), hash.Value(e.MinTurn);
    hash.Value(e.TurnRate), hash.Value(e.TurnAccel), hash.Value(e.Turning);
    hash.Value(e.FireCooldown);
  });
  HashTable(hash, ExplosionEffect, ExplosionCount, [&hash](const TExplosionEffect& e) {
    hash.Value(e.X), hash.Value(e.Y), hash.Value(e.Frame), hash.Value(e.Kind);
  });
  HashTable(hash, SmokePuff, SmokeCount, [&hash](const TSmokePuff& s) {
    hash.Value(s.X), hash.Value(s.Y), hash.Value(s.Life), hash.Value(s.Speed);
    hash.Value(s.Angle), hash.Value(s.Frame);
  });
  for (Extended value : {Heading, TurnRate}) hash.Value(value);
  for (Real value : {PlayerX, PlayerY, FarCameraX, FarCameraY, Speed}) hash.Value(value);
  for (Integer value : {DrawnEnemyCount, PlayerEnergy, ShownEnergy, FireCooldown, SmokeCooldown,
                        NearStarTick, FarStarTick, ShotAnimTick, EnemyShotAnimTick, SmokeAnimTick,
                        BlipFrame, RadarFrameAnim, Thrusting, Turning})
    hash.Value(value);
  return hash.Result();
}
