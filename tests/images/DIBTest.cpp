// TDIB: shared stores and copy on write, pixel access at every bit count, sizing, colours,
// drawing and its canvas, and the stored forms (files, data blocks, pictures, clipboard).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "images/DIB.h"
#include "platform/gdi/GdiTestControl.h"
#include "platform/kernel/GlobalMemory.h"
#include "runtime/ComponentStreamText.h"
#include "runtime/TypInfo.h"
#include "tests/images/ImagesTestSupport.h"
#include "tests/MessageOf.h"

namespace {

// A graphic of another class: a 3 x 2 green area.
class TGreenArea : public TGraphic {
  ORVALIS_CLASS(TGreenArea, TGraphic)
  TGraphic* NewInstance() const override { return new TGreenArea(); }
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  void LoadFromClipboardFormat(Word, HGLOBAL, HPALETTE) override {}
  void SaveToClipboardFormat(Word&, HGLOBAL&, HPALETTE&) override {}

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override {
    ACanvas->Brush()->SetColor(clLime);
    ACanvas->FillRect(Rect);
  }
  bool GetEmpty() override { return false; }
  Integer GetHeight() override { return 2; }
  Integer GetWidth() override { return 3; }
  void DoSetHeight(Integer) override {}
  void DoSetWidth(Integer) override {}
};

const TClassInfo& TGreenArea::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TGreenArea>();
  return info;
}

// A component publishing a bitmap, as forms publish their pictures.
class TDIBHolder : public TComponent {
  ORVALIS_CLASS(TDIBHolder, TComponent)
  explicit TDIBHolder(TComponent* AOwner) : TComponent(AOwner) {}
  TDIB* Image() { return &FImage; }

 private:
  TDIB FImage;
};

const TClassInfo& TDIBHolder::StaticClassInfo() {
  static const TClassInfo info =
      DefineClass<TDIBHolder>({Property("Image", &TDIBHolder::Image, nullptr)});
  return info;
}

Bytes Saved(TDIB& dib) {
  TMemoryStream stream;
  dib.SaveToStream(stream);
  return StreamBytes(stream);
}

uint32_t LE32(const Bytes& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

TEST(DIBSharing, CopiesShareTheStoreUntilOneWrites) {
  TDIB a;
  a.SetSize(4, 4, 8);
  a.SetPixels(1, 1, 42);
  TDIB b;
  b.Assign(&a);
  EXPECT_EQ(&a.Image(), &b.Image());
  EXPECT_EQ(b.Pixels(1, 1), 42u);
  EXPECT_EQ(&a.Image(), &b.Image()) << "reading never copies";
  b.SetPixels(1, 1, 7);
  EXPECT_NE(&a.Image(), &b.Image());
  EXPECT_EQ(a.Pixels(1, 1), 42u);
  EXPECT_EQ(b.Pixels(1, 1), 7u);

  TDIB c;
  c.Assign(&a);
  TDIBSharedImage* shared = &c.Image();
  c.SetPixels(-1, 0, 1);  // outside: nothing written, but the store is made private
  EXPECT_NE(&c.Image(), shared);
  EXPECT_EQ(c.Pixels(-1, 0), 0u);
  EXPECT_EQ(c.Pixels(4, 0), 0u);
  c.Assign(&c);
  EXPECT_EQ(c.Pixels(1, 1), 42u);
}

TEST(DIBSharing, NewAndClearedBitmapsShareTheEmptyStore) {
  TDIB a, b;
  EXPECT_EQ(&a.Image(), &b.Image());
  EXPECT_TRUE(a.Empty());
  EXPECT_EQ(a.Width(), 0);
  a.SetSize(2, 2, 24);
  EXPECT_FALSE(a.Empty());
  a.Clear();
  EXPECT_EQ(&a.Image(), &b.Image());
  EXPECT_EQ(a.BitCount(), 0);
}

TEST(DIBPixels, EveryBitCountReadsWhatItWrites) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    TDIB dib;
    if (bits == 16) MakeDIBPixelLayout(5, 6, 5, dib.PixelLayout());
    dib.SetSize(9, 3, bits);
    const DWORD mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 9; ++x) dib.SetPixels(x, y, (0x9E3779B9u * (x + 9 * y + 1)) & mask);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(dib.Pixels(x, y), (0x9E3779B9u * (x + 9 * y + 1)) & mask) << bits;
  }
}

TEST(DIBPixels, StoredByteLayouts) {
  TDIB four;
  four.SetSize(8, 1, 4);
  four.SetPixels(2, 0, 0xC);
  four.SetPixels(3, 0, 5);
  EXPECT_EQ(four.TopRowBits()[1], 0xC5) << "even pixels in the high nibble";
  four.SetPixels(3, 0, 0xF7);
  EXPECT_EQ(four.TopRowBits()[1], 0xC7) << "only the low nibble of pixel 3";

  TDIB one;
  one.SetSize(9, 1, 1);
  one.SetPixels(0, 0, 1);
  one.SetPixels(8, 0, 3);
  EXPECT_EQ(one.TopRowBits()[0], 0x80);
  EXPECT_EQ(one.TopRowBits()[1], 0x80);

  TDIB rgb;
  rgb.SetSize(2, 2, 24);
  rgb.SetPixels(1, 0, 255);
  const BYTE* top = rgb.TopRowBits();
  EXPECT_EQ(top[3 + 2], 255) << "the value's low byte is red, stored third";
  EXPECT_EQ(top[3], 0);
  EXPECT_EQ(rgb.Pixels(1, 0), 255u);
  EXPECT_EQ(rgb.TopRowBits() + rgb.NextLine(), rgb.Bits()) << "two rows, bottom first";

  TDIB raw;
  raw.SetSize(1, 1, 32);
  raw.SetPixels(0, 0, 0xAABBCCDD);
  EXPECT_EQ(raw.Bits()[0], 0xDD);
  EXPECT_EQ(raw.Pixels(0, 0), 0xAABBCCDDu);
}

TEST(DIBSize, SameSizeKeepsPixelsAnythingElseStartsAnew) {
  TDIB dib;
  dib.SetSize(3, 2, 8);
  dib.SetPixels(0, 0, 9);
  TDIBSharedImage* store = &dib.Image();
  dib.SetSize(3, 2, 8);
  EXPECT_EQ(&dib.Image(), store);
  EXPECT_EQ(dib.Pixels(0, 0), 9u);
  dib.SetSize(3, 2, 24);
  EXPECT_EQ(dib.Pixels(0, 0), 0u);
  EXPECT_EQ(dib.BitCount(), 24);
  dib.SetSize(3, 0, 24);
  EXPECT_TRUE(dib.Empty());

  TDIB grown;
  grown.SetWidth(5);
  EXPECT_EQ(grown.Height(), 1);
  EXPECT_EQ(grown.BitCount(), 8);
  grown.SetHeight(4);
  EXPECT_EQ(grown.Width(), 5);
  grown.SetHeight(-1);
  EXPECT_TRUE(grown.Empty());

  // A new layout is a new store even at the same size.
  TDIB sixteen;
  EXPECT_THROW(sixteen.SetSize(2, 2, 16), EInvalidGraphicOperation) << "new bitmaps are laid out 8-8-8";
  MakeDIBPixelLayout(5, 5, 5, sixteen.PixelLayout());
  sixteen.SetSize(2, 2, 16);
  EXPECT_EQ(sixteen.ImagePixelLayout().RBitMask, 0x7C00);
  MakeDIBPixelLayout(5, 6, 5, sixteen.PixelLayout());
  sixteen.SetSize(2, 2, 16);
  EXPECT_EQ(sixteen.ImagePixelLayout().RBitMask, 0xF800);

  // A failed build leaves the bitmap as it was.
  EXPECT_THROW(sixteen.SetSize(2, 2, 12), EInvalidGraphicOperation);
  EXPECT_EQ(sixteen.BitCount(), 16);
  EXPECT_EQ(sixteen.Width(), 2);

  // Sides near 2^31: the size check itself must not overflow.
  TDIB huge;
  EXPECT_THROW(huge.SetSize(INT32_MAX, INT32_MAX, 32), EOutOfMemory);
  EXPECT_TRUE(huge.Empty());
}

TEST(DIBColours, ApplyColorTableReachesTheStoreAndThePalette) {
  TDIB a;
  a.SetSize(2, 2, 8);
  TDIB b;
  b.Assign(&a);
  b.ColorTable()[3] = PackRGBQuad(1, 2, 3);
  b.ApplyColorTable();
  EXPECT_NE(&a.Image(), &b.Image()) << "colours are a write";
  EXPECT_EQ(b.Image().ColorTable[3].rgbRed, 1);
  EXPECT_EQ(a.Image().ColorTable[3].rgbRed, 3) << "greyscale untouched";
  EXPECT_TRUE(b.PaletteModified());
  PALETTEENTRY entry{};
  GetPaletteEntries(b.Palette(), 3, 1, &entry);
  EXPECT_EQ(entry.peBlue, 3);

  // A palette handed over becomes the colours, and its handle is taken.
  std::vector<BYTE> block(offsetof(LOGPALETTE, palPalEntry) + 2 * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = 2;
  reinterpret_cast<PALETTEENTRY*>(block.data() + offsetof(LOGPALETTE, palPalEntry))[1] = {200, 100, 50, 0};
  const size_t before = GdiTestLiveObjectCount();
  b.SetPalette(CreatePalette(logical));
  EXPECT_EQ(b.ColorTable()[1].rgbRed, 200);
  EXPECT_EQ(b.Image().ColorTable[1].rgbBlue, 50);
  EXPECT_EQ(GdiTestLiveObjectCount(), before) << "the handed-over handle is deleted";
}

TEST(DIBCanvas, TextWrittenThroughTheCanvasLandsInThePixels) {
  TDIB dib;
  dib.SetSize(80, 24, 32);
  TCanvas* canvas = dib.Canvas();
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(clWhite);
  canvas->Font()->SetSize(12);
  canvas->TextOut(0, 0, "FPS: 30");
  int white = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 80; ++x) white += dib.Pixels(x, y) == 0xFFFFFFu;
  EXPECT_GT(white, 30);
  EXPECT_EQ(dib.Pixels(79, 23), 0u) << "transparent background";
  EXPECT_FALSE(dib.Image().MemoryImage) << "drawing needs a section";
}

TEST(DIBCanvas, DrawingNeverTouchesASharedStore) {
  TDIB a;
  a.SetSize(10, 10, 24);
  TCanvas* canvas = a.Canvas();
  TDIB b;
  b.Assign(&a);
  canvas->Brush()->SetColor(clRed);
  canvas->FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(a.Pixels(5, 5), static_cast<DWORD>(clRed));
  EXPECT_EQ(b.Pixels(5, 5), 0u);
  EXPECT_EQ(b.Canvas()->Pixels(5, 5), clBlack);
}

TEST(DIBCanvas, AnEmptyBitmapCannotBeDrawnOn) {
  TDIB dib;
  EXPECT_EQ(MessageOf<EInvalidOperation>([&] { dib.Canvas()->TextOut(0, 0, "x"); }),
            "Leinwand erlaubt kein Zeichnen");
}

TEST(DIBDraw, DrawsWithColoursStretchedAndFromEveryKindOfStore) {
  TDIB source;
  source.SetSize(2, 1, 8);
  source.ColorTable()[1] = PackRGBQuad(255, 0, 0);
  source.ColorTable()[2] = PackRGBQuad(0, 0, 255);
  source.ApplyColorTable();
  source.SetPixels(0, 0, 1);
  source.SetPixels(1, 0, 2);
  ASSERT_TRUE(source.Image().MemoryImage);

  TDIB target;
  target.SetSize(4, 2, 32);
  target.Canvas()->StretchDraw(Rect(0, 0, 4, 2), &source);
  EXPECT_EQ(target.Pixels(1, 1), 0xFF0000u);
  EXPECT_EQ(target.Pixels(2, 0), 0x0000FFu);

  source.Canvas();  // now a section: drawn with StretchBlt
  ASSERT_FALSE(source.Image().MemoryImage);
  TDIB second;
  second.SetSize(2, 1, 24);
  second.Canvas()->Draw(0, 0, &source);
  EXPECT_EQ(second.Pixels(0, 0), static_cast<DWORD>(clRed));
  EXPECT_EQ(second.Pixels(1, 0), static_cast<DWORD>(clBlue));

  // Run-length pixels are decoded for drawing only: the bitmap stays compressed and saves the
  // bytes it was read from.
  Bytes block = InfoHeader(2, 1, 8, 1, 4);
  for (int i = 0; i < 256; ++i) PutLE(block, i == 1 ? 0x00FF00u : 0, 4);
  Append(block, {2, 1, 0, 1});
  TDIB compressed;
  TBytesStream stream(block);
  compressed.ReadData(stream);
  ASSERT_TRUE(compressed.Image().Compressed);
  const Bytes before = Saved(compressed);
  TDIB third;
  third.SetSize(2, 1, 32);
  third.Canvas()->Draw(0, 0, &compressed);
  EXPECT_EQ(third.Pixels(1, 0), 0x00FF00u);
  EXPECT_TRUE(compressed.Image().Compressed);
  EXPECT_EQ(Saved(compressed), before);
}

TEST(DIBDraw, GivesTheTargetBackItsStretchModeAndPalette) {
  TDIB source;
  source.SetSize(2, 1, 8);
  source.ColorTable()[1] = PackRGBQuad(255, 0, 0);
  source.ApplyColorTable();
  source.SetPixels(1, 0, 1);
  ASSERT_GT(source.PaletteCount(), 0);

  TDIB target;
  target.SetSize(2, 1, 32);
  HDC dc = target.Canvas()->Handle();
  struct {
    WORD version = 0x300, count = 1;
    PALETTEENTRY entries[1] = {{1, 2, 3, 0}};
  } logical;
  HPALETTE own = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&logical));
  HPALETTE first = SelectPalette(dc, own, FALSE);
  SetStretchBltMode(dc, HALFTONE);
  target.Canvas()->Draw(0, 0, &source);
  EXPECT_EQ(target.Pixels(1, 0), 0xFF0000u);
  EXPECT_EQ(GetStretchBltMode(dc), HALFTONE);
  EXPECT_EQ(SelectPalette(dc, first, FALSE), own);
  DeleteObject(own);
}

TEST(DIBAssign, OtherGraphicsArePaintedIntoTwentyFourBits) {
  TDIB source;
  source.SetSize(3, 2, 8);
  source.SetPixels(2, 1, 255);
  TPicture picture;
  picture.SetGraphic(&source);
  ASSERT_NE(picture.Graphic(), nullptr);
  TDIB copy;
  copy.Assign(&picture);
  EXPECT_EQ(copy.Pixels(2, 1), 255u);
  TPicture empty;
  copy.Assign(&empty);
  EXPECT_TRUE(copy.Empty());
  copy.Assign(&source);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());

  TGreenArea area;
  copy.Assign(&area);
  EXPECT_EQ(copy.BitCount(), 24);
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.Pixels(2, 1), static_cast<DWORD>(clLime));
}

TEST(DIBAssign, APaintedGraphicReplacesA565ImageWithAn888One) {
  TDIB dib;
  MakeDIBPixelLayout(5, 6, 5, dib.PixelLayout());
  dib.SetSize(3, 2, 16);
  ASSERT_EQ(dib.ImagePixelLayout().GBitMask, 0x07E0);
  TGreenArea area;
  dib.Assign(&area);
  EXPECT_EQ(dib.BitCount(), 24);
  EXPECT_EQ(dib.ImagePixelLayout().RBitMask, 0xFF0000);
  EXPECT_EQ(dib.ImagePixelLayout().GBitMask, 0x00FF00);
  EXPECT_EQ(dib.Pixels(2, 1), static_cast<DWORD>(clLime));
}

TEST(DIBAssign, BitmapsGiveTheirPaletteLayoutSizeAndPicture) {
  // A device-dependent bitmap describes itself with the plain record: 16 bits are 5-5-5.
  TBitmap device;
  device.SetHandleType(bmDDB);
  device.SetPixelFormat(pf16bit);
  device.SetSize(2, 1);
  device.Canvas()->SetPixels(0, 0, clRed);
  device.Canvas()->SetPixels(1, 0, clBlue);
  TDIB dib;
  dib.Assign(&device);
  EXPECT_EQ(dib.BitCount(), 16);
  EXPECT_EQ(dib.Width(), 2);
  EXPECT_EQ(dib.ImagePixelLayout().RBitMask, 0x7C00);
  EXPECT_EQ(dib.Pixels(0, 0), 0x7C00u);
  EXPECT_EQ(dib.Pixels(1, 0), 0x001Fu);

  // A section tells its masks between 9 and 23 bits; 8-8-8 at 32.
  TBitmap section;
  section.SetPixelFormat(pf16bit);
  section.SetSize(1, 2);
  section.Canvas()->SetPixels(0, 1, clLime);
  dib.Assign(&section);
  EXPECT_EQ(dib.ImagePixelLayout().RBitMask, 0xF800);
  EXPECT_EQ(dib.Pixels(0, 1), 0x07E0u);
  section.SetPixelFormat(pf32bit);
  section.Canvas()->SetPixels(0, 0, clRed);
  dib.Assign(&section);
  EXPECT_EQ(dib.BitCount(), 32);
  EXPECT_EQ(dib.Pixels(0, 0), 0xFF0000u);

  // An indexed bitmap's palette becomes the colour table its pixels are matched against.
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(3, 1);
  struct {
    WORD version = 0x300, count = 2;
    PALETTEENTRY entries[2] = {{0, 0, 0, 0}, {10, 20, 30, 0}};
  } logical;
  indexed.SetPalette(CreatePalette(reinterpret_cast<const LOGPALETTE*>(&logical)));
  indexed.Canvas()->SetPixels(2, 0, static_cast<TColor>(RGB(10, 20, 30)));
  dib.Assign(&indexed);
  EXPECT_EQ(dib.BitCount(), 8);
  EXPECT_EQ(dib.ColorTable()[1].rgbRed, 10);
  EXPECT_EQ(dib.ColorTable()[1].rgbBlue, 30);
  EXPECT_EQ(dib.Pixels(2, 0), 1u);
  EXPECT_EQ(dib.Pixels(0, 0), 0u);

  // An empty bitmap has no handle to describe: its palette is taken, and nothing more.
  TBitmap empty;
  dib.Assign(&empty);
  EXPECT_EQ(dib.Width(), 3);
  EXPECT_EQ(dib.ColorTable()[1].rgbRed, 0);
}

TEST(DIBFiles, SavedFileLayout) {
  TDIB empty;
  EXPECT_TRUE(Saved(empty).empty());

  TDIB dib;
  dib.SetSize(3, 2, 8);
  const Bytes file = Saved(dib);
  ASSERT_EQ(file.size(), 14u + 1064 + 8);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(LE32(file, 2), file.size());
  EXPECT_EQ(LE32(file, 10), 1078u);

  TDIB sixteen;
  MakeDIBPixelLayout(5, 5, 5, sixteen.PixelLayout());
  sixteen.SetSize(3, 2, 16);
  const Bytes sixteenFile = Saved(sixteen);
  EXPECT_EQ(sixteenFile.size(), 14u + 52 + 16);
  EXPECT_EQ(LE32(sixteenFile, 14 + 16), 3u);
  EXPECT_EQ(LE32(sixteenFile, 14 + 40), 0x7C00u);
}

TEST(DIBFiles, LoadingRoundTripsAndRejectsForeignHeaders) {
  TDIB dib;
  dib.SetSize(5, 3, 24);
  dib.SetPixels(4, 2, 0x123456);
  const Bytes file = Saved(dib);
  TDIB loaded;
  TBytesStream stream(file);
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.Pixels(4, 2), 0x123456u);
  EXPECT_TRUE(loaded.Image().MemoryImage);

  TBytesStream nothing(Bytes{});
  loaded.LoadFromStream(nothing);
  EXPECT_EQ(loaded.Width(), 5) << "an empty stream changes nothing";
  for (Bytes bad : {Bytes{'B', 'M', 0}, Bytes(file.begin(), file.end())}) {
    bad[0] = bad.size() > 3 ? 'X' : bad[0];
    TBytesStream badStream(bad);
    try {
      loaded.LoadFromStream(badStream);
      FAIL();
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "DIB is invalid");
    }
  }
  Bytes cut(file.begin(), file.end() - 1);
  TBytesStream cutStream(cut);
  EXPECT_THROW(loaded.LoadFromStream(cutStream), EReadError);
  EXPECT_EQ(loaded.Pixels(4, 2), 0x123456u) << "a failed read keeps the bitmap";
}

TEST(DIBStoredForms, PictureDataNamesTheClassAndReadsAsAMemoryImage) {
  TDIB dib;
  dib.SetSize(2, 2, 8);
  dib.SetPixels(1, 0, 77);
  TPicture picture;
  picture.SetGraphic(&dib);
  TMemoryStream stream;
  picture.WriteData(stream);
  const Bytes data = StreamBytes(stream);
  ASSERT_GT(data.size(), 5u);
  EXPECT_EQ(data[0], 4);
  EXPECT_EQ(std::string(data.begin() + 1, data.begin() + 5), "TDIB");

  TPicture read;
  TBytesStream in(data);
  read.ReadData(in);
  auto* loaded = dynamic_cast<TDIB*>(read.Graphic());
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->Image().MemoryImage);
  EXPECT_EQ(loaded->Pixels(1, 0), 77u);

  Bytes unknown = {5, 'T', 'X', 'Y', 'Z', 'W', 1, 2, 3};
  TBytesStream other(unknown);
  read.ReadData(other);
  EXPECT_EQ(read.Graphic(), nullptr);
  EXPECT_EQ(other.Position(), static_cast<Int64>(unknown.size())) << "the rest of the block is skipped";

  Bytes broken = {4, 'T', 'D', 'I', 'B', 40, 0};
  TBytesStream bad(broken);
  EXPECT_THROW(read.ReadData(bad), EInvalidGraphic);
  EXPECT_EQ(read.Graphic(), nullptr);
}

TEST(DIBStoredForms, PropertyDIBReadsAWholeBitmapFileAndIsNeverWritten) {
  TDIB dib;
  dib.SetSize(3, 2, 24);
  dib.SetPixels(2, 1, 0x123456);
  std::string text = "object Holder: TDIBHolder\n  Image.DIB = {";
  for (uint8_t byte : Saved(dib)) text += Format("%.2X", {byte});
  text += "}\nend\n";
  TDIBHolder holder(nullptr);
  ReadComponentText(text, &holder);
  ASSERT_EQ(holder.Image()->Width(), 3);
  EXPECT_EQ(holder.Image()->Pixels(2, 1), 0x123456u);

  // Written back, the bitmap goes out as the data block alone.
  TMemoryStream written;
  WriteComponent(written, &holder);
  const Bytes bytes = StreamBytes(written);
  const std::string stored(bytes.begin(), bytes.end());
  EXPECT_NE(stored.find("Image.Data"), std::string::npos);
  EXPECT_EQ(stored.find("Image.DIB"), std::string::npos);
}

TEST(DIBStoredForms, RegisteredAsDibFileAndClipboardFormat) {
  EXPECT_NE(TPicture::FindGraphicClass("TDIB"), nullptr);
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_DIB));

  TDIB dib;
  dib.SetSize(3, 1, 4);
  dib.SetPixels(2, 0, 9);
  Word format = 0;
  HGLOBAL data = nullptr;
  HPALETTE palette = reinterpret_cast<HPALETTE>(1);
  dib.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_EQ(palette, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(GlobalSize(data), static_cast<size_t>(dib.BitmapInfoSize() + dib.Size()));

  TPicture picture;
  picture.LoadFromClipboardFormat(CF_DIB, data, nullptr);
  auto* loaded = dynamic_cast<TDIB*>(picture.Graphic());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Pixels(2, 0), 9u);
  EXPECT_EQ(GlobalFree(data), nullptr) << "the block stays the caller's, unlocked";

  const std::string path = ::testing::TempDir() + "orvalis_picture_" + std::to_string(getpid()) + ".dib";
  dib.SaveToFile(path);
  TPicture fromFile;
  fromFile.LoadFromFile(path);
  ASSERT_NE(dynamic_cast<TDIB*>(fromFile.Graphic()), nullptr);
  EXPECT_EQ(fromFile.Width(), 3);
  std::remove(path.c_str());
  EXPECT_THROW(fromFile.LoadFromFile(::testing::TempDir() + "picture.xyz"), EInvalidGraphic);
}

TEST(DIBLifetime, BitmapsGiveBackEveryPlatformObject) {
  const size_t before = GdiTestLiveObjectCount();
  {
    TDIB a;
    a.SetSize(8, 8, 8);
    a.Canvas()->TextOut(0, 0, "a");
    a.Palette();
    TDIB b;
    b.Assign(&a);
    b.SetPixels(0, 0, 1);
    b.Palette();
  }
  EXPECT_EQ(GdiTestLiveObjectCount(), before);
}

}  // namespace
