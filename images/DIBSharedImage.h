// The reference-counted pixel store behind every TDIB: one device-independent bitmap with its
// information block, colour table and pixel memory, and the reader of the bitmap data block.
#pragma once

#include <memory>

// The component layer's one table of message texts; a header without code of its own.
#include "dxbase/DXConsts.h"
#include "images/ColorTable.h"
#include "runtime/Graphics.h"
#include "runtime/Streams.h"

// A store is made empty, filled once (AllocateImage, ReadData, CopyFrom or DecompressFrom) and
// from then on only referenced and released; only its colour table and, while a TDIB holds it
// alone, its pixels change later.
class TDIBSharedImage : public TSharedImage {
 public:
  // Empty: a memory image with the greyscale colour table and the 8-8-8 layout.
  TDIBSharedImage();
  ~TDIBSharedImage() override;

  // A new store of that geometry. A compressed store gets no pixel memory here: its run-length
  // data comes from ReadData or CopyFrom.
  void AllocateImage(Integer AWidth, Integer AHeight, Integer ABitCount, const TDIBPixelLayout& ALayout,
                     const TColorTable& AColorTable, bool AMemoryImage, bool ACompressed);
  // One bitmap data block; an empty stream leaves the store empty.
  void ReadData(TStream& Stream, bool AMemoryImage);
  void CopyFrom(const TDIBSharedImage& Source, bool AMemoryImage);
  // As CopyFrom, but run-length data is decoded into uncompressed pixels.
  void DecompressFrom(const TDIBSharedImage& Source, bool AMemoryImage);
  // From the palette cache, remade after colour changes; nil without colour table.
  HPALETTE GetPalette();
  void SetColorTable(const TColorTable& Table);

  Integer BitCount = 0;
  Integer BitmapInfoSize = 0;
  bool PaletteChanged = false;
  TColorTable ColorTable{};
  Integer ColorTablePos = 0;
  bool Compressed = false;
  HDC DC = nullptr;
  HBITMAP Handle = nullptr;
  Integer Height = 0;
  bool MemoryImage = false;
  Integer NextLine = 0;
  HBITMAP OldBitmap = nullptr;
  HPALETTE Palette = nullptr;
  Integer PaletteCount = 0;
  BYTE* Bits = nullptr;  // bottom row first
  TDIBPixelLayout PixelLayout{};
  Integer Size = 0;
  BYTE* TopRowBits = nullptr;  // nil for run-length data, which has no rows
  Integer Width = 0;
  Integer WidthBytes = 0;

  // The information block: header, masks with bit fields, PaletteCount colours.
  BITMAPINFO* BitmapInfo() const { return reinterpret_cast<BITMAPINFO*>(FBitmapInfo.get()); }
  BITMAPINFOHEADER& Header() const { return BitmapInfo()->bmiHeader; }

 private:
  std::unique_ptr<BYTE[]> FBitmapInfo;
  // Pixels or run-length data in a plain block of ours (not a section's memory).
  void AllocatePlainBits(int64_t ASize);
};

// The store every new or cleared TDIB shares; the program holds one reference of its own.
TDIBSharedImage& EmptyDIBSharedImage();
// Gives back the program's reference (at the end of the image unit).
void FreeEmptyDIBSharedImage();

// Decodes run-length data (8: RLE8, 4: RLE4) into Height rows of WidthBytes bytes, bottom row
// first. Runs and deltas that leave the bitmap write nothing; data that ends early leaves the
// rest of the pixels as they were.
void DecodeRunLength(Integer ABitCount, const BYTE* Data, size_t DataSize, BYTE* Pixels,
                     Integer AWidth, Integer AHeight, Integer AWidthBytes);
