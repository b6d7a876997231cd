#include "render/DXRRotate.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {
constexpr int64_t One = 65536;
constexpr double MaxCentre = 32768;

// 32-bit two's-complement arithmetic, as the coordinate set-up is defined, without the
// undefined behaviour of signed overflow.
int32_t Wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// The sum of the terms in 32-bit arithmetic. Each term fits in 64 bits, their sum need not:
// it is taken modulo 2^64, which keeps the low 32 bits right.
int32_t WrapSum(std::initializer_list<int64_t> terms) {
  uint64_t sum = 0;
  for (const int64_t term : terms) sum += static_cast<uint64_t>(term);
  return static_cast<int32_t>(static_cast<uint32_t>(sum));
}

// The source range along one axis of a row and the per-pixel step along it. Every row divides
// by the same step, so the divisions become multiplications by a rounded-up reciprocal.
class SourceSpan {
 public:
  SourceSpan(int64_t step, int64_t low, int64_t high)
      : step_(step), low_(low), high_(high), divisor_(std::max<uint64_t>(static_cast<uint64_t>(std::abs(step)), 1)),
        reciprocal_(divisor_ > 1 ? UINT64_MAX / divisor_ + 1 : 0) {}

  // Pixels at the row's start whose coordinate lies before the range.
  int64_t LeadingSkip(int64_t coord) const {
    if (step_ > 0 && coord < low_) return Quotient(low_ - coord + step_ - 1);
    if (step_ < 0 && coord >= high_) return Quotient(coord - high_ - step_);
    return 0;
  }

  // Pixels from the current coordinate on whose coordinate stays inside the range; none
  // (zero or less) when it starts outside.
  int64_t RunLength(int64_t coord) const {
    if (step_ == 0 && (coord < low_ || coord >= high_)) return 0;
    const int64_t room = step_ >= 0 ? high_ - coord : coord - low_;
    return room > 0 ? Quotient(room) : 0;
  }

 private:
  // n ÷ divisor truncated, for n ≥ 0. With the reciprocal rounded up, the high half of the
  // product is exact for dividends and divisors below 2^32.
  int64_t Quotient(int64_t n) const {
    const auto dividend = static_cast<uint64_t>(n);
    if (divisor_ == 1) return n;
    if (dividend > UINT32_MAX || divisor_ > UINT32_MAX) return static_cast<int64_t>(dividend / divisor_);
    return static_cast<int64_t>((static_cast<unsigned __int128>(dividend) * reciprocal_) >> 64);
  }

  int64_t step_, low_, high_;
  uint64_t divisor_, reciprocal_;
};
}  // namespace

int32_t MulDivInt(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return 0;
  return Wrap32(static_cast<int64_t>(a) * b / c);
}

bool RotatedBounds(const TDXRSurface& dest, int32_t x, int32_t y, int32_t width, int32_t height, double centerX,
                   double centerY, int32_t angle, int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
  // Centres far outside the drawn rectangle (or not numbers at all) would overflow the integer
  // corner positions; such a rectangle is nowhere on any surface.
  if (!(std::abs(centerX) <= MaxCentre && std::abs(centerY) <= MaxCentre)) return false;
  const double cosine = Cos256(angle);
  const double sine = Sin256(angle);
  auto rotatePoint = [&](int32_t px, int32_t py, int32_t& rx, int32_t& ry) {
    const double dx = std::trunc(px - width * centerX);
    const double dy = std::trunc(py - height * centerY);
    rx = Wrap32(static_cast<int64_t>(std::trunc(dx * cosine - dy * sine)) + x);
    ry = Wrap32(static_cast<int64_t>(std::trunc(dx * sine + dy * cosine)) + y);
  };
  const int32_t corners[4][2] = {{0, 0}, {width, 0}, {0, height}, {width, height}};
  rotatePoint(corners[0][0], corners[0][1], left, top);
  right = left;
  bottom = top;
  for (int i = 1; i < 4; ++i) {
    int32_t cx = 0, cy = 0;
    rotatePoint(corners[i][0], corners[i][1], cx, cy);
    left = std::min(left, cx);
    top = std::min(top, cy);
    right = std::max(right, cx);
    bottom = std::max(bottom, cy);
  }
  const auto destWidth = static_cast<int32_t>(std::min<uint32_t>(dest.Width, INT32_MAX));
  const auto destHeight = static_cast<int32_t>(std::min<uint32_t>(dest.Height, INT32_MAX));
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, destWidth);
  bottom = std::min(bottom, destHeight);
  return left <= destWidth && right > 0 && right > left && top <= destHeight && bottom > 0 && bottom > top;
}

void SetupRotateMachine(TDXRSurface& dest, TDXRSurface& src, TDXRBlendMode blend, int32_t alpha, int32_t dU,
                        int32_t dV, bool colorKeyEnable, uint32_t colorKey) {
  TDXRMachine& machine = *RenderMachine();
  machine.Initialize();
  machine.Dest = &dest;
  DXRTextureRegister& texture = machine.TextureRegisters[0];
  texture.ColorKeyEnable = colorKeyEnable;
  texture.ColorKey = colorKey;
  texture.Surface = &src;
  texture.Addressing = 1;
  texture.dU = dU;
  texture.dV = dV;
  texture.ConstantSteps = true;
  const auto alphaWord = static_cast<uint16_t>(static_cast<uint32_t>(alpha) << 8);
  texture.DefaultColor = {alphaWord, alphaWord, alphaWord, alphaWord};
  DXRNode* destPixel = machine.NewTypedNode(NodeDestPixel);
  DXRNode* texel = machine.NewTextureNode(0);
  machine.Compile(machine.NewBlendNode(blend, texel, destPixel));
}

void DrawRotatedBlend(TDXRSurface& dest, TDXRSurface& src, int32_t x, int32_t y, int32_t width, int32_t height,
                      const RECT& srcRect, double centerX, double centerY, int32_t angle, TDXRBlendMode blend,
                      int32_t alpha, bool colorKeyEnable, uint32_t colorKey) {
  if (width == 0 || height == 0) return;
  if (srcRect.left < 0 || srcRect.top < 0 || static_cast<int64_t>(srcRect.right) > src.Width ||
      static_cast<int64_t>(srcRect.bottom) > src.Height || srcRect.left >= srcRect.right ||
      srcRect.top >= srcRect.bottom)
    return;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  if (!RotatedBounds(dest, x, y, width, height, centerX, centerY, angle, left, top, right, bottom)) return;

  const int32_t back = -(angle & 255);  // the inverse turn, without negating INT32_MIN
  const auto c = static_cast<int32_t>(std::trunc(Cos256(back) * 65536));
  const auto s = static_cast<int32_t>(std::trunc(Sin256(back) * 65536));
  const int32_t sw = srcRect.right - srcRect.left;
  const int32_t sh = srcRect.bottom - srcRect.top;
  const int32_t dUdx = MulDivInt(sw, c, width);
  const int32_t dVdx = MulDivInt(sh, s, height);
  const int32_t dUdy = MulDivInt(sw, s, width);
  const int32_t dVdy = MulDivInt(sh, c, height);

  const int64_t columns = Wrap32(int64_t{left} - x), rows = Wrap32(int64_t{y} - top);
  int32_t u0 = WrapSum({static_cast<int64_t>(std::trunc(sw * centerX * 65536)), columns * dUdx, rows * dUdy,
                        srcRect.left * One});
  int32_t v0 = WrapSum({static_cast<int64_t>(std::trunc(sh * centerY * 65536)), columns * dVdx, -(rows * dVdy),
                        srcRect.top * One});

  SetupRotateMachine(dest, src, blend, alpha, dUdx, dVdx, colorKeyEnable, colorKey);
  TDXRMachine& machine = *RenderMachine();
  DXRTextureRegister& texture = machine.TextureRegisters[0];
  const SourceSpan alongU(dUdx, srcRect.left * One, srcRect.right * One);
  const SourceSpan alongV(dVdx, srcRect.top * One, srcRect.bottom * One);
  const uint32_t bytesPerPixel = dest.BitCount / 8;
  for (int32_t row = top; row < bottom; ++row) {
    // Start fetching the next row's destination, for writing, while this one is drawn; on a
    // large surface every row of the box lies in lines that are not cached yet. (Processors
    // without the write prefetch take it for a no-op.)
    if (row + 1 < bottom) {
      const auto* next = static_cast<const uint8_t*>(dest.Bits) + int64_t{row + 1} * dest.Pitch;
      for (int64_t offset = int64_t{left} * bytesPerPixel; offset < int64_t{right} * bytesPerPixel; offset += 64)
        asm volatile("prefetchw %0" : : "m"(next[offset]));
    }
    int64_t u = u0, v = v0;
    const int64_t skip = std::max(alongU.LeadingSkip(u), alongV.LeadingSkip(v));
    // A row whose first pixel inside the source lies beyond the destination draws nothing.
    const int64_t room = int64_t{dest.Width} - (left + skip);
    u += room > 0 ? skip * dUdx : 0;
    v += room > 0 ? skip * dVdx : 0;
    const int64_t count = std::min({alongU.RunLength(u), alongV.RunLength(v), room});
    // A positive count means every coordinate of the run lies inside the source rectangle,
    // which is what direct addressing relies on.
    if (count > 0) {
      machine.Axis.X = static_cast<int32_t>(left + skip);
      machine.Axis.Y = row;
      texture.U = static_cast<int32_t>(u);
      texture.V = static_cast<int32_t>(v);
      machine.Run(static_cast<int32_t>(count));
    }
    u0 = Wrap32(int64_t{u0} - dUdy);
    v0 = Wrap32(int64_t{v0} + dVdy);
  }
}
