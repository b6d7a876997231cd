// Pixels as they lie in surface memory: raw values of 1 to 4 bytes, and their colour channels to
// and from 8 bits. Blits, the Direct3D device and its test reference all read and write pixels
// through these, so a pixel means the same everywhere on the platform.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/ddraw/DDraw.h"
#include "platform/gdi/PixelChannels.h"

// Pixel x of a row, as a raw value. Fixed-size copies per depth: the compiler turns each into a
// single load or store.
inline uint32_t ReadRawPixel(const BYTE* row, int64_t x, uint32_t bytesPerPixel) {
  uint32_t raw = 0;
  switch (bytesPerPixel) {
    case 4: std::memcpy(&raw, row + x * 4, 4); break;
    case 3: std::memcpy(&raw, row + x * 3, 3); break;
    case 2: std::memcpy(&raw, row + x * 2, 2); break;
    default: raw = row[x]; break;
  }
  return raw;
}

// Writes the low bytesPerPixel bytes of raw as pixel x of a row.
inline void WriteRawPixel(BYTE* row, int64_t x, uint32_t bytesPerPixel, uint32_t raw) {
  switch (bytesPerPixel) {
    case 4: std::memcpy(row + x * 4, &raw, 4); break;
    case 3: std::memcpy(row + x * 3, &raw, 3); break;
    case 2: std::memcpy(row + x * 2, &raw, 2); break;
    default: row[x] = static_cast<BYTE>(raw); break;
  }
}

struct Color {
  int r = 0, g = 0, b = 0, a = 0;  // 0..255 each
};

// One colour channel with its position worked out once per format. Channels of 8 bits or more
// take the short way; narrower ones widen as everywhere else on the platform.
struct Channel {
  explicit Channel(DWORD channelMask)
      : mask(channelMask),
        shift(channelMask ? std::countr_zero(channelMask) : 0),
        bits(channelMask ? std::popcount(channelMask >> shift) : 0),
        wideShift(bits >= 8 ? shift + bits - 8 : 0) {}

  int To8(uint32_t raw) const {
    if (bits >= 8) return static_cast<int>((raw & mask) >> wideShift);
    return ChannelTo8(raw, mask);
  }
  uint32_t From8(int value) const {
    const BYTE clamped = static_cast<BYTE>(std::clamp(value, 0, 255));
    if (bits >= 8) return (static_cast<uint32_t>(clamped) << wideShift) & mask;
    return ChannelFrom8(clamped, mask);
  }

  DWORD mask;
  int shift;
  int bits;
  int wideShift;  // from the channel's place straight to its top 8 bits
};

// An RGB format's raw values to and from colours. A format without alpha reads as opaque;
// channels are clamped to 0..255 on the way in.
class PixelCodec {
 public:
  explicit PixelCodec(const DDPIXELFORMAT& format)
      : red_(format.dwRBitMask),
        green_(format.dwGBitMask),
        blue_(format.dwBBitMask),
        alpha_((format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0) {}

  Color Decode(uint32_t raw) const {
    return {red_.To8(raw), green_.To8(raw), blue_.To8(raw), alpha_.mask ? alpha_.To8(raw) : 255};
  }
  uint32_t Encode(const Color& color) const {
    return red_.From8(color.r) | green_.From8(color.g) | blue_.From8(color.b) |
           alpha_.From8(color.a);
  }

  // Red, green, blue and alpha.
  std::array<const Channel*, 4> Channels() const { return {&red_, &green_, &blue_, &alpha_}; }

 private:
  Channel red_, green_, blue_, alpha_;
};
