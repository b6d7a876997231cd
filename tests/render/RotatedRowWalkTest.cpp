// The rotated draw's row walk inside the generated routine, with raw copies 16 pixels at a
// time where the processor can, against the plain per-row set-up: each row's first pixel and
// length computed in C++ and drawn as one span pixel by pixel. Every destination bit count, rows
// either way up, clipping at all four edges, steps of every sign (zero included) and arguments
// at their limits.
#include <algorithm>
#include <climits>
#include <random>

#include "RenderFixture.h"
#include "render/DXRRotate.h"

namespace {

// The source range along one axis of a row and the per-pixel step along it.
class SourceSpan {
 public:
  SourceSpan(int64_t step, int64_t low, int64_t high)
      : step_(step), low_(low), high_(high), divisor_(std::max<int64_t>(std::abs(step), 1)) {}

  // Pixels at the row's start whose coordinate lies before the range.
  int64_t LeadingSkip(int64_t coord) const {
    if (step_ > 0 && coord < low_) return (low_ - coord + step_ - 1) / divisor_;
    if (step_ < 0 && coord >= high_) return (coord - high_ - step_) / divisor_;
    return 0;
  }

  // Pixels from the current coordinate on whose coordinate stays inside the range; none
  // (zero or less) when it starts outside.
  int64_t RunLength(int64_t coord) const {
    if (step_ == 0 && (coord < low_ || coord >= high_)) return 0;
    const int64_t room = step_ >= 0 ? high_ - coord : coord - low_;
    return room > 0 ? room / divisor_ : 0;
  }

 private:
  int64_t step_, low_, high_, divisor_;
};

int32_t Wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// The rows the machine describes, each run as one span.
void RunRowsOneByOne(TDXRMachine& machine, const RECT& rect) {
  const DXRRowWalk rows = machine.Rows;
  DXRTextureRegister& texture = machine.TextureRegisters[0];
  const int64_t dUdx = texture.dU, dVdx = texture.dV;
  const SourceSpan alongU(dUdx, rect.left * int64_t{65536}, rect.right * int64_t{65536});
  const SourceSpan alongV(dVdx, rect.top * int64_t{65536}, rect.bottom * int64_t{65536});
  int32_t u0 = rows.U.Start, v0 = rows.V.Start;
  for (int32_t row = rows.Top; row < rows.Bottom; ++row) {
    int64_t u = u0, v = v0;
    const int64_t skip = std::max(alongU.LeadingSkip(u), alongV.LeadingSkip(v));
    const int64_t room = int64_t{machine.Dest->Width} - (rows.Left + skip);
    u += room > 0 ? skip * dUdx : 0;
    v += room > 0 ? skip * dVdx : 0;
    const int64_t count = std::min({alongU.RunLength(u), alongV.RunLength(v), room});
    if (count > 0) {
      machine.Axis.X = static_cast<int32_t>(rows.Left + skip);
      machine.Axis.Y = row;
      texture.U = static_cast<int32_t>(u);
      texture.V = static_cast<int32_t>(v);
      machine.Run(static_cast<int32_t>(count));
    }
    u0 = Wrap32(int64_t{u0} + rows.U.RowStep);
    v0 = Wrap32(int64_t{v0} + rows.V.RowStep);
  }
}

class RotatedRowWalk : public ::testing::TestWithParam<bool> {};

TEST_P(RotatedRowWalk, DrawsWhatTheRowsDrawnOneByOneDraw) {
  // The row walk as the program runs it, against its rows run one by one without raw copies of
  // 16 texels: so the copies are checked too where the processor has them.
  const UseMMXForm form(GetParam());
  if (const std::string why = form.Unavailable(); !why.empty()) GTEST_SKIP() << why;
  TDXRMachine machine, oneByOne({.AVX512 = false});
  std::mt19937 rng(4711);
  const int32_t extremes[] = {INT32_MIN, -65536, -1, 0, 1, 65535, INT32_MAX};
  auto pick = [&rng](int32_t low, int32_t high) {
    return low + static_cast<int32_t>(rng() % static_cast<uint32_t>(high - low + 1));
  };
  int changed = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const PixelFormat destFormat = AllFormats[trial % std::size(AllFormats)];
    // Half the sources in the destination's format, a third of the draws plain copies: the
    // texels go over as they are.
    const PixelFormat sourceFormat = rng() % 2 ? destFormat : AllFormats[rng() % std::size(AllFormats)];
    TestSurface source(sourceFormat, pick(1, 20), pick(1, 20), rng() & 1);
    source.Randomize(rng);
    TestSurface expected(destFormat, pick(1, 40), pick(1, 40), rng() & 1);
    expected.Randomize(rng);
    TestSurface actual = expected;
    const std::vector<uint8_t> before = expected.memory;

    const auto sw = static_cast<int32_t>(source.desc.Width), sh = static_cast<int32_t>(source.desc.Height);
    const int32_t left = pick(0, sw - 1), top = pick(0, sh - 1);
    const RECT rect = {left, top, pick(left + 1, sw), pick(top + 1, sh)};
    // Positions past every edge, sizes mirrored or not, axis-parallel angles (a zero step) often.
    const auto destWidth = static_cast<int32_t>(expected.desc.Width);
    const auto destHeight = static_cast<int32_t>(expected.desc.Height);
    int32_t x = pick(-12, destWidth + 12), y = pick(-12, destHeight + 12);
    int32_t width = pick(-40, 40), height = pick(-40, 40);
    const int32_t angle = rng() % 3 == 0 ? pick(-4, 4) * 64 : pick(-600, 600);
    const double centerX = pick(-5, 15) / 10.0, centerY = pick(-5, 15) / 10.0;
    if (trial % 10 == 0) {
      x = extremes[rng() % std::size(extremes)];
      width = extremes[rng() % std::size(extremes)];
    } else if (trial % 10 == 1) {
      y = extremes[rng() % std::size(extremes)];
      height = extremes[rng() % std::size(extremes)];
    }
    const auto blend = rng() % 3 ? static_cast<TDXRBlendMode>(rng() % BlendModeCount) : BlendSource1;
    const bool key = rng() & 1;
    const uint32_t keyValue = rng() % 4;

    if (PrepareRotatedDraw(oneByOne, expected.desc, source.desc, x, y, width, height, rect, centerX, centerY, angle,
                           blend, 0x80, key, keyValue))
      RunRowsOneByOne(oneByOne, rect);
    DrawRotatedBlend(machine, actual.desc, source.desc, x, y, width, height, rect, centerX, centerY, angle, blend, 0x80,
                     key, keyValue);
    changed += expected.memory != before;
    ASSERT_EQ(actual.memory, expected.memory)
        << "trial " << trial << " " << FormatName(destFormat) << " from " << FormatName(sourceFormat) << " at "
        << x << "," << y << " size " << width << "x" << height << " angle " << angle << " centre " << centerX << ","
        << centerY << " rect " << rect.left << "," << rect.top << "-" << rect.right << "," << rect.bottom;
  }
  // Most draws land somewhere: the comparison is not between two untouched destinations.
  EXPECT_GT(changed, 600);
}

INSTANTIATE_BOTH_FORMS(RotatedRowWalk);

}  // namespace
