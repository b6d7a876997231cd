// The rotated blended draw: placement, rotation, scaling, clipping, keys and blends.
#include <climits>
#include <limits>
#include <random>

#include "RenderFixture.h"
#include "render/DXRRotate.h"

namespace {

class RotatedDraw : public ::testing::TestWithParam<bool> {
 protected:
  RotatedDraw() : form_(GetParam()), source(PixelFormat::RGB32, 4, 4), dest(PixelFormat::RGB32, 16, 16) {
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 4; ++x) SetSource(x, y, 0x100000 + y * 16 + x);
  }
  void SetUp() override {
    if (const std::string why = form_.Unavailable(); !why.empty()) GTEST_SKIP() << why;
  }

  void SetSource(uint32_t x, uint32_t y, uint32_t value) {
    std::memcpy(source.memory.data() + y * 16 + x * 4, &value, 4);
  }
  uint32_t Src(uint32_t x, uint32_t y) const { return 0x100000 + y * 16 + x; }
  uint32_t At(int32_t x, int32_t y) const {
    uint32_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(dest.desc.Bits) + y * dest.desc.Pitch + x * 4, 4);
    return value;
  }

  void Draw(int32_t x, int32_t y, int32_t w, int32_t h, int32_t angle, bool key = false, uint32_t keyValue = 0,
            TDXRBlendMode blend = BlendSource1, RECT rect = {0, 0, 4, 4}) {
    DrawRotatedBlend(machine, dest.desc, source.desc, x, y, w, h, rect, 0.5, 0.5, angle, blend, 0, key, keyValue);
  }

  int CountDrawn() const {
    int drawn = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) drawn += At(x, y) != 0;
    return drawn;
  }

  UseMMXForm form_;
  TDXRMachine machine;
  TestSurface source, dest;
};

TEST_P(RotatedDraw, AngleZeroCopiesCentredOnThePosition) {
  Draw(8, 8, 4, 4, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 6 && x < 10 && y >= 6 && y < 10;
      EXPECT_EQ(At(x, y), inside ? Src(x - 6, y - 6) : 0u) << x << "," << y;
    }
  const std::vector<uint8_t> once = dest.memory;
  std::fill(dest.memory.begin(), dest.memory.end(), 0);
  Draw(8, 8, 4, 4, 256);
  EXPECT_EQ(dest.memory, once) << "angles are taken modulo a full turn";
}

TEST_P(RotatedDraw, HalfTurnFlipsBothWays) {
  Draw(8, 8, 4, 4, 128);
  // Runs end where the exit edge is not met exactly, so the source's first row and column fall off.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 7 && x < 10 && y >= 7 && y < 10;
      EXPECT_EQ(At(x, y), inside ? Src(10 - x, 10 - y) : 0u) << x << "," << y;
    }
}

TEST_P(RotatedDraw, QuarterTurnIsClockwise) {
  Draw(8, 8, 4, 4, 64);
  // Source x runs down the screen, source y runs to the left.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 7 && x < 10 && y >= 6 && y < 10;
      EXPECT_EQ(At(x, y), inside ? Src(y - 6, 10 - x) : 0u) << x << "," << y;
    }
}

TEST_P(RotatedDraw, ScalesToTheDrawnSize) {
  Draw(8, 8, 8, 8, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
      EXPECT_EQ(At(x, y), inside ? Src((x - 4) / 2, (y - 4) / 2) : 0u) << x << "," << y;
    }
}

TEST_P(RotatedDraw, EmptyOrInvalidInputDrawsNothing) {
  Draw(8, 8, 0, 4, 0);
  Draw(8, 8, 4, 0, 0);
  Draw(8, 8, 4, 4, 0, false, 0, BlendSource1, {0, 0, 5, 4});
  Draw(8, 8, 4, 4, 0, false, 0, BlendSource1, {-1, 0, 4, 4});
  Draw(8, 8, 4, 4, 0, false, 0, BlendSource1, {2, 0, 2, 4});
  Draw(8, 8, 4, 4, 0, false, 0, BlendSource1, {0, 3, 4, 1});
  Draw(-20, 8, 4, 4, 0);
  Draw(8, 40, 4, 4, 0);
  EXPECT_EQ(CountDrawn(), 0);
}

TEST_P(RotatedDraw, ExtremeArgumentsDrawNothingOrStayInside) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  DrawRotatedBlend(machine, dest.desc, source.desc, 8, 8, 4, 4, {0, 0, 4, 4}, nan, 0.5, 0, BlendSource1, 0, false, 0);
  DrawRotatedBlend(machine, dest.desc, source.desc, 8, 8, 4, 4, {0, 0, 4, 4}, 0.5, 1e300, 0, BlendSource1, 0, false, 0);
  EXPECT_EQ(CountDrawn(), 0);
  Draw(8, 8, 4, 4, INT32_MIN);  // a multiple of a full turn
  EXPECT_EQ(At(6, 6), Src(0, 0));
  DrawRotatedBlend(machine, dest.desc, source.desc, 8, 8, 4, 4, {0, 0, 4, 4}, 0.5, 0.5, INT32_MAX, BlendAdd, INT32_MAX,
                   false, 0);
  DrawRotatedBlend(machine, dest.desc, source.desc, INT32_MAX, INT32_MIN, INT32_MAX, 3, {0, 0, 4, 4}, 0.5, 0.5, 9,
                   BlendSource1, 0, true, 0);
  DrawRotatedBlend(machine, dest.desc, source.desc, 8, 8, 1, 1, {0, 0, 4, 4}, 0.5, 0.5, 3, BlendSource1, 0, false, 0);
  EXPECT_GT(CountDrawn(), 0);
}

TEST_P(RotatedDraw, ClipsAtEveryEdge) {
  Draw(1, 1, 4, 4, 0);
  EXPECT_EQ(At(0, 0), Src(1, 1));
  EXPECT_EQ(At(2, 2), Src(3, 3));
  EXPECT_EQ(CountDrawn(), 9);
  std::fill(dest.memory.begin(), dest.memory.end(), 0);
  Draw(15, 15, 4, 4, 0);
  EXPECT_EQ(At(13, 13), Src(0, 0));
  EXPECT_EQ(At(15, 15), Src(2, 2));
  EXPECT_EQ(CountDrawn(), 9);
}

TEST_P(RotatedDraw, KeyedTexelsLeaveTheDestination) {
  std::fill(dest.memory.begin(), dest.memory.end(), 0x77);
  SetSource(1, 1, 0xFF00FF);
  SetSource(2, 1, 0x01FF00FF);  // equal in its colour bits: the top byte of a 32-bit texel is padding
  Draw(8, 8, 4, 4, 0, true, 0xFF00FF);
  EXPECT_EQ(At(7, 7), 0x77777777u);
  EXPECT_EQ(At(8, 7), 0x77777777u);
  EXPECT_EQ(At(6, 7), Src(0, 1));
  EXPECT_EQ(At(9, 7), Src(3, 1));
}

TEST_P(RotatedDraw, ConvertsAndBlendsIntoOtherFormats) {
  TestSurface narrow(PixelFormat::RGB565, 4, 4);
  const uint16_t grey = 0x8410;
  for (size_t i = 0; i < narrow.memory.size(); i += 2) std::memcpy(&narrow.memory[i], &grey, 2);
  SetSource(0, 0, 0xF80000);
  DrawRotatedBlend(machine, narrow.desc, source.desc, 2, 2, 4, 4, {0, 0, 4, 4}, 0.5, 0.5, 0, BlendAdd, 0, false, 0);
  uint16_t first;
  std::memcpy(&first, narrow.memory.data(), 2);
  EXPECT_EQ(first, 0xFC10);  // red saturates, green and blue stay grey plus almost nothing
  DrawRotatedBlend(machine, narrow.desc, source.desc, 2, 2, 4, 4, {0, 0, 4, 4}, 0.5, 0.5, 0, BlendSource1, 0, false, 0);
  std::memcpy(&first, narrow.memory.data(), 2);
  EXPECT_EQ(first, 0xF800);
}

TEST_P(RotatedDraw, NeverLeavesTheSourceRectangleOrTheBox) {
  // Exactly sized memories: any read or write outside them is caught by the address sanitizer.
  std::mt19937 rng(99);
  TestSurface big(PixelFormat::RGB32, 13, 11);
  big.memory.shrink_to_fit();
  const uint32_t sentinel = 0xABCDEF;
  for (int trial = 0; trial < 300; ++trial) {
    for (size_t i = 0; i < big.memory.size(); i += 4) std::memcpy(&big.memory[i], &sentinel, 4);
    const RECT rect = {static_cast<LONG>(rng() % 6), static_cast<LONG>(rng() % 5), static_cast<LONG>(7 + rng() % 7),
                       static_cast<LONG>(6 + rng() % 6)};
    for (LONG y = rect.top; y < rect.bottom; ++y)
      for (LONG x = rect.left; x < rect.right; ++x) {
        const uint32_t inside = 0x1000000 + static_cast<uint32_t>(y * 100 + x);
        std::memcpy(&big.memory[y * big.desc.Pitch + x * 4], &inside, 4);
      }
    std::fill(dest.memory.begin(), dest.memory.end(), 0);
    const int32_t x = static_cast<int32_t>(rng() % 28) - 6, y = static_cast<int32_t>(rng() % 28) - 6;
    const int32_t w = 1 + static_cast<int32_t>(rng() % 30), h = 1 + static_cast<int32_t>(rng() % 30);
    const int32_t angle = static_cast<int32_t>(rng() % 1024) - 512;
    const double cx = (rng() % 11) / 10.0, cy = (rng() % 11) / 10.0;
    DrawRotatedBlend(machine, dest.desc, big.desc, x, y, w, h, rect, cx, cy, angle, BlendSource1, 0, false, 0);
    int32_t l, t, r, b;
    const bool any = RotatedBounds(dest.desc, x, y, w, h, cx, cy, angle, l, t, r, b);
    for (int32_t py = 0; py < 16; ++py)
      for (int32_t px = 0; px < 16; ++px) {
        const uint32_t value = At(px, py);
        if (value == 0) continue;
        // Rows stay inside the box; a run is cut by the source rectangle, not by the box's right
        // edge, so it may reach one column past it (still inside the destination).
        ASSERT_TRUE(any && px >= l && py >= t && py < b)
            << "trial " << trial << " at " << px << "," << py << " box " << l << "," << t << "-" << r << "," << b
            << " draw " << x << "," << y << " " << w << "x" << h << " angle " << angle << " centre " << cx << ","
            << cy << " rect " << rect.left << "," << rect.top << "-" << rect.right << "," << rect.bottom;
        ASSERT_NE(value, sentinel) << "trial " << trial;
        ASSERT_GE(value, 0x1000000u) << "trial " << trial;
      }
  }
}

TEST(RotatedDrawHelpers, MulDivTruncatesTowardZero) {
  EXPECT_EQ(MulDivInt(7, 3, 2), 10);
  EXPECT_EQ(MulDivInt(-7, 3, 2), -10);
  EXPECT_EQ(MulDivInt(65536, 65536, 65536), 65536);
  EXPECT_EQ(MulDivInt(64, -65536, 50), -83886);
  EXPECT_EQ(MulDivInt(5, 5, 0), 0);
}

TEST(RotatedDrawHelpers, BoundsOfTheRotatedRectangle) {
  TestSurface dest(PixelFormat::RGB32, 100, 50);
  int32_t l, t, r, b;
  ASSERT_TRUE(RotatedBounds(dest.desc, 50, 25, 20, 10, 0.5, 0.5, 0, l, t, r, b));
  EXPECT_EQ(l, 40);
  EXPECT_EQ(t, 20);
  EXPECT_EQ(r, 60);
  EXPECT_EQ(b, 30);
  ASSERT_TRUE(RotatedBounds(dest.desc, 50, 25, 20, 10, 0.5, 0.5, 64, l, t, r, b));
  EXPECT_EQ(l, 45);
  EXPECT_EQ(r, 55);
  EXPECT_EQ(t, 15);
  EXPECT_EQ(b, 35);
  ASSERT_TRUE(RotatedBounds(dest.desc, 95, 2, 20, 10, 0.5, 0.5, 0, l, t, r, b));
  EXPECT_EQ(r, 100);
  EXPECT_EQ(t, 0);
  EXPECT_FALSE(RotatedBounds(dest.desc, 200, 25, 20, 10, 0.5, 0.5, 0, l, t, r, b));
}

INSTANTIATE_TEST_SUITE_P(Forms, RotatedDraw, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "MMX" : "Table");
                         });

}  // namespace
