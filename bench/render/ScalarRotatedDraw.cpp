#include "ScalarRotatedDraw.h"

#include <algorithm>
#include <cmath>

void ScalarRotatedDraw(const ScalarImage& dest, const ScalarImage& src, int32_t x, int32_t y, int32_t width,
                       int32_t height, int32_t angle, uint32_t key) {
  const double radians = angle * 2.0 * 3.14159265358979323846 / 256.0;
  const double c = std::cos(radians), s = std::sin(radians);
  // Inverse mapping: a destination step turned back by the angle and scaled to source texels.
  const double scaleU = static_cast<double>(src.width) / width, scaleV = static_cast<double>(src.height) / height;
  const auto dUdx = static_cast<int32_t>(c * scaleU * 65536), dUdy = static_cast<int32_t>(s * scaleU * 65536);
  const auto dVdx = static_cast<int32_t>(-s * scaleV * 65536), dVdy = static_cast<int32_t>(c * scaleV * 65536);

  const double halfW = width / 2.0, halfH = height / 2.0;
  const double extentX = std::abs(halfW * c) + std::abs(halfH * s);
  const double extentY = std::abs(halfW * s) + std::abs(halfH * c);
  const int32_t left = std::max(0, static_cast<int32_t>(std::floor(x - extentX)));
  const int32_t top = std::max(0, static_cast<int32_t>(std::floor(y - extentY)));
  const int32_t right = std::min(dest.width, static_cast<int32_t>(std::ceil(x + extentX)));
  const int32_t bottom = std::min(dest.height, static_cast<int32_t>(std::ceil(y + extentY)));

  int32_t rowU = src.width * 32768 + (left - x) * dUdx + (top - y) * dUdy;
  int32_t rowV = src.height * 32768 + (left - x) * dVdx + (top - y) * dVdy;
  for (int32_t py = top; py < bottom; ++py) {
    uint32_t* out = dest.pixels + static_cast<int64_t>(py) * dest.pitch;
    int32_t u = rowU, v = rowV;
    for (int32_t px = left; px < right; ++px) {
      const auto tu = static_cast<uint32_t>(u >> 16), tv = static_cast<uint32_t>(v >> 16);
      if (u >= 0 && v >= 0 && tu < static_cast<uint32_t>(src.width) && tv < static_cast<uint32_t>(src.height)) {
        const uint32_t texel = src.pixels[static_cast<int64_t>(tv) * src.pitch + tu];
        if ((texel & 0xFFFFFF) != key) out[px] = texel;
      }
      u += dUdx;
      v += dVdx;
    }
    rowU += dUdy;
    rowV += dVdy;
  }
}
