#include "tools/assets/AssetPictures.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr double Pi = 3.14159265358979323846;

struct TRGB {
  double R, G, B;
};

// Colours 1..15 run from a dark to a light shade of `tint`; 0 stays black.
TColorTable Ramp(TRGB dark, TRGB light) {
  TColorTable table{};
  for (int i = 1; i < 16; ++i) {
    const double t = (i - 1) / 14.0;
    auto mix = [&](double a, double b) {
      return static_cast<BYTE>(std::lround(std::clamp(a + (b - a) * t, 0.0, 1.0) * 255));
    };
    table[i] = PackRGBQuad(mix(dark.R, light.R), mix(dark.G, light.G), mix(dark.B, light.B));
  }
  return table;
}

// A picture of the given size whose pixel (x, y) gets shade(u, v) in 0..1 (0 = transparent),
// with u, v the pixel centre in -1..1 (v pointing up).
std::unique_ptr<TDIB> Paint(int width, int height, const TColorTable& colors,
                            const std::function<double(double u, double v)>& shade) {
  auto dib = std::make_unique<TDIB>();
  dib->ColorTable() = colors;
  dib->SetSize(width, height, 4);
  dib->ColorTable() = colors;
  dib->ApplyColorTable();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double u = (x + 0.5) / width * 2 - 1, v = 1 - (y + 0.5) / height * 2;
      const double level = std::clamp(shade(u, v), 0.0, 1.0);
      dib->SetPixels(x, y, level <= 0 ? 0 : 1 + static_cast<DWORD>(std::lround(level * 14)));
    }
  return dib;
}

// A soft round blob: 1 at the middle, 0 at `radius`.
double Blob(double u, double v, double radius) {
  const double d = std::hypot(u, v) / radius;
  return d >= 1 ? 0 : 1 - d * d;
}

// Inside the triangle a, b, c (either winding).
bool InsideTriangle(double u, double v, double ax, double ay, double bx, double by, double cx,
                    double cy) {
  auto side = [&](double x1, double y1, double x2, double y2) {
    return (x2 - x1) * (v - y1) - (y2 - y1) * (u - x1);
  };
  const double s1 = side(ax, ay, bx, by), s2 = side(bx, by, cx, cy), s3 = side(cx, cy, ax, ay);
  return (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
}

// A dart-shaped ship pointing up, banked by `bank` in -1..1 (right wing down for positive):
// the lowered wing is drawn shorter and darker, the raised one longer and lighter.
double Ship(double u, double v, double bank) {
  const double rightSpan = 0.95 - 0.35 * std::max(bank, 0.0) + 0.05 * std::max(-bank, 0.0);
  const double leftSpan = 0.95 - 0.35 * std::max(-bank, 0.0) + 0.05 * std::max(bank, 0.0);
  if (std::abs(u) < 0.16 && v > -0.7 && v < 0.95 - std::abs(u) * 3) {
    const double cockpit = Blob(u, v - 0.25, 0.14);
    return cockpit > 0 ? 1 : 0.75;
  }
  if (u >= 0 && InsideTriangle(u, v, 0, 0.55, rightSpan, -0.75, 0, -0.45))
    return 0.55 - 0.25 * bank + 0.15 * (1 - u);
  if (u < 0 && InsideTriangle(u, v, 0, 0.55, -leftSpan, -0.75, 0, -0.45))
    return 0.55 + 0.25 * bank + 0.15 * (1 + u);
  return 0;
}

double ShipWithFlame(double u, double v, double bank) {
  const double hull = Ship(u, v, bank);
  if (hull > 0) return hull;
  return 0.4 * Blob(u / 0.6, v + 0.82, 0.3);
}

std::vector<std::unique_ptr<TDIB>> BankFrames(int width, int height, const TColorTable& colors) {
  std::vector<std::unique_ptr<TDIB>> pictures;
  for (int frame = 0; frame <= 40; ++frame) {
    const double bank = (frame - 20) / 20.0;
    pictures.push_back(Paint(width, height, colors,
                             [bank](double u, double v) { return ShipWithFlame(u, v, bank); }));
  }
  return pictures;
}

// A star that twinkles: `phase` 0..1 over its animation.
double Star(double u, double v, double phase, double size) {
  const double glow = 0.6 + 0.4 * std::cos(phase * 2 * Pi);
  const double core = Blob(u, v, size * (0.7 + 0.3 * glow));
  const double spikes =
      (std::abs(u) < 0.12 || std::abs(v) < 0.12) ? 0.35 * glow * (1 - std::hypot(u, v)) : 0;
  return std::max(core * glow, spikes);
}

// A spinning bonus crystal: a diamond whose width follows the turn.
double Crystal(double u, double v, double phase) {
  const double width = 0.15 + 0.45 * std::abs(std::cos(phase * 2 * Pi));
  const double scaledU = u / width;
  if (std::abs(scaledU) + std::abs(v) / 0.8 > 1) return 0;
  const double facet = scaledU * std::sin(phase * 2 * Pi) > 0 ? 0.95 : 0.6;
  return facet - 0.3 * std::abs(v);
}

// A plasma ball with a flickering rim.
double Plasma(double u, double v, double phase) {
  const double pulse = 0.8 + 0.2 * std::sin(phase * 2 * Pi);
  const double angle = std::atan2(v, u);
  const double rim = 0.55 + 0.08 * std::sin(5 * angle + phase * 2 * Pi);
  return Blob(u, v, rim * pulse) * 1.2;
}

// A fireball: grows and fades over `progress` 0..1, with ragged flames.
double Fireball(double u, double v, double progress, int seed) {
  const double radius = 0.25 + 0.7 * std::sqrt(progress);
  const double angle = std::atan2(v, u);
  const double ragged = 1 + 0.18 * std::sin(7 * angle + seed) * std::sin(3 * angle + 2 * seed);
  const double body = Blob(u, v, radius * ragged);
  const double hole = progress > 0.5 ? Blob(u, v, radius * (progress - 0.5) * 1.6) : 0;
  return (body - hole) * (1.15 - 0.85 * progress);
}

// A puff of smoke, thinning out as it ages.
double Smoke(double u, double v, double age) {
  return Blob(u, v, 0.95 - 0.4 * age) * (0.9 - 0.7 * age);
}

// The energy bar: a frame with the left `fill` of it lit.
double EnergyBar(double u, double v, double fill) {
  const bool border = std::abs(u) > 0.985 || std::abs(v) > 0.8;
  if (border) return 0.35;
  const double x = (u + 1) / 2;
  return x <= fill ? 0.55 + 0.45 * (1 - std::abs(v)) : 0;
}

// The radar's mark of the player: a ring that pulses, with the ship's heading tick on top.
double PlayerMark(double u, double v, double phase) {
  const double radius = 0.55 + 0.35 * std::sin(phase * Pi);
  const double ring = std::abs(std::hypot(u, v) - radius) < 0.14 ? 1 - 0.6 * phase : 0;
  const double tick = std::abs(u) < 0.15 && v > 0.2 ? 1 : 0;
  return std::max(ring, tick);
}

std::vector<std::unique_ptr<TDIB>> Frames(int count, int width, int height,
                                          const TColorTable& colors,
                                          const std::function<double(double, double, int)>& shade) {
  std::vector<std::unique_ptr<TDIB>> pictures;
  for (int frame = 0; frame < count; ++frame)
    pictures.push_back(
        Paint(width, height, colors, [&](double u, double v) { return shade(u, v, frame); }));
  return pictures;
}

std::vector<std::unique_ptr<TDIB>> StarPictures() {
  // Near stars 0..12, bright; far stars 13..21, small and bluish.
  auto pictures = Frames(13, 7, 7, Ramp({0.25, 0.25, 0.3}, {1, 1, 0.95}),
                         [](double u, double v, int f) { return Star(u, v, f / 13.0, 0.6); });
  auto far = Frames(9, 5, 5, Ramp({0.1, 0.12, 0.3}, {0.65, 0.75, 1}),
                    [](double u, double v, int f) { return Star(u, v, f / 9.0, 0.8) * 0.8; });
  for (auto& picture : far) pictures.push_back(std::move(picture));
  return pictures;
}

std::vector<std::unique_ptr<TDIB>> RadarPictures() {
  const TColorTable colors = Ramp({0.1, 0.3, 0.1}, {0.7, 1, 0.7});
  std::vector<std::unique_ptr<TDIB>> pictures;
  // 0 and 13, 14 are not shown; shot blips 1..6, bonus blips 7..12, the player's mark 15..24,
  // enemy blips 25..30.
  auto blip = [](const TColorTable& tint, int frame) {
    return Paint(5, 5, tint, [frame](double u, double v) {
      return Blob(u, v, 1.2) * (0.6 + 0.4 * std::cos(frame / 6.0 * 2 * Pi));
    });
  };
  pictures.push_back(blip(colors, 0));
  for (int f = 0; f < 6; ++f) pictures.push_back(blip(Ramp({0.3, 0.3, 0.1}, {1, 1, 0.5}), f));
  for (int f = 0; f < 6; ++f) pictures.push_back(blip(Ramp({0.1, 0.3, 0.3}, {0.5, 1, 1}), f));
  for (int f = 0; f < 2; ++f) pictures.push_back(blip(colors, 0));
  for (int f = 0; f < 10; ++f)
    pictures.push_back(
        Paint(15, 15, colors, [f](double u, double v) { return PlayerMark(u, v, f / 10.0); }));
  for (int f = 0; f < 6; ++f) pictures.push_back(blip(Ramp({0.35, 0.05, 0.05}, {1, 0.45, 0.4}), f));
  return pictures;
}

std::vector<std::unique_ptr<TDIB>> ExplosionPictures() {
  // Kind k shows pictures 2 .. 29k from 29(k-1) on: a run of 29 is one blast, so the larger
  // kinds burst two or three times.
  return Frames(146, 32, 32, Ramp({0.45, 0.08, 0.02}, {1, 0.95, 0.6}),
                [](double u, double v, int f) { return Fireball(u, v, (f % 29) / 29.0, f / 29); });
}

}  // namespace

std::vector<TAssetList> MakeAssetLists() {
  std::vector<TAssetList> lists;
  auto add = [&](const char* fileName, std::vector<std::unique_ptr<TDIB>> pictures) {
    lists.push_back({fileName, std::move(pictures)});
  };
  add("star1.dxg", StarPictures());
  add("ship2.dxg", BankFrames(68, 50, Ramp({0.2, 0.25, 0.35}, {0.75, 0.9, 1})));
  add("plasma1.dxg", Frames(9, 16, 16, Ramp({0.1, 0.2, 0.6}, {0.85, 0.95, 1}),
                            [](double u, double v, int f) { return Plasma(u, v, f / 9.0); }));
  add("enemy_plasma1.dxg", Frames(9, 16, 16, Ramp({0.6, 0.1, 0.05}, {1, 0.9, 0.5}),
                                  [](double u, double v, int f) { return Plasma(u, v, f / 9.0); }));
  add("radar.dxg", RadarPictures());
  add("rauch.dxg", Frames(7, 10, 10, Ramp({0.15, 0.15, 0.15}, {0.7, 0.7, 0.7}),
                          [](double u, double v, int f) { return Smoke(u, v, f / 6.0); }));
  add("bonus.dxg", Frames(39, 50, 50, Ramp({0.3, 0.25, 0.02}, {1, 0.95, 0.5}),
                          [](double u, double v, int f) { return Crystal(u, v, f / 39.0); }));
  add("enemy1.dxg", BankFrames(32, 32, Ramp({0.35, 0.08, 0.1}, {1, 0.6, 0.55})));
  add("explosion.dxg", ExplosionPictures());
  add("energy_balken_new.dxg",
      Frames(101, 150, 10, Ramp({0.05, 0.3, 0.1}, {0.6, 1, 0.5}),
             [](double u, double v, int f) { return EnergyBar(u, v, f / 100.0); }));
  return lists;
}
