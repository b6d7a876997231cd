// The rotated draw with source and destination pixels against guard pages: every bit count on
// both sides, rows top-down and bottom-up, pixels touching the page before or after them, and
// draws clipped at every edge, at extreme positions, sizes, centres and angles. A single access
// outside the pixels ends the test with a fault.
#include <climits>
#include <limits>
#include <vector>

#include "GuardedSurface.h"
#include "RenderFixture.h"
#include "render/DXRRotate.h"

namespace {

struct DrawCase {
  int32_t x, y, width, height;
  double centerX, centerY;
  int32_t angle;
};

// Destination `width` x 7, source 5 x 6: draws that reach past each edge, cover the whole, sit
// in a corner, and take the arguments to their limits.
std::vector<DrawCase> Cases(int32_t width) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<DrawCase> cases;
  for (int32_t angle = -3; angle < 260; angle += 7) {
    cases.push_back({width / 2, 3, width + 21, 30, 0.5, 0.5, angle});  // over all four edges at once
    cases.push_back({0, 3, 6, 5, 0.5, 0.5, angle});                    // left
    cases.push_back({width - 1, 3, 6, 5, 0.5, 0.5, angle});            // right
    cases.push_back({4, 0, 6, 5, 0.5, 0.5, angle});                    // top
    cases.push_back({4, 6, 6, 5, 0.5, 0.5, angle});                    // bottom
    cases.push_back({width, 7, 3, 3, 0.0, 0.0, angle});                // just past the far corner
    cases.push_back({4, 3, -7, 9, 0.3, 0.8, angle});   // mirrored by a negative size
    cases.push_back({4, 3, 2, 40, 1.7, -0.6, angle});  // thin, centre outside the rectangle
  }
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -65536, -1, 0, 1, 65535, INT32_MAX};
  for (int32_t a : extremes)
    for (int32_t b : extremes) {
      cases.push_back({a, b, 5, 5, 0.5, 0.5, 3});
      cases.push_back({4, 3, a, b, 0.5, 0.5, 40});
      cases.push_back({a, 3, 7, b, 0.0, 1.0, a});
    }
  const double centres[] = {-inf, -32768.0, -1e-300, 0.0, 0.5, 1.0, 32767.9, 1e300, inf, nan};
  for (double cx : centres)
    for (double cy : centres) cases.push_back({4, 3, 8, 8, cx, cy, 17});
  return cases;
}

using GuardedParam = std::tuple<PixelFormat, PixelFormat, bool>;
class GuardedRotatedDraw : public ::testing::TestWithParam<GuardedParam> {};

TEST_P(GuardedRotatedDraw, StaysInsideSourceAndDestination) {
  const auto [destFormat, sourceFormat, mmx] = GetParam();
  const UseMMXForm form(mmx);
  if (const std::string why = form.Unavailable(); !why.empty()) GTEST_SKIP() << why;
  TDXRMachine machine;
  for (int layout = 0; layout < 4; ++layout) {
    const bool bottomUp = layout & 1, againstEnd = layout & 2;
    // The wider destination has rows long enough for whole blocks of the 16-pixel copies.
    const int32_t width = againstEnd ? 37 : 9;
    const std::vector<DrawCase> cases = Cases(width);
    GuardedSurface dest(destFormat, width, 7, bottomUp, againstEnd);
    GuardedSurface source(sourceFormat, 5, 6, !bottomUp, !againstEnd);
    dest.Fill(1);
    source.Fill(2);
    const std::vector<uint8_t> before = dest.Pixels();
    uint32_t drawn = 0;
    for (const DrawCase& c : cases) {
      const RECT rects[] = {{0, 0, 5, 6}, {4, 5, 5, 6}, {1, 2, 3, 6}};
      const RECT& rect = rects[drawn % 3];
      const auto blend = static_cast<TDXRBlendMode>(drawn % BlendModeCount);
      DrawRotatedBlend(machine, dest.desc, source.desc, c.x, c.y, c.width, c.height, rect, c.centerX, c.centerY,
                       c.angle, blend, 0x80, drawn % 2 == 0, drawn % 4);
      ++drawn;
    }
    // Destinations of fewer than 8 bits a pixel are neither read nor written.
    if (FormatBits(destFormat) >= 8)
      EXPECT_NE(dest.Pixels(), before) << "layout " << layout;
    else
      EXPECT_EQ(dest.Pixels(), before) << "layout " << layout;
  }
}

std::string GuardedName(const ::testing::TestParamInfo<GuardedParam>& info) {
  return FormatName(std::get<0>(info.param)) + "_from_" + FormatName(std::get<1>(info.param)) +
         (std::get<2>(info.param) ? "_MMX" : "_Table");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, GuardedRotatedDraw,
                         ::testing::Combine(::testing::ValuesIn(AllFormats), ::testing::ValuesIn(AllFormats),
                                            ::testing::Bool()),
                         GuardedName);

}  // namespace
