#include "images/DIBSharedImage.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "images/PaletteManager.h"

namespace {

constexpr Integer kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr Integer kMasksSize = 12;

bool HasMasks(const TDIBPixelLayout& Layout, Integer R, Integer G, Integer B) {
  return Layout.RBitMask == R && Layout.GBitMask == G && Layout.BBitMask == B;
}

// The bit counts and channel layouts a store can hold.
void CheckPixelFormat(Integer ABitCount, const TDIBPixelLayout& ALayout) {
  switch (ABitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32:
      if (!HasMasks(ALayout, 0xFF0000, 0xFF00, 0xFF)) throw EInvalidGraphicOperation(MsgInvalidPixelFormat);
      break;
    case 16:
      if (!HasMasks(ALayout, 0x7C00, 0x3E0, 0x1F) && !HasMasks(ALayout, 0xF800, 0x7E0, 0x1F))
        throw EInvalidGraphicOperation(MsgInvalidPixelFormat);
      break;
    default: throw EInvalidGraphicOperation(MsgInvalidBitCount, {ABitCount});
  }
}

int64_t RemainingBytes(TStream& Stream) { return Stream.Size() - Stream.Position(); }

}  // namespace

TDIBSharedImage::TDIBSharedImage() {
  MemoryImage = true;
  TColorTable greyscale;
  MakeGreyscaleColorTable(greyscale);
  SetColorTable(greyscale);
  MakeDIBPixelLayout(8, 8, 8, PixelLayout);
}

TDIBSharedImage::~TDIBSharedImage() {
  if (Handle) {
    if (OldBitmap) SelectObject(DC, OldBitmap);
    DeleteObject(Handle);
  } else {
    std::free(Bits);
  }
  if (Palette) PaletteManager().ReleasePalette(Palette);
  if (DC) DeleteDC(DC);
}

void TDIBSharedImage::AllocatePlainBits(int64_t ASize) {
  if (ASize <= 0) return;
  Bits = static_cast<BYTE*>(std::calloc(static_cast<size_t>(ASize), 1));
  if (!Bits) OutOfMemoryError();
}

void TDIBSharedImage::AllocateImage(Integer AWidth, Integer AHeight, Integer ABitCount,
                                    const TDIBPixelLayout& ALayout, const TColorTable& AColorTable,
                                    bool AMemoryImage, bool ACompressed) {
  CheckPixelFormat(ABitCount, ALayout);
  if (AWidth < 0 || AHeight < 0) throw EInvalidGraphic(MsgInvalidDIB);
  // Only 4- and 8-bit pixels have a run-length form; any other store gets its pixels here.
  const bool runLength = ACompressed && (ABitCount == 4 || ABitCount == 8);
  const bool memoryImage = AMemoryImage || runLength;
  // Worked out in 64 bits and checked by division before anything narrows: the row size alone
  // can pass 32 bits, and the row size times the height can pass 64.
  const int64_t widthBytes = (static_cast<int64_t>(AWidth) * ABitCount + 31) / 32 * 4;
  if (widthBytes > INT32_MAX || (AHeight > 0 && widthBytes > INT32_MAX / AHeight)) {
    if (memoryImage) OutOfMemoryError();
    throw EOutOfResources(Format(MsgCannotBeMade, {"DIB"}));
  }

  BitCount = ABitCount;
  Width = AWidth;
  Height = AHeight;
  WidthBytes = static_cast<Integer>(widthBytes);
  NextLine = -WidthBytes;
  Size = WidthBytes * AHeight;
  PixelLayout = ALayout;
  PaletteCount = ABitCount <= 8 ? 1 << ABitCount : 0;

  const bool bitFields = ABitCount == 16 || ABitCount == 32;
  ColorTablePos = kInfoHeaderSize + (bitFields ? kMasksSize : 0);
  BitmapInfoSize = ColorTablePos + 4 * PaletteCount;
  FBitmapInfo.reset(new BYTE[BitmapInfoSize]());
  BITMAPINFOHEADER& header = Header();
  header.biSize = kInfoHeaderSize;
  header.biWidth = AWidth;
  header.biHeight = AHeight;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(ABitCount);
  header.biCompression = bitFields                      ? BI_BITFIELDS
                         : runLength && ABitCount == 4 ? BI_RLE4
                         : runLength                   ? BI_RLE8
                                                       : BI_RGB;
  header.biSizeImage = static_cast<DWORD>(Size);
  if (bitFields) {
    const Integer masks[3] = {ALayout.RBitMask, ALayout.GBitMask, ALayout.BBitMask};
    std::memcpy(FBitmapInfo.get() + kInfoHeaderSize, masks, kMasksSize);
  }

  ColorTable = AColorTable;
  std::memcpy(FBitmapInfo.get() + ColorTablePos, AColorTable.data(), 4 * PaletteCount);
  PaletteChanged = true;

  Compressed = runLength;
  MemoryImage = memoryImage;
  if (!runLength && Size > 0) {
    if (MemoryImage) {
      AllocatePlainBits(Size);
    } else {
      DC = CreateCompatibleDC(nullptr);
      void* bits = nullptr;
      Handle = CreateDIBSection(DC, BitmapInfo(), DIB_RGB_COLORS, &bits, nullptr, 0);
      if (!Handle) throw EOutOfResources(Format(MsgCannotBeMade, {"DIB"}));
      OldBitmap = SelectObject(DC, Handle);
      Bits = static_cast<BYTE*>(bits);
    }
  }
  TopRowBits = Compressed || !Bits ? Bits : Bits + static_cast<ptrdiff_t>(Height - 1) * WidthBytes;
}

void TDIBSharedImage::ReadData(TStream& Stream, bool AMemoryImage) {
  DWORD headerSize = 0;
  const Integer got = Stream.Read(&headerSize, 4);
  if (got == 0) return;
  if (got < 4) throw EInvalidGraphic(MsgInvalidDIB);

  BITMAPINFOHEADER header{};
  const bool core = headerSize == sizeof(BITMAPCOREHEADER);
  if (core) {
    WORD fields[4];  // width, height, planes, bit count
    Stream.ReadBuffer(fields, sizeof fields);
    header.biWidth = fields[0];
    header.biHeight = fields[1];
    header.biBitCount = fields[3];
  } else if (headerSize == sizeof(BITMAPINFOHEADER)) {
    Stream.ReadBuffer(reinterpret_cast<BYTE*>(&header) + 4, sizeof(BITMAPINFOHEADER) - 4);
  } else {
    throw EInvalidGraphic(MsgInvalidDIB);
  }
  const Integer bitCount = header.biBitCount;
  const DWORD compression = header.biCompression;

  TDIBPixelLayout layout;
  if (compression == BI_BITFIELDS) {
    Integer masks[3];
    Stream.ReadBuffer(masks, sizeof masks);
    MakeDIBPixelLayoutFromMasks(masks[0], masks[1], masks[2], layout);
  } else if (bitCount == 16) {
    MakeDIBPixelLayout(5, 5, 5, layout);
  } else {
    MakeDIBPixelLayout(8, 8, 8, layout);
  }

  DWORD colorCount = header.biClrUsed;
  if (colorCount == 0 && bitCount <= 8) colorCount = 1u << bitCount;
  if (colorCount > 256) colorCount = 256;
  TColorTable colors{};
  if (core) {
    for (DWORD i = 0; i < colorCount; ++i) {
      BYTE bgr[3];
      Stream.ReadBuffer(bgr, 3);
      colors[i] = PackRGBQuad(bgr[2], bgr[1], bgr[0]);
    }
  } else {
    Stream.ReadBuffer(colors.data(), static_cast<Integer>(colorCount * sizeof(RGBQUAD)));
  }

  // Geometry the store cannot take, and run-length data of a kind that does not match the
  // pixels (it would be taken for uncompressed rows it is far too short for), are invalid.
  if (header.biWidth < 0 || header.biHeight == INT32_MIN) throw EInvalidGraphic(MsgInvalidDIB);
  const Integer height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  CheckPixelFormat(bitCount, layout);
  const bool runLength = compression == BI_RLE8 || compression == BI_RLE4;
  if (compression > BI_BITFIELDS || (compression == BI_RLE8 && bitCount != 8) ||
      (compression == BI_RLE4 && bitCount != 4))
    throw EInvalidGraphic(MsgInvalidDIB);

  // Nothing is allocated for data that is not there. Rows are counted against the bytes left by
  // division: a row's size times the height can overflow even 64 bits.
  const int64_t remaining = RemainingBytes(Stream);
  const int64_t rowBytes = (static_cast<int64_t>(header.biWidth) * bitCount + 31) / 32 * 4;
  const bool present = runLength ? header.biSizeImage <= remaining : rowBytes == 0 || height <= remaining / rowBytes;
  if (!present) throw EReadError(SReadError);

  AllocateImage(header.biWidth, height, bitCount, layout, colors, AMemoryImage, runLength);

  if (runLength) {
    Size = static_cast<Integer>(header.biSizeImage);
    AllocatePlainBits(Size);
    Header().biSizeImage = static_cast<DWORD>(Size);
    Stream.ReadBuffer(Bits, Size);
  } else if (header.biHeight >= 0) {
    Stream.ReadBuffer(Bits, Size);
  } else if (WidthBytes > 0) {  // rows of no bytes have nothing to read, however many there are
    for (Integer y = 0; y < Height; ++y) Stream.ReadBuffer(TopRowBits + static_cast<ptrdiff_t>(y) * NextLine, WidthBytes);
  }
}

void TDIBSharedImage::CopyFrom(const TDIBSharedImage& Source, bool AMemoryImage) {
  if (Source.Size == 0) {
    MemoryImage = AMemoryImage;
    return;
  }
  AllocateImage(Source.Width, Source.Height, Source.BitCount, Source.PixelLayout, Source.ColorTable,
                AMemoryImage, Source.Compressed);
  if (Compressed) {
    Size = Source.Size;
    AllocatePlainBits(Size);
    Header().biSizeImage = static_cast<DWORD>(Size);
  }
  std::memcpy(Bits, Source.Bits, Size);
}

void TDIBSharedImage::DecompressFrom(const TDIBSharedImage& Source, bool AMemoryImage) {
  if (!Source.Compressed) {
    CopyFrom(Source, AMemoryImage);
    return;
  }
  AllocateImage(Source.Width, Source.Height, Source.BitCount, Source.PixelLayout, Source.ColorTable,
                AMemoryImage, false);
  if (Size > 0)
    DecodeRunLength(Source.Header().biCompression == BI_RLE4 ? 4 : 8, Source.Bits, Source.Size, Bits,
                    Width, Height, WidthBytes);
}

HPALETTE TDIBSharedImage::GetPalette() {
  if (PaletteCount == 0) return nullptr;
  if (PaletteChanged) {
    PaletteChanged = false;
    PaletteManager().ReleasePalette(Palette);
    Palette = PaletteManager().AcquirePalette(ColorTable, PaletteCount);
  }
  return Palette;
}

void TDIBSharedImage::SetColorTable(const TColorTable& Table) {
  ColorTable = Table;
  PaletteChanged = true;
  if (Size > 0 && PaletteCount > 0) {
    if (DC) SetDIBColorTable(DC, 0, 256, ColorTable.data());
    std::memcpy(FBitmapInfo.get() + ColorTablePos, ColorTable.data(), 4 * PaletteCount);
  }
}

namespace {

TDIBSharedImage*& EmptyStore() {
  static TDIBSharedImage* store = nullptr;
  return store;
}

}  // namespace

TDIBSharedImage& EmptyDIBSharedImage() {
  TDIBSharedImage*& store = EmptyStore();
  if (!store) {
    store = new TDIBSharedImage();
    store->Reference();
  }
  return *store;
}

void FreeEmptyDIBSharedImage() {
  TDIBSharedImage*& store = EmptyStore();
  if (store) store->Release();
  store = nullptr;
}

void DecodeRunLength(Integer ABitCount, const BYTE* Data, size_t DataSize, BYTE* Pixels, Integer AWidth,
                     Integer AHeight, Integer AWidthBytes) {
  int64_t x = 0, y = 0;  // y counts rows from the bottom
  auto put = [&](BYTE value) {
    if (x >= 0 && x < AWidth && y >= 0 && y < AHeight) {
      BYTE* row = Pixels + y * AWidthBytes;
      if (ABitCount == 8)
        row[x] = value;
      else if (x % 2 == 0)
        row[x / 2] = static_cast<BYTE>((row[x / 2] & 0x0F) | (value << 4));
      else
        row[x / 2] = static_cast<BYTE>((row[x / 2] & 0xF0) | value);
    }
    ++x;
  };
  // Pixel i of a run from byte b: the byte itself, or alternately its high and low nibble.
  auto pixelOf = [&](BYTE b, int i) -> BYTE { return ABitCount == 8 ? b : i % 2 == 0 ? b >> 4 : b & 0x0F; };

  size_t pos = 0;
  while (pos + 2 <= DataSize) {
    const BYTE count = Data[pos], value = Data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(pixelOf(value, i));
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2:  // delta
        if (pos + 2 > DataSize) return;
        x += Data[pos];
        y += Data[pos + 1];
        pos += 2;
        break;
      default: {  // absolute run of `value` pixels, padded to an even offset
        const size_t bytes = ABitCount == 8 ? value : (value + 1u) / 2;
        for (int i = 0; i < value; ++i) {
          const size_t at = pos + (ABitCount == 8 ? i : i / 2);
          if (at >= DataSize) return;
          put(pixelOf(Data[at], i));
        }
        pos += bytes;
        if (pos % 2 != 0) ++pos;
      }
    }
  }
}
