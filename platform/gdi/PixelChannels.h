// One colour channel of a masked pixel value (16 and 32 bits per pixel) to and from 8 bits.
// GDI's colour conversions and DirectDraw's presentation of surfaces share these, so a colour
// looks the same on the screen as GDI reports it.
#pragma once

#include <bit>
#include <cstdint>

#include "platform/kernel/WinTypes.h"

// An n-bit channel widened to 8 bits by repeating its top bits, so full scale stays full.
inline BYTE ChannelTo8(uint32_t raw, DWORD mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  const uint32_t value = (raw & mask) >> shift;
  if (bits >= 8) return static_cast<BYTE>(value >> (bits - 8));
  uint32_t wide = 0;
  int filled = 0;
  for (; filled < 8; filled += bits) wide = (wide << bits) | value;
  return static_cast<BYTE>(wide >> (filled - 8));
}

// An 8-bit channel cut to the mask's width (its top bits kept) and put in place.
inline uint32_t ChannelFrom8(BYTE value, DWORD mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  const uint32_t scaled = bits >= 8 ? static_cast<uint32_t>(value) << (bits - 8) : value >> (8 - bits);
  return (scaled << shift) & mask;
}
