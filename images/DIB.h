// TDIB, the program's bitmap graphic: a device-independent bitmap of 1, 4, 8, 16, 24 or 32 bits
// per pixel on a shared pixel store, drawn onto any canvas and drawn into through its own,
// read and written pixel by pixel or row by row, and stored as bitmap files, clipboard data
// and picture data.
#pragma once

#include "images/DIBSharedImage.h"
#include "runtime/Graphics.h"
#include "runtime/Streams.h"

class TDIB : public TGraphic {
  ORVALIS_CLASS(TDIB, TGraphic)

  TDIB();
  ~TDIB() override;

  TGraphic* NewInstance() const override { return new TDIB(); }

  void Assign(TPersistent* Source) override;
  void Clear();
  // The store comes from data: reading it, sizing, copying.
  void SetSize(Integer AWidth, Integer AHeight, Integer ABitCount);

  Integer BitCount() const { return FBitCount; }
  Integer NextLine() const { return FNextLine; }
  Integer WidthBytes() const { return FWidthBytes; }
  Integer Size() const { return FSize; }
  Integer PaletteCount() const { return FImage->PaletteCount; }
  Integer BitmapInfoSize() const { return FImage->BitmapInfoSize; }
  const TDIBPixelLayout& ImagePixelLayout() const { return FImagePixelLayout; }
  // The layout SetSize gives new stores.
  TDIBPixelLayout& PixelLayout() { return FPixelLayout; }
  // The bitmap's own colours; ApplyColorTable hands edits to the store.
  TColorTable& ColorTable() { return FColorTable; }
  void ApplyColorTable();
  TDIBSharedImage& Image() const { return *FImage; }

  // Row memory for writing: the store is made private first. Row Y (0 = top) lies at
  // TopRowBits() + Y * NextLine().
  BYTE* Bits();
  BYTE* TopRowBits();

  // Outside the bitmap reads give 0 and writes change nothing.
  DWORD Pixels(Integer X, Integer Y);
  void SetPixels(Integer X, Integer Y, DWORD Value);

  // Drawing into the bitmap; the store becomes a private bitmap section first.
  TCanvas* Canvas();

  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(Word AFormat, HGLOBAL AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(Word& AFormat, HGLOBAL& AData, HPALETTE& APalette) override;
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;

 protected:
  // Besides "Data", a whole bitmap file may come as the property "DIB" (read, never written).
  void DefineProperties(TFiler& Filer) override;
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  bool GetEmpty() override { return FSize == 0; }
  Integer GetHeight() override { return FHeight; }
  Integer GetWidth() override { return FWidth; }
  HPALETTE GetPalette() override { return FImage->GetPalette(); }
  void DoSetHeight(Integer Value) override;
  void DoSetWidth(Integer Value) override;
  // Takes the palette's colours and the ownership of the handle.
  void DoSetPalette(HPALETTE Value) override;

 private:
  // The bitmap's palette, layout, size and picture.
  void AssignBitmap(TBitmap* Bitmap);
  void SetImage(TDIBSharedImage& Value);
  // A store of its own, uncompressed, and a section unless MemoryImageOk.
  void MakeUnique(bool MemoryImageOk);
  void EnsureHandle();
  void Decompress();
  // Switches to a store Fill builds; a failed build leaves the current store in place.
  template <class Fill>
  void SwitchToNewStore(Fill fill);
  void CanvasChanging(TObject* Sender);

  TCanvas* FCanvas = nullptr;
  TDIBSharedImage* FImage = nullptr;
  Integer FBitCount = 0;
  Integer FHeight = 0;
  Integer FNextLine = 0;
  TDIBPixelLayout FImagePixelLayout{};
  BYTE* FBits = nullptr;
  Integer FSize = 0;
  BYTE* FTopRowBits = nullptr;
  Integer FWidth = 0;
  Integer FWidthBytes = 0;
  TColorTable FColorTable{};
  TDIBPixelLayout FPixelLayout{};
};

// A read-only stream over a platform global memory block, locked while the stream lives.
class TGlobalMemoryStream : public TMemoryStream {
 public:
  explicit TGlobalMemoryStream(HGLOBAL AHandle);
  ~TGlobalMemoryStream() override;

 protected:
  // The block is the platform's: never grown, moved or freed here.
  void* Realloc(Int64& NewCapacity) override;

 private:
  HGLOBAL FHandle;
};

// The image unit's start registers TDIB as the picture format "dib" ("Device Independent
// Bitmap") and for the clipboard's device-independent bitmaps, which picture data naming "TDIB"
// needs; its end undoes that and frees the shared empty store and the palette cache. The
// program calls the start before anything reads pictures and the end after its last bitmap is
// gone.
void ImagesUnitInitialize();
void ImagesUnitFinalize();
