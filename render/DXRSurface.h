// Descriptions of locked pixel blocks, the only view the software renderer has of a surface.
#pragma once

#include <cstdint>

struct TDXRColorChannel {
  uint32_t Mask;
  uint32_t BitCount;
  uint32_t RShift;
  uint32_t LShift;
};

// One palette entry as the renderer reads it: red, green, blue, then a byte nobody reads.
struct TDXRPaletteEntry {
  uint8_t Red, Green, Blue, Reserved;
};

constexpr uint8_t ColorTypeIndexed = 0;
constexpr uint8_t ColorTypeRGB = 1;

struct TDXRSurface {
  uint8_t ColorType;
  uint32_t Width, Height;
  uint32_t WidthBit, HeightBit;
  uint32_t Width2, Height2;
  uint32_t WidthMask, HeightMask;
  uint32_t BitCount;
  void* Bits;
  int32_t Pitch;
  uint32_t PitchBit;
  uint32_t Reserved;
  union {
    struct {
      TDXRColorChannel R, G, B, A;
    } RGB;
    struct {
      TDXRColorChannel Index, Alpha;
      TDXRPaletteEntry Palette[256];
    } Indexed;
  };
};

uint32_t HighestBitIndex(uint32_t value);
uint32_t LowestBitIndex(uint32_t value);
uint32_t CountBits(uint32_t value);

TDXRColorChannel MakeColorChannel(uint32_t mask, bool indexed);
void InitIndexedSurface(TDXRSurface& dest, uint32_t width, uint32_t height, uint32_t bitCount, void* bits,
                        int32_t pitch, uint32_t indexMask, uint32_t alphaMask);
void InitRGBSurface(TDXRSurface& dest, uint32_t width, uint32_t height, uint32_t bitCount, void* bits, int32_t pitch,
                    uint32_t rMask, uint32_t gMask, uint32_t bMask, uint32_t aMask);
bool SameSurfaceFormat(const TDXRSurface& a, const TDXRSurface& b);

// The mask of the channel that carries transparency: the A channel of an RGB surface, the alpha
// record of an indexed one.
uint32_t SurfaceAlphaMask(const TDXRSurface& surface);
