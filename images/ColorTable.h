// Colour tables, the channel layout of a pixel, and the conversions between colour tables and
// the platform's palette entries.
#pragma once

#include <array>

#include "platform/gdi/Gdi.h"
#include "runtime/SysUtils.h"

// 256 entries in memory order blue, green, red, reserved; as a 32-bit little-endian value an
// entry reads red shl 16 or green shl 8 or blue.
using TColorTable = std::array<RGBQUAD, 256>;
static_assert(sizeof(TColorTable) == 1024);

// 256 platform palette entries: red, green, blue, flags.
using TPaletteEntryTable = std::array<PALETTEENTRY, 256>;
static_assert(sizeof(TPaletteEntryTable) == 1024);

// Where the channels of a pixel lie, red highest and blue lowest. RShift and GShift move an
// 8-bit channel value left to its place, BShift moves blue right to its place (all before
// masking); the last three hold the bits each channel loses against 8.
struct TDIBPixelLayout {
  Integer RBitMask, GBitMask, BBitMask;
  Integer RBitCount, GBitCount, BBitCount;
  Integer RShift, GShift, BShift;
  Integer RBitLoss, GBitLoss, BBitLoss;
};

void MakeDIBPixelLayout(Integer RBitCount, Integer GBitCount, Integer BBitCount, TDIBPixelLayout& Layout);
// Only the masks' bit counts are used: the result always has red highest and blue lowest.
void MakeDIBPixelLayoutFromMasks(Integer RMask, Integer GMask, Integer BMask, TDIBPixelLayout& Layout);
// The run of set bits starting at the mask's lowest set bit; 0 for 0.
Integer CountMaskBits(DWORD Mask);

void MakeGreyscaleColorTable(TColorTable& Table);
// The entry whose 32-bit value is R shl 16 or G shl 8 or B.
RGBQUAD PackRGBQuad(BYTE R, BYTE G, BYTE B);
// Both directions swap bytes 0 and 2, keep byte 1 and clear byte 3.
DWORD PaletteEntryToColor(DWORD Value);
DWORD ColorToPaletteEntry(DWORD Value);
void PaletteToColorTable(const TPaletteEntryTable& Entries, TColorTable& Table);
void ColorTableToPalette(const TColorTable& Table, TPaletteEntryTable& Entries);

bool SameColorTables(const TColorTable& a, const TColorTable& b);
