// The class library's graphics: colours, fonts, the canvas over a device context and its
// notifications, and the picture holder with its registry of formats.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/gdi/GdiTestControl.h"
#include "runtime/Graphics.h"
#include "runtime/TypInfo.h"
#include "tests/MessageOf.h"

namespace {

// A graphic whose data is whatever bytes follow its class name; reading "fail" raises.
class TByteGraphic : public TGraphic {
  ORVALIS_CLASS(TByteGraphic, TGraphic)

  TGraphic* NewInstance() const override { return new TByteGraphic(); }
  void Assign(TPersistent* Source) override {
    if (auto* other = dynamic_cast<TByteGraphic*>(Source)) {
      Data = other->Data;
      return;
    }
    inherited::Assign(Source);
  }
  void LoadFromStream(TStream& Stream) override {
    Data.resize(static_cast<size_t>(Stream.Size() - Stream.Position()));
    Stream.ReadBuffer(Data.data(), static_cast<Integer>(Data.size()));
    if (Data == "fail") throw EInvalidGraphic("bad bytes");
  }
  void SaveToStream(TStream& Stream) override { Stream.WriteBuffer(Data.data(), static_cast<Integer>(Data.size())); }
  void LoadFromClipboardFormat(Word, HGLOBAL, HPALETTE) override {}
  void SaveToClipboardFormat(Word&, HGLOBAL&, HPALETTE&) override {}

  std::string Data;

 protected:
  void Draw(TCanvas*, const TRect&) override {}
  bool GetEmpty() override { return Data.empty(); }
  Integer GetHeight() override { return 1; }
  Integer GetWidth() override { return static_cast<Integer>(Data.size()); }
  void DoSetHeight(Integer) override {}
  void DoSetWidth(Integer) override {}
};

const TClassInfo& TByteGraphic::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TByteGraphic>();
  return info;
}

class TMemoryStreamOf : public TMemoryStream {
 public:
  explicit TMemoryStreamOf(const std::string& bytes) {
    if (!bytes.empty()) WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    SetPosition(0);
  }
  std::string Text() { return std::string(static_cast<const char*>(Memory()), static_cast<size_t>(Size())); }
};

// 32-bit pixels 0x00RRGGBB behind a device context.
struct Pixels32 {
  Pixels32(int w, int h, uint32_t fill) : width(w), pixels(w * h, fill) {
    dc = CreateMemoryDCForPixels(pixels.data(), w, h, w * 4, 32, nullptr, nullptr);
  }
  ~Pixels32() { DeleteDC(dc); }
  int Count(uint32_t value) const { return static_cast<int>(std::count(pixels.begin(), pixels.end(), value)); }
  int width;
  std::vector<uint32_t> pixels;
  HDC dc;
};

struct Recorder : TObject {
  void Changing(TObject*) { events.push_back("changing"); }
  void Change(TObject*) { events.push_back("change"); }
  std::vector<std::string> events;
};

TEST(GraphicsColours, SystemColoursResolveAndOthersStay) {
  EXPECT_EQ(ColorToRGB(clFuchsia), 0xFF00FFu);
  EXPECT_EQ(ColorToRGB(clMoneyGreen), 0xC0DCC0u);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
  EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFFu);
  EXPECT_EQ(ColorToRGB(clWindowText), 0u);
  EXPECT_EQ(ColorToRGB(clSystemColor | 200), 0u) << "beyond the scheme";
}

TEST(GraphicsFont, SizeIsPointsAtNinetySixPixelsPerInchAndChangesAreAnnounced) {
  TFont font;
  EXPECT_EQ(font.Size(), 8);
  Recorder recorder;
  font.OnChange = MakeEvent<&Recorder::Change>(&recorder);
  font.SetSize(12);
  EXPECT_EQ(font.Height(), -16);
  EXPECT_EQ(font.Size(), 12);
  font.SetSize(12);
  font.SetColor(clWhite);
  EXPECT_EQ(recorder.events.size(), 2u) << "only real changes";
  HFONT first = font.Handle();
  LOGFONTA described{};
  GetObject(first, sizeof described, &described);
  EXPECT_EQ(described.lfHeight, -16);
  font.SetStyle({fsBold});
  GetObject(font.Handle(), sizeof described, &described);
  EXPECT_EQ(described.lfWeight, FW_BOLD);
}

TEST(GraphicsCanvas, WithoutADeviceContextNothingCanBeDrawn) {
  TCanvas canvas;
  EXPECT_EQ(MessageOf<EInvalidOperation>([&] { canvas.TextOut(0, 0, "x"); }),
            "Leinwand erlaubt kein Zeichnen");
  EXPECT_THROW(canvas.Handle(), EInvalidOperation);
}

TEST(GraphicsCanvas, DrawingIsBracketedByTheChangingNotifications) {
  Pixels32 pixels(8, 8, 0);
  TCanvas canvas;
  canvas.SetHandle(pixels.dc);
  Recorder recorder;
  canvas.OnChanging = MakeEvent<&Recorder::Changing>(&recorder);
  canvas.OnChange = MakeEvent<&Recorder::Change>(&recorder);
  canvas.FillRect(Rect(0, 0, 2, 2));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"changing", "change"}));
  canvas.Handle();
  EXPECT_EQ(recorder.events.back(), "changing") << "asking for the handle starts drawing";
  EXPECT_EQ(pixels.Count(0xFFFFFF), 4) << "the default brush is white";
  canvas.SetPixels(7, 7, clRed);
  EXPECT_EQ(canvas.Pixels(7, 7), clRed);
  EXPECT_EQ(pixels.pixels[63], 0xFF0000u);
}

TEST(GraphicsCanvas, TextUsesTheFontColourAndTheBrushForItsBackground) {
  Pixels32 clear(60, 20, 0x123456);
  {
    TCanvas canvas;
    canvas.SetHandle(clear.dc);
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(clWhite);
    canvas.Font()->SetSize(12);
    canvas.TextOut(0, 0, "FPS");
    EXPECT_GT(clear.Count(0xFFFFFF), 10);
    EXPECT_EQ(clear.pixels[clear.width * 19 + 59], 0x123456u) << "no background";
    EXPECT_GT(canvas.TextWidth("FPS"), 10);
    EXPECT_GE(canvas.TextHeight("FPS"), 16);
  }
  Pixels32 solid(60, 20, 0x123456);
  TCanvas canvas;
  canvas.SetHandle(solid.dc);
  canvas.Brush()->SetColor(clBlue);
  canvas.TextOut(0, 0, "FPS");
  EXPECT_GT(solid.Count(0x0000FF), 30) << "the cell takes the brush colour";
}

TEST(GraphicsCanvas, FontsAndBrushesChangedWhileSelectedAreAllGivenBack) {
  const size_t before = GdiTestLiveObjectCount();
  {
    Pixels32 pixels(10, 10, 0);
    TCanvas canvas;
    canvas.SetHandle(pixels.dc);
    for (int size = 8; size < 12; ++size) {
      canvas.Font()->SetSize(size);
      canvas.Brush()->SetColor(size);
      canvas.TextOut(0, 0, "a");
    }
    canvas.Brush()->SetStyle(bsClear);
    canvas.TextOut(0, 0, "a");
    canvas.SetHandle(nullptr);
  }
  EXPECT_EQ(GdiTestLiveObjectCount(), before);
}

TEST(GraphicsCanvas, CopyRectStretchesFromAnotherCanvas) {
  Pixels32 source(2, 1, 0);
  source.pixels = {0xFF0000, 0x00FF00};
  Pixels32 dest(4, 2, 0);
  TCanvas from, to;
  from.SetHandle(source.dc);
  to.SetHandle(dest.dc);
  to.CopyRect(Rect(0, 0, 4, 2), &from, Rect(0, 0, 2, 1));
  EXPECT_EQ(dest.pixels, (std::vector<uint32_t>{0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00, 0xFF0000, 0xFF0000,
                                                 0x00FF00, 0x00FF00}));
}

class PictureRegistry : public ::testing::Test {
 protected:
  void SetUp() override { TPicture::RegisterFileFormat("BYT", "Bytes", GraphicClassOf<TByteGraphic>()); }
  void TearDown() override { TPicture::UnregisterGraphicClass(GraphicClassOf<TByteGraphic>()); }
};

TEST_F(PictureRegistry, PictureDataFindsTheRegisteredClassByName) {
  TPicture picture;
  TMemoryStreamOf data(std::string("\x0CTByteGraphic") + "payload");
  picture.ReadData(data);
  auto* graphic = dynamic_cast<TByteGraphic*>(picture.Graphic());
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(graphic->Data, "payload");

  TMemoryStreamOf written("");
  picture.WriteData(written);
  EXPECT_EQ(written.Text(), std::string("\x0CTByteGraphic") + "payload");

  TMemoryStreamOf failing(std::string("\x0CTByteGraphic") + "fail");
  EXPECT_THROW(picture.ReadData(failing), EInvalidGraphic);
  EXPECT_EQ(picture.Graphic(), nullptr);

  TMemoryStreamOf unknown("\x05TNone rest");
  picture.ReadData(unknown);
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(unknown.Position(), unknown.Size());

  TMemoryStreamOf empty("");
  picture.ReadData(empty);
  EXPECT_EQ(picture.Graphic(), nullptr);
  TMemoryStreamOf emptyWritten("");
  picture.WriteData(emptyWritten);
  EXPECT_EQ(emptyWritten.Text(), std::string(1, '\0'));

  TMemoryStreamOf cut("\x0CTByte");
  EXPECT_THROW(picture.ReadData(cut), EReadError);

  TPicture::UnregisterGraphicClass(GraphicClassOf<TByteGraphic>());
  EXPECT_EQ(TPicture::FindGraphicClass("TByteGraphic"), nullptr);
}

TEST_F(PictureRegistry, FilesAreFoundByExtensionWithoutRegardToCase) {
  const std::string path = ::testing::TempDir() + "orvalis_picture_" + std::to_string(getpid()) + ".byt";
  TByteGraphic source;
  source.Data = "abc";
  source.SaveToFile(path);
  TPicture picture;
  Recorder recorder;
  picture.OnChange = MakeEvent<&Recorder::Change>(&recorder);
  picture.LoadFromFile(path);
  ASSERT_NE(dynamic_cast<TByteGraphic*>(picture.Graphic()), nullptr);
  std::remove(path.c_str());
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_FALSE(recorder.events.empty());
  EXPECT_EQ(MessageOf<EInvalidGraphic>(
                [&] { picture.LoadFromFile(::testing::TempDir() + "orvalis_picture.unknown"); }),
            "Unbekannte Bilddateierweiterung (.unknown)");
  EXPECT_EQ(picture.Width(), 3) << "a failed load keeps the picture";
  EXPECT_THROW(picture.LoadFromClipboardFormat(0x7777, nullptr, nullptr), EInvalidGraphic);
}

TEST_F(PictureRegistry, AssignedGraphicsAreCopiesOfTheirOwnClass) {
  TByteGraphic source;
  source.Data = "xyz";
  TPicture picture;
  picture.SetGraphic(&source);
  ASSERT_NE(picture.Graphic(), &source);
  EXPECT_EQ(dynamic_cast<TByteGraphic*>(picture.Graphic())->Data, "xyz");
  TPicture other;
  other.Assign(&picture);
  EXPECT_EQ(dynamic_cast<TByteGraphic*>(other.Graphic())->Data, "xyz");
  other.Assign(nullptr);
  EXPECT_EQ(other.Graphic(), nullptr);
}

}  // namespace
