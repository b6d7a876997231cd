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

// A coordinate that stays constant along its rows skips at least this many pixels of a row that
// starts before the source: more than any destination is wide.
constexpr int64_t PastEveryDestination = int64_t{1} << 40;

// One source coordinate's rows for the routine's row walk: it starts at `start` on the first
// row and moves by rowStep from row to row and by step from pixel to pixel; pixels are drawn
// while it lies in [low, high). A falling coordinate is walked as its negation, so the walk
// needs no case of its own: it skips to the first pixel at or below high - 1 and runs while
// the coordinate stays above low.
DXRRowAxis RowAxis(int32_t start, int32_t rowStep, int32_t step, int64_t low, int64_t high) {
  DXRRowAxis axis{};
  axis.Start = start;
  axis.RowStep = rowStep;
  const bool falling = step < 0;
  axis.SignMask = falling ? -1 : 0;
  axis.SkipLow = falling ? 1 - high : low;
  axis.RunHigh = falling ? -low : high;
  axis.Advance = std::abs(int64_t{step});
  axis.Divisor = static_cast<uint64_t>(std::max<int64_t>(axis.Advance, 1));
  axis.SkipBias = step == 0 ? PastEveryDestination : axis.Advance - 1;
  axis.Reciprocal = axis.Divisor > 1 ? UINT64_MAX / axis.Divisor + 1 : 0;
  return axis;
}
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

void SetupRotateMachine(TDXRMachine& machine, TDXRSurface& dest, TDXRSurface& src, TDXRBlendMode blend,
                        int32_t alpha, int32_t dU, int32_t dV, bool colorKeyEnable, uint32_t colorKey) {
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
  machine.Rows.Enable = true;
  DXRNode* destPixel = machine.NewTypedNode(NodeDestPixel);
  DXRNode* texel = machine.NewTextureNode(0);
  machine.Compile(machine.NewBlendNode(blend, texel, destPixel));
}

bool PrepareRotatedDraw(TDXRMachine& machine, TDXRSurface& dest, TDXRSurface& src, int32_t x, int32_t y,
                        int32_t width, int32_t height, const RECT& srcRect, double centerX, double centerY,
                        int32_t angle, TDXRBlendMode blend, int32_t alpha, bool colorKeyEnable, uint32_t colorKey) {
  if (width == 0 || height == 0) return false;
  if (srcRect.left < 0 || srcRect.top < 0 || static_cast<int64_t>(srcRect.right) > src.Width ||
      static_cast<int64_t>(srcRect.bottom) > src.Height || srcRect.left >= srcRect.right ||
      srcRect.top >= srcRect.bottom)
    return false;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  if (!RotatedBounds(dest, x, y, width, height, centerX, centerY, angle, left, top, right, bottom)) return false;

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
  const int32_t u0 = WrapSum({static_cast<int64_t>(std::trunc(sw * centerX * 65536)), columns * dUdx, rows * dUdy,
                              srcRect.left * One});
  const int32_t v0 = WrapSum({static_cast<int64_t>(std::trunc(sh * centerY * 65536)), columns * dVdx,
                              -(rows * dVdy), srcRect.top * One});

  SetupRotateMachine(machine, dest, src, blend, alpha, dUdx, dVdx, colorKeyEnable, colorKey);
  DXRRowWalk& walk = machine.Rows;
  walk.Top = top;
  walk.Bottom = bottom;
  walk.Left = left;
  walk.Room = int64_t{dest.Width} - left;
  const uint32_t bytesPerPixel = dest.BitCount / 8;
  walk.PrefetchFirst = int64_t{left} * bytesPerPixel;
  walk.PrefetchEnd = int64_t{right} * bytesPerPixel;
  // U falls by dUdy and V rises by dVdy from row to row; a positive run keeps every
  // coordinate of it inside the source rectangle, which is what direct addressing relies on.
  walk.U = RowAxis(u0, Wrap32(-int64_t{dUdy}), dUdx, srcRect.left * One, srcRect.right * One);
  walk.V = RowAxis(v0, dVdy, dVdx, srcRect.top * One, srcRect.bottom * One);
  return true;
}

void DrawRotatedBlend(TDXRMachine& machine, TDXRSurface& dest, TDXRSurface& src, int32_t x, int32_t y,
                      int32_t width, int32_t height, const RECT& srcRect, double centerX, double centerY, int32_t angle,
                      TDXRBlendMode blend, int32_t alpha, bool colorKeyEnable, uint32_t colorKey) {
  if (PrepareRotatedDraw(machine, dest, src, x, y, width, height, srcRect, centerX, centerY, angle, blend, alpha,
                         colorKeyEnable, colorKey))
    machine.RunRows();
}
