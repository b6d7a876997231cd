#include "images/DIB.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "images/PaletteManager.h"
#include "platform/kernel/GlobalMemory.h"
#include "runtime/ComponentStream.h"
#include "runtime/TypInfo.h"

namespace {

constexpr Integer kFileHeaderSize = 14;

void PutWord(BYTE* at, WORD value) { std::memcpy(at, &value, 2); }
void PutDWord(BYTE* at, DWORD value) { std::memcpy(at, &value, 4); }

}  // namespace

const TClassInfo& TDIB::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDIB>();
  return info;
}

TDIB::TDIB() { SetImage(EmptyDIBSharedImage()); }

TDIB::~TDIB() {
  SetImage(EmptyDIBSharedImage());
  // The empty store lives on with the program's own reference.
  FImage->Release();
  delete FCanvas;
}

// ---- Stores ----

void TDIB::SetImage(TDIBSharedImage& Value) {
  if (FImage == &Value) return;
  if (FCanvas) FCanvas->SetHandle(nullptr);
  if (FImage) FImage->Release();
  FImage = &Value;
  FImage->Reference();
  if (FCanvas) FCanvas->SetHandle(FImage->DC);
  FColorTable = FImage->ColorTable;
  FPixelLayout = FImage->PixelLayout;
  FImagePixelLayout = FImage->PixelLayout;
  FBitCount = FImage->BitCount;
  FHeight = FImage->Height;
  FNextLine = FImage->NextLine;
  FBits = FImage->Bits;
  FSize = FImage->Size;
  FTopRowBits = FImage->TopRowBits;
  FWidth = FImage->Width;
  FWidthBytes = FImage->WidthBytes;
}

template <class Fill>
void TDIB::SwitchToNewStore(Fill fill) {
  auto* store = new TDIBSharedImage();
  try {
    fill(*store);
  } catch (...) {
    delete store;
    throw;
  }
  SetImage(*store);
}

void TDIB::Clear() { SetImage(EmptyDIBSharedImage()); }

void TDIB::MakeUnique(bool MemoryImageOk) {
  const TDIBSharedImage& current = *FImage;
  if (current.RefCount() <= 1 && !current.Compressed && (MemoryImageOk || !current.MemoryImage)) return;
  const bool memoryImage = MemoryImageOk && current.MemoryImage;
  SwitchToNewStore([&](TDIBSharedImage& store) { store.DecompressFrom(current, memoryImage); });
}

void TDIB::EnsureHandle() {
  if (!FImage->MemoryImage) return;
  const TDIBSharedImage& current = *FImage;
  SwitchToNewStore([&](TDIBSharedImage& store) { store.DecompressFrom(current, false); });
}

void TDIB::Decompress() {
  if (!FImage->Compressed) return;
  const TDIBSharedImage& current = *FImage;
  SwitchToNewStore([&](TDIBSharedImage& store) { store.DecompressFrom(current, current.MemoryImage); });
}

// ---- Geometry and colours ----

void TDIB::SetSize(Integer AWidth, Integer AHeight, Integer ABitCount) {
  if (AWidth == FWidth && AHeight == FHeight && ABitCount == FBitCount &&
      FImagePixelLayout.RBitMask == FPixelLayout.RBitMask && FImagePixelLayout.GBitMask == FPixelLayout.GBitMask &&
      FImagePixelLayout.BBitMask == FPixelLayout.BBitMask)
    return;
  if (AWidth <= 0 || AHeight <= 0) {
    Clear();
    return;
  }
  const bool memoryImage = FImage->MemoryImage;
  SwitchToNewStore([&](TDIBSharedImage& store) {
    store.AllocateImage(AWidth, AHeight, ABitCount, FPixelLayout, FColorTable, memoryImage, false);
  });
  SetPaletteModified(true);
}

void TDIB::DoSetWidth(Integer Value) {
  if (Value <= 0)
    Clear();
  else if (Empty())
    SetSize(Value, std::max(FHeight, 1), 8);
  else
    SetSize(Value, FHeight, FBitCount);
}

void TDIB::DoSetHeight(Integer Value) {
  if (Value <= 0)
    Clear();
  else if (Empty())
    SetSize(std::max(FWidth, 1), Value, 8);
  else
    SetSize(FWidth, Value, FBitCount);
}

void TDIB::ApplyColorTable() {
  if (SameColorTables(FColorTable, FImage->ColorTable)) return;
  const TColorTable kept = FColorTable;
  MakeUnique(true);
  FColorTable = kept;
  FImage->SetColorTable(FColorTable);
  SetPaletteModified(true);
}

void TDIB::DoSetPalette(HPALETTE Value) {
  TPaletteEntryTable entries{};
  GetPaletteEntries(Value, 0, 256, entries.data());
  DeleteObject(Value);
  PaletteToColorTable(entries, FColorTable);
  ApplyColorTable();
}

// ---- Pixels ----

BYTE* TDIB::Bits() {
  MakeUnique(true);
  if (!FImage->MemoryImage) GdiFlush();
  return FBits;
}

BYTE* TDIB::TopRowBits() {
  MakeUnique(true);
  if (!FImage->MemoryImage) GdiFlush();
  return FTopRowBits;
}

DWORD TDIB::Pixels(Integer X, Integer Y) {
  Decompress();
  if (X < 0 || X >= FWidth || Y < 0 || Y >= FHeight) return 0;
  const BYTE* row = FTopRowBits + static_cast<ptrdiff_t>(Y) * FNextLine;
  switch (FBitCount) {
    case 1: return (row[X / 8] >> (7 - X % 8)) & 1;
    case 4: return X % 2 == 0 ? row[X / 2] >> 4 : row[X / 2] & 0x0F;
    case 8: return row[X];
    case 16: return row[2 * X] | (row[2 * X + 1] << 8);
    // Red comes out in the low byte: the colour order of TColor.
    case 24: return row[3 * X + 2] | (row[3 * X + 1] << 8) | (row[3 * X] << 16);
    case 32: {
      DWORD value;
      std::memcpy(&value, row + 4 * X, 4);
      return value;
    }
    default: return 0;
  }
}

void TDIB::SetPixels(Integer X, Integer Y, DWORD Value) {
  MakeUnique(true);
  if (X < 0 || X >= FWidth || Y < 0 || Y >= FHeight) return;
  BYTE* row = FTopRowBits + static_cast<ptrdiff_t>(Y) * FNextLine;
  switch (FBitCount) {
    case 1: {
      const BYTE bit = static_cast<BYTE>(0x80 >> (X % 8));
      row[X / 8] = (Value & 1) ? row[X / 8] | bit : row[X / 8] & ~bit;
      break;
    }
    case 4:
      row[X / 2] = X % 2 == 0 ? (row[X / 2] & 0x0F) | ((Value & 0x0F) << 4) : (row[X / 2] & 0xF0) | (Value & 0x0F);
      break;
    case 8: row[X] = static_cast<BYTE>(Value); break;
    case 16: PutWord(row + 2 * X, static_cast<WORD>(Value)); break;
    case 24:
      row[3 * X] = static_cast<BYTE>(Value >> 16);
      row[3 * X + 1] = static_cast<BYTE>(Value >> 8);
      row[3 * X + 2] = static_cast<BYTE>(Value);
      break;
    case 32: PutDWord(row + 4 * X, Value); break;
    default: break;
  }
}

// ---- Canvas and drawing ----

void TDIB::CanvasChanging(TObject*) { MakeUnique(false); }

TCanvas* TDIB::Canvas() {
  if (FCanvas) {
    FCanvas->Handle();
    return FCanvas;
  }
  EnsureHandle();
  FCanvas = new TCanvas();
  FCanvas->SetHandle(FImage->DC);
  FCanvas->OnChanging = MakeEvent<&TDIB::CanvasChanging>(this);
  return FCanvas;
}

void TDIB::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (FSize < 1) return;
  // The platform draws uncompressed pixels only. Run-length data is decoded into a store of its
  // own for this drawing, so the bitmap stays compressed and saves what it read.
  std::unique_ptr<TDIBSharedImage> decoded;
  if (FImage->Compressed) {
    decoded = std::make_unique<TDIBSharedImage>();
    decoded->DecompressFrom(*FImage, true);
  }
  const TDIBSharedImage& image = decoded ? *decoded : *FImage;
  HDC dc = ACanvas->Handle();
  HPALETTE oldPalette = nullptr;
  if (PaletteCount() > 0) {
    oldPalette = SelectPalette(dc, GetPalette(), FALSE);
    RealizePalette(dc);
  }
  const int oldStretchMode = SetStretchBltMode(dc, COLORONCOLOR);
  struct Restore {
    HDC dc;
    HPALETTE palette;
    int stretchMode;
    ~Restore() {
      SetStretchBltMode(dc, stretchMode);
      if (palette) SelectPalette(dc, palette, FALSE);
    }
  } restore{dc, oldPalette, oldStretchMode};
  GdiFlush();
  const int width = Rect.right - Rect.left, height = Rect.bottom - Rect.top;
  if (image.MemoryImage)
    StretchDIBits(dc, Rect.left, Rect.top, width, height, 0, 0, FWidth, FHeight, image.Bits, image.BitmapInfo(),
                  DIB_RGB_COLORS, ACanvas->CopyMode());
  else
    StretchBlt(dc, Rect.left, Rect.top, width, height, image.DC, 0, 0, FWidth, FHeight, ACanvas->CopyMode());
}

// ---- Copying ----

void TDIB::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
  } else if (auto* dib = dynamic_cast<TDIB*>(Source)) {
    if (dib != this) SetImage(*dib->FImage);
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    AssignBitmap(bitmap);
  } else if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    // The picture is painted into a new image: the layout of whatever the bitmap last held
    // (5-6-5, say) has no place in it.
    MakeDIBPixelLayout(8, 8, 8, FPixelLayout);
    SetSize(graphic->Width(), graphic->Height(), 24);
    if (FSize > 0) std::memset(Bits(), 0, FSize);
    Canvas()->Draw(0, 0, graphic);
  } else if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    if (picture->Graphic())
      Assign(picture->Graphic());
    else
      Clear();
  } else {
    inherited::Assign(Source);
  }
}

void TDIB::AssignBitmap(TBitmap* Bitmap) {
  TPaletteEntryTable entries{};
  GetPaletteEntries(Bitmap->Palette(), 0, 256, entries.data());
  PaletteToColorTable(entries, FColorTable);
  ApplyColorTable();

  // The platform answers with the record that fits the kind of bitmap: a section tells its
  // masks, a device-dependent bitmap only its size and depth.
  DIBSECTION described{};
  const int answer = GetObject(Bitmap->Handle(), sizeof described, &described);
  const Integer bitCount = described.dsBm.bmBitsPixel;
  TDIBPixelLayout layout;
  if (answer == static_cast<int>(sizeof(BITMAP))) {
    const Integer channelBits = bitCount == 16 ? 5 : 8;
    MakeDIBPixelLayout(channelBits, channelBits, channelBits, layout);
  } else if (answer == static_cast<int>(sizeof(DIBSECTION)) && bitCount > 8 && bitCount < 24) {
    MakeDIBPixelLayoutFromMasks(static_cast<Integer>(described.dsBitfields[0]),
                                static_cast<Integer>(described.dsBitfields[1]),
                                static_cast<Integer>(described.dsBitfields[2]), layout);
  } else if (answer == static_cast<int>(sizeof(DIBSECTION))) {
    MakeDIBPixelLayout(8, 8, 8, layout);
  } else {
    return;
  }
  FPixelLayout = layout;
  SetSize(described.dsBm.bmWidth, described.dsBm.bmHeight, bitCount);
  if (FSize > 0) std::memset(Bits(), 0, FSize);
  Canvas()->Draw(0, 0, Bitmap);
}

// ---- Streams and clipboard ----

void TDIB::DefineProperties(TFiler& Filer) {
  inherited::DefineProperties(Filer);
  Filer.DefineBinaryProperty("DIB", [this](TStream& Stream) { LoadFromStream(Stream); }, nullptr, false);
}

void TDIB::WriteData(TStream& Stream) {
  if (Empty()) return;
  if (!FImage->MemoryImage) GdiFlush();
  Stream.WriteBuffer(FImage->BitmapInfo(), FImage->BitmapInfoSize);
  Stream.WriteBuffer(FImage->Bits, static_cast<Integer>(FImage->Header().biSizeImage));
}

void TDIB::SaveToStream(TStream& Stream) {
  if (Empty()) return;
  BYTE header[kFileHeaderSize] = {'B', 'M'};
  const DWORD infoSize = static_cast<DWORD>(FImage->BitmapInfoSize);
  PutDWord(header + 2, kFileHeaderSize + infoSize + FImage->Header().biSizeImage);
  PutDWord(header + 10, kFileHeaderSize + infoSize);
  Stream.WriteBuffer(header, kFileHeaderSize);
  WriteData(Stream);
}

void TDIB::ReadData(TStream& Stream) {
  const bool memoryImage = FImage->MemoryImage;
  SwitchToNewStore([&](TDIBSharedImage& store) { store.ReadData(Stream, memoryImage); });
}

void TDIB::LoadFromStream(TStream& Stream) {
  BYTE header[kFileHeaderSize];
  const Integer got = Stream.Read(header, kFileHeaderSize);
  if (got == 0) return;
  if (got < kFileHeaderSize || header[0] != 'B' || header[1] != 'M') throw EInvalidGraphic(MsgInvalidDIB);
  ReadData(Stream);
}

void TDIB::LoadFromClipboardFormat(Word, HGLOBAL AData, HPALETTE) {
  TGlobalMemoryStream stream(AData);
  ReadData(stream);
}

void TDIB::SaveToClipboardFormat(Word& AFormat, HGLOBAL& AData, HPALETTE& APalette) {
  AFormat = CF_DIB;
  APalette = nullptr;
  TMemoryStream stream;
  WriteData(stream);
  const Int64 size = stream.Size();
  AData = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<size_t>(size));
  if (!AData) OutOfMemoryError();
  void* memory = GlobalLock(AData);
  if (size > 0) std::memcpy(memory, stream.Memory(), static_cast<size_t>(size));
  GlobalUnlock(AData);
}

// ---- TGlobalMemoryStream ----

TGlobalMemoryStream::TGlobalMemoryStream(HGLOBAL AHandle) : FHandle(AHandle) {
  void* memory = GlobalLock(FHandle);
  SetPointer(memory, memory ? static_cast<Int64>(GlobalSize(FHandle)) : 0);
}

TGlobalMemoryStream::~TGlobalMemoryStream() {
  if (FMemory) GlobalUnlock(FHandle);
  SetPointer(nullptr, 0);
}

void* TGlobalMemoryStream::Realloc(Int64&) { throw EStreamError(SMemoryStreamError); }

// ---- Unit start and end ----

void ImagesUnitInitialize() {
  TPicture::RegisterClipboardFormat(CF_DIB, GraphicClassOf<TDIB>());
  TPicture::RegisterFileFormat("dib", "Device Independent Bitmap", GraphicClassOf<TDIB>());
}

void ImagesUnitFinalize() {
  TPicture::UnregisterGraphicClass(GraphicClassOf<TDIB>());
  FreeEmptyDIBSharedImage();
  FreePaletteManager();
}
