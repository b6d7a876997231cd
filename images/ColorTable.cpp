#include "images/ColorTable.h"

#include <cstring>

namespace {

// count set bits moved up by shift, cut to 32 bits: masks from data may be as wide as a pixel.
Integer MaskOf(Integer count, Integer shift) {
  if (count <= 0 || shift >= 32) return 0;
  const uint64_t ones = count >= 32 ? 0xFFFFFFFFu : (uint64_t{1} << count) - 1;
  return static_cast<Integer>(static_cast<uint32_t>(ones << shift));
}

}  // namespace

void MakeDIBPixelLayout(Integer RBitCount, Integer GBitCount, Integer BBitCount, TDIBPixelLayout& Layout) {
  Layout.RBitMask = MaskOf(RBitCount, GBitCount + BBitCount);
  Layout.GBitMask = MaskOf(GBitCount, BBitCount);
  Layout.BBitMask = MaskOf(BBitCount, 0);
  Layout.RBitCount = RBitCount;
  Layout.GBitCount = GBitCount;
  Layout.BBitCount = BBitCount;
  Layout.RShift = RBitCount + GBitCount + BBitCount - 8;
  Layout.GShift = GBitCount + BBitCount - 8;
  Layout.BShift = 8 - BBitCount;
  Layout.RBitLoss = 8 - RBitCount;
  Layout.GBitLoss = 8 - GBitCount;
  Layout.BBitLoss = 8 - BBitCount;
}

void MakeDIBPixelLayoutFromMasks(Integer RMask, Integer GMask, Integer BMask, TDIBPixelLayout& Layout) {
  MakeDIBPixelLayout(CountMaskBits(static_cast<DWORD>(RMask)), CountMaskBits(static_cast<DWORD>(GMask)),
                     CountMaskBits(static_cast<DWORD>(BMask)), Layout);
}

Integer CountMaskBits(DWORD Mask) {
  if (Mask == 0) return 0;
  int bit = 0;
  while (bit < 31 && (Mask & (1u << bit)) == 0) ++bit;
  Integer count = 0;
  while (bit <= 31 && (Mask & (1u << bit)) != 0) {
    ++count;
    ++bit;
  }
  return count;
}

void MakeGreyscaleColorTable(TColorTable& Table) {
  for (int i = 0; i < 256; ++i) {
    const BYTE level = static_cast<BYTE>(i);
    Table[i] = {level, level, level, 0};
  }
}

RGBQUAD PackRGBQuad(BYTE R, BYTE G, BYTE B) { return {B, G, R, 0}; }

DWORD PaletteEntryToColor(DWORD Value) {
  return ((Value & 0xFF) << 16) | (Value & 0xFF00) | ((Value >> 16) & 0xFF);
}

DWORD ColorToPaletteEntry(DWORD Value) { return PaletteEntryToColor(Value); }

namespace {

// Converts 256 four-byte entries of one table into another through a 32-bit function.
template <class From, class To>
void ConvertEntries(const From& from, To& to, DWORD (*convert)(DWORD)) {
  for (size_t i = 0; i < 256; ++i) {
    DWORD value;
    std::memcpy(&value, &from[i], 4);
    value = convert(value);
    std::memcpy(&to[i], &value, 4);
  }
}

}  // namespace

void PaletteToColorTable(const TPaletteEntryTable& Entries, TColorTable& Table) {
  ConvertEntries(Entries, Table, PaletteEntryToColor);
}

void ColorTableToPalette(const TColorTable& Table, TPaletteEntryTable& Entries) {
  ConvertEntries(Table, Entries, ColorToPaletteEntry);
}

bool SameColorTables(const TColorTable& a, const TColorTable& b) {
  return std::memcmp(a.data(), b.data(), sizeof(TColorTable)) == 0;
}
