#include "display/DirectDraw.h"

#include "DisplayTestSupport.h"
#include "display/DirectDrawSurface.h"

namespace {

using DirectDrawObject = DisplayTest;

// Wrappers that write their going into a shared log, so the freeing order can be seen.
std::vector<std::string>* FreeLog = nullptr;

class LoggedSurface : public TDirectDrawSurface {
 public:
  LoggedSurface(TDirectDraw* owner, std::string name) : TDirectDrawSurface(owner), Name(std::move(name)) {}
  ~LoggedSurface() override { FreeLog->push_back(Name); }
  std::string Name;
};

class LoggedPalette : public TDirectDrawPalette {
 public:
  LoggedPalette(TDirectDraw* owner, std::string name) : TDirectDrawPalette(owner), Name(std::move(name)) {}
  ~LoggedPalette() override { FreeLog->push_back(Name); }
  std::string Name;
};

class LoggedClipper : public TDirectDrawClipper {
 public:
  LoggedClipper(TDirectDraw* owner, std::string name) : TDirectDrawClipper(owner), Name(std::move(name)) {}
  ~LoggedClipper() override { FreeLog->push_back(Name); }
  std::string Name;
};

std::vector<PALETTEENTRY> GreyEntries() {
  std::vector<PALETTEENTRY> entries(256);
  for (int i = 0; i < 256; ++i) {
    const BYTE level = static_cast<BYTE>(i);
    entries[i] = PALETTEENTRY{level, level, level, 0};
  }
  return entries;
}

}  // namespace

TEST_F(DirectDrawObject, OffersEveryInterfaceVersionOfItsPath) {
  TDirectDraw seven(nullptr);
  EXPECT_NE(seven.IDraw(), nullptr);
  EXPECT_NE(seven.IDraw4(), nullptr);
  EXPECT_NE(seven.IDraw7(), nullptr);
  EXPECT_EQ(seven.DriverCaps().dwSize, 380u);
  EXPECT_EQ(seven.HELCaps().dwSize, 380u);

  TDirectDraw six(nullptr, false);
  EXPECT_NE(six.IDraw(), nullptr);
  EXPECT_NE(six.IDraw4(), nullptr);
  EXPECT_EQ(six.IDraw7(), nullptr);
  EXPECT_EQ(MessageOf<EDirectDrawError>([&] { six.IDDraw7(); }), "IDirectDraw7 not made");
}

TEST_F(DirectDrawObject, CreationFailuresRaiseTheirTextsAndLeaveNothing) {
  TestDDrawRefuseNext(DDrawCall::DirectDrawCreate);
  EXPECT_EQ(MessageOf<EDirectDrawError>([] { TDirectDraw ddraw(nullptr); }),
            "DirectDraw cannot be initialized");
  TestDDrawRefuseNext(DDrawCall::DirectDrawCreate);
  EXPECT_EQ(MessageOf<EDirectDrawError>([] { TDirectDraw ddraw(nullptr, false); }),
            "DirectDraw cannot be initialized");

  // Without the library the loader's own text names it.
  FreeLoadedLibraries();
  UnregisterBuiltinModule("DDraw.dll");
  EXPECT_EQ(MessageOf<Exception>([] { TDirectDraw ddraw(nullptr); }), "DDraw.dll is not loaded");
  RegisterDirectDrawModule();
  TDirectDraw again(nullptr);
  EXPECT_NE(again.IDraw7(), nullptr);
}

TEST_F(DirectDrawObject, FreesWhatIsStillRegisteredSurfacesThenPalettesThenClippers) {
  std::vector<std::string> log;
  FreeLog = &log;
  auto* ddraw = new TDirectDraw(nullptr);
  new LoggedClipper(ddraw, "clipper");
  new LoggedSurface(ddraw, "surface 1");
  new LoggedPalette(ddraw, "palette");
  new LoggedSurface(ddraw, "surface 2");
  EXPECT_EQ(ddraw->SurfaceCount(), 2);
  EXPECT_EQ(ddraw->PaletteCount(), 1);
  EXPECT_EQ(ddraw->ClipperCount(), 1);
  delete ddraw;
  EXPECT_EQ(log, (std::vector<std::string>{"surface 2", "surface 1", "palette", "clipper"}));
  FreeLog = nullptr;
}

TEST_F(DirectDrawObject, AWrapperFreedByItsUserLeavesTheList) {
  TDirectDraw ddraw(nullptr);
  auto* first = new TDirectDrawClipper(&ddraw);
  auto* second = new TDirectDrawClipper(&ddraw);
  auto* surface = new TDirectDrawSurface(&ddraw);
  delete first;
  ASSERT_EQ(ddraw.ClipperCount(), 1);
  EXPECT_EQ(ddraw.Clippers(0), second);
  delete surface;
  EXPECT_EQ(ddraw.SurfaceCount(), 0);
  EXPECT_THROW(ddraw.Surfaces(0), EListError);
}

TEST_F(DirectDrawObject, ClipperThatCannotBeMadeRaisesAndIsNotKept) {
  TDirectDraw ddraw(nullptr);
  TestDDrawRefuseNext(DDrawCall::CreateClipper);
  EXPECT_EQ(MessageOf<EDirectDrawClipperError>([&] { new TDirectDrawClipper(&ddraw); }),
            "Clipper cannot be made");
  EXPECT_EQ(ddraw.ClipperCount(), 0);
  EXPECT_NE(ddraw.DXResult(), 0);

  TDirectDrawClipper clipper(&ddraw);
  EXPECT_NE(clipper.IDDClipper(), nullptr);
  TestDDrawRefuseNext(DDrawCall::SetHWnd, DDERR_INVALIDOBJECT);
  clipper.SetHandle(nullptr);
  EXPECT_EQ(clipper.DXResult(), DDERR_INVALIDOBJECT);  // recorded, not raised
}

TEST_F(DirectDrawObject, PaletteIsMadeReplacedAndLostOnRefusal) {
  TDirectDraw ddraw(nullptr);
  TDirectDrawPalette palette(&ddraw);
  EXPECT_EQ(palette.IPalette(), nullptr);
  EXPECT_EQ(MessageOf<EDirectDrawPaletteError>([&] { palette.IDDPalette(); }),
            "IDirectDrawPalette not made");
  const std::vector<PALETTEENTRY> grey = GreyEntries();
  EXPECT_FALSE(palette.SetEntries(0, 256, grey.data()));

  ASSERT_TRUE(palette.CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, grey.data()));
  PALETTEENTRY red{255, 0, 0, 0};
  EXPECT_TRUE(palette.SetEntries(7, 1, &red));
  PALETTEENTRY read[2]{};
  ASSERT_EQ(palette.IPalette()->GetEntries(0, 6, 2, read), DD_OK);
  EXPECT_EQ(read[0].peRed, 6);
  EXPECT_EQ(read[1].peRed, 255);
  EXPECT_EQ(read[1].peGreen, 0);

  TestDDrawRefuseNext(DDrawCall::CreatePalette, DDERR_OUTOFMEMORY);
  EXPECT_FALSE(palette.CreatePalette(DDPCAPS_8BIT, grey.data()));
  EXPECT_EQ(palette.IPalette(), nullptr);
  EXPECT_EQ(palette.DXResult(), DDERR_OUTOFMEMORY);
  EXPECT_EQ(ddraw.DXResult(), DDERR_OUTOFMEMORY);
}

TEST_F(DirectDrawObject, EnumerationListsThePrimaryDisplayDriver) {
  struct Found {
    int count = 0;
    bool primaryHasNoGuid = false;
  } found;
  auto callback = [](GUID* guid, char*, char*, void* context) -> BOOL {
    auto* result = static_cast<Found*>(context);
    if (result->count++ == 0) result->primaryHasNoGuid = guid == nullptr;
    return TRUE;
  };
  EXPECT_EQ(DirectDrawEnumerate(callback, &found), DD_OK);
  EXPECT_GE(found.count, 1);
  EXPECT_TRUE(found.primaryHasNoGuid);
}
