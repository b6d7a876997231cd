#include "render/DXRSurface.h"

#include <bit>
#include <cstring>
#include <cstdlib>

uint32_t HighestBitIndex(uint32_t value) {
  if (value < 2) return 0;
  return 31 - static_cast<uint32_t>(std::countl_zero(value));
}

uint32_t LowestBitIndex(uint32_t value) {
  // Bit 31 alone counts as "no bit found", as the scan only looks at bits 0 to 30.
  const uint32_t low = value & 0x7FFFFFFFu;
  if (low == 0) return 31;
  return static_cast<uint32_t>(std::countr_zero(low));
}

uint32_t CountBits(uint32_t value) { return static_cast<uint32_t>(std::popcount(value)); }

TDXRColorChannel MakeColorChannel(uint32_t mask, bool indexed) {
  TDXRColorChannel channel{};
  channel.Mask = mask;
  channel.BitCount = CountBits(mask);
  if (indexed) {
    channel.RShift = LowestBitIndex(mask);
    return channel;
  }
  // Brings the channel's top bit to bit 7 of a byte.
  const int32_t shift = static_cast<int32_t>(LowestBitIndex(mask)) - (8 - static_cast<int32_t>(channel.BitCount));
  if (shift < 0)
    channel.LShift = static_cast<uint32_t>(-shift);
  else
    channel.RShift = static_cast<uint32_t>(shift);
  return channel;
}

static void InitSurfaceGeometry(TDXRSurface& dest, uint8_t colorType, uint32_t width, uint32_t height,
                                uint32_t bitCount, void* bits, int32_t pitch) {
  std::memset(static_cast<void*>(&dest), 0, sizeof(dest));
  dest.ColorType = colorType;
  dest.Width = width;
  dest.Height = height;
  dest.BitCount = bitCount;
  dest.Bits = bits;
  dest.Pitch = pitch;
  dest.WidthBit = HighestBitIndex(width);
  dest.HeightBit = HighestBitIndex(height);
  dest.Width2 = 1u << dest.WidthBit;
  dest.Height2 = 1u << dest.HeightBit;
  dest.WidthMask = width - 1;
  dest.HeightMask = dest.Height2 - 1;
  dest.PitchBit = HighestBitIndex(static_cast<uint32_t>(std::abs(static_cast<int64_t>(pitch))));
}

void InitIndexedSurface(TDXRSurface& dest, uint32_t width, uint32_t height, uint32_t bitCount, void* bits,
                        int32_t pitch, uint32_t indexMask, uint32_t alphaMask) {
  InitSurfaceGeometry(dest, ColorTypeIndexed, width, height, bitCount, bits, pitch);
  dest.Indexed.Index = MakeColorChannel(indexMask, true);
  dest.Indexed.Alpha = MakeColorChannel(alphaMask, false);
}

void InitRGBSurface(TDXRSurface& dest, uint32_t width, uint32_t height, uint32_t bitCount, void* bits, int32_t pitch,
                    uint32_t rMask, uint32_t gMask, uint32_t bMask, uint32_t aMask) {
  InitSurfaceGeometry(dest, ColorTypeRGB, width, height, bitCount, bits, pitch);
  dest.RGB.R = MakeColorChannel(rMask, false);
  dest.RGB.G = MakeColorChannel(gMask, false);
  dest.RGB.B = MakeColorChannel(bMask, false);
  dest.RGB.A = MakeColorChannel(aMask, false);
}

bool SameSurfaceFormat(const TDXRSurface& a, const TDXRSurface& b) {
  if (a.ColorType != b.ColorType) return false;
  if (a.ColorType == ColorTypeIndexed)
    return a.Indexed.Index.Mask == b.Indexed.Index.Mask && a.Indexed.Alpha.Mask == b.Indexed.Alpha.Mask;
  if (a.ColorType == ColorTypeRGB)
    return a.RGB.R.Mask == b.RGB.R.Mask && a.RGB.G.Mask == b.RGB.G.Mask && a.RGB.B.Mask == b.RGB.B.Mask &&
           a.RGB.A.Mask == b.RGB.A.Mask;
  return false;
}

uint32_t SurfaceAlphaMask(const TDXRSurface& surface) {
  return surface.ColorType == ColorTypeIndexed ? surface.Indexed.Alpha.Mask : surface.RGB.A.Mask;
}
