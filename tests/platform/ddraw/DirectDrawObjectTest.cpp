#include <algorithm>
#include <string>

#include "DDrawTestSupport.h"
#include "platform/kernel/Modules.h"

using DirectDrawObjectTest = DDrawFixture;

TEST_F(DirectDrawObjectTest, AnswersForEveryVersionAsOneCountedObject) {
  IDirectDraw* first = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
  void* four = nullptr;
  void* seven = nullptr;
  void* unknownA = nullptr;
  void* unknownB = nullptr;
  ASSERT_EQ(first->QueryInterface(IID_IDirectDraw4, &four), S_OK);
  ASSERT_EQ(first->QueryInterface(IID_IDirectDraw7, &seven), S_OK);
  ASSERT_EQ(static_cast<IDirectDraw4*>(four)->QueryInterface(IID_IUnknown, &unknownA), S_OK);
  ASSERT_EQ(static_cast<IDirectDraw7*>(seven)->QueryInterface(IID_IUnknown, &unknownB), S_OK);
  EXPECT_EQ(unknownA, unknownB);  // one identity behind all versions

  void* none = &none;
  EXPECT_EQ(first->QueryInterface(IID_IDirectDrawSurface, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  EXPECT_EQ(first->AddRef(), 6u);
  EXPECT_EQ(first->Release(), 5u);
  static_cast<IUnknown*>(unknownA)->Release();
  static_cast<IUnknown*>(unknownB)->Release();
  static_cast<IDirectDraw4*>(four)->Release();
  static_cast<IDirectDraw7*>(seven)->Release();
  EXPECT_EQ(first->Release(), 0u);
}

TEST_F(DirectDrawObjectTest, CreationRefusesWhatItCannotMake) {
  void* object = &object;
  EXPECT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw4, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(object, nullptr);
  GUID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(DirectDrawCreateEx(&other, &object, IID_IDirectDraw7, nullptr),
            DDERR_INVALIDDIRECTDRAWGUID);
  IDirectDraw* first = nullptr;
  EXPECT_EQ(DirectDrawCreate(nullptr, &first, reinterpret_cast<IUnknown*>(dd.Get())),
            CLASS_E_NOAGGREGATION);

  TestDDrawRefuseNext(DDrawCall::DirectDrawCreate, DDERR_OUTOFMEMORY, 2);
  EXPECT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DDERR_OUTOFMEMORY);
  EXPECT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr), DDERR_OUTOFMEMORY);
  ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
  first->Release();
}

TEST_F(DirectDrawObjectTest, IsOfferedAsABuiltInModuleWithOneDriver) {
  RegisterDirectDrawModule();
  const HMODULE module = LoadLibraryA("DDRAW.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "DirectDrawCreateEx"),
            reinterpret_cast<FARPROC>(&DirectDrawCreateEx));
  EXPECT_EQ(GetProcAddress(module, "DirectDrawCreate"),
            reinterpret_cast<FARPROC>(&DirectDrawCreate));
  const auto enumerate = reinterpret_cast<decltype(&DirectDrawEnumerateA)>(
      GetProcAddress(module, "DirectDrawEnumerateA"));
  ASSERT_NE(enumerate, nullptr);
  FreeLibrary(module);

  struct Seen {
    int count = 0;
    bool withoutGuid = false;
  } seen;
  auto callback = [](GUID* guid, char*, char*, void* context) -> BOOL {
    auto* s = static_cast<Seen*>(context);
    ++s->count;
    s->withoutGuid = guid == nullptr;
    return TRUE;
  };
  EXPECT_EQ(enumerate(callback, &seen), DD_OK);
  EXPECT_EQ(seen.count, 1);
  EXPECT_TRUE(seen.withoutGuid);
}

TEST_F(DirectDrawObjectTest, ListsTheDriversTestsGiveAndOpensEachByItsGuid) {
  DDrawTestDriver primary = TestDDrawDefaultDriver();
  DDrawTestDriver second = primary;
  second.hasGuid = true;
  second.guid = {0xABCDEF01, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  second.name = "second";
  second.driverCaps.dwVidMemTotal = 12345;
  TestDDrawSetDrivers({primary, second});

  struct Listed {
    std::vector<std::string> names;
    std::vector<bool> withGuid;
  } listed;
  DirectDrawEnumerateA(
      [](GUID* guid, char*, char* name, void* context) -> BOOL {
        auto* seen = static_cast<Listed*>(context);
        seen->names.push_back(name);
        seen->withGuid.push_back(guid != nullptr);
        return TRUE;
      },
      &listed);
  EXPECT_EQ(listed.names, (std::vector<std::string>{"display", "second"}));
  EXPECT_EQ(listed.withGuid, (std::vector<bool>{false, true}));

  auto totalVideoMemory = [](GUID* guid) {
    void* object = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(guid, &object, IID_IDirectDraw7, nullptr), DD_OK);
    auto* directDraw = static_cast<IDirectDraw7*>(object);
    DDCAPS caps{};
    caps.dwSize = 380;
    directDraw->GetCaps(&caps, nullptr);
    directDraw->Release();
    return caps.dwVidMemTotal;
  };
  EXPECT_EQ(totalVideoMemory(&second.guid), 12345u);
  EXPECT_EQ(totalVideoMemory(nullptr), primary.driverCaps.dwVidMemTotal);
  GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  void* object = nullptr;
  EXPECT_EQ(DirectDrawCreateEx(&unknown, &object, IID_IDirectDraw7, nullptr),
            DDERR_INVALIDDIRECTDRAWGUID);
}

TEST_F(DirectDrawObjectTest, ExclusiveUseBelongsToOneObjectAtATime) {
  EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE),
            DDERR_INVALIDPARAMS);  // needs full screen
  EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
            DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX),
            DD_OK);

  void* object = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr), DD_OK);
  auto other = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
  EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
            DDERR_EXCLUSIVEMODEALREADYSET);
  EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  dd.Reset();  // releasing the owner frees exclusive use
  EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
}

TEST_F(DirectDrawObjectTest, ListsTheCommonModesAndTheHostsOwn) {
  int32_t hostWidth = 0, hostHeight = 0;
  ScreenSize(&hostWidth, &hostHeight);
  std::vector<DDrawDisplayMode> listed;
  auto collect = [](DDSURFACEDESC2* mode, void* context) -> HRESULT {
    EXPECT_EQ(mode->dwSize, 124u);
    EXPECT_EQ(mode->lPitch,
              static_cast<LONG>(mode->dwWidth * mode->ddpfPixelFormat.dwRGBBitCount / 8));
    static_cast<std::vector<DDrawDisplayMode>*>(context)->push_back(
        {static_cast<int32_t>(mode->dwWidth), static_cast<int32_t>(mode->dwHeight),
         static_cast<int32_t>(mode->ddpfPixelFormat.dwRGBBitCount)});
    return DDENUMRET_OK;
  };
  ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &listed, collect), DD_OK);
  for (DDrawDisplayMode mode : {DDrawDisplayMode{640, 480, 16},
                                {1024, 768, 32},
                                {1280, 800, 32},
                                {1440, 900, 32},
                                {1680, 1050, 32},
                                {1920, 1200, 16},
                                {1920, 1200, 32},
                                {hostWidth, hostHeight, 32}})
    EXPECT_NE(std::find(listed.begin(), listed.end(), mode), listed.end())
        << mode.width << "x" << mode.height;
  EXPECT_TRUE(std::all_of(listed.begin(), listed.end(),
                          [](auto m) { return m.bitCount == 16 || m.bitCount == 32; }));

  // A filter on the width, and a callback that stops after the first answer.
  DDSURFACEDESC2 filter{};
  filter.dwSize = 124;
  filter.dwFlags = DDSD_WIDTH;
  filter.dwWidth = 1024;
  listed.clear();
  ASSERT_EQ(dd->EnumDisplayModes(0, &filter, &listed, collect), DD_OK);
  EXPECT_EQ(listed, (std::vector<DDrawDisplayMode>{{1024, 768, 16}, {1024, 768, 32}}));
  int calls = 0;
  auto stop = [](DDSURFACEDESC2*, void* context) -> HRESULT {
    ++*static_cast<int*>(context);
    return DDENUMRET_CANCEL;
  };
  ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &calls, stop), DD_OK);
  EXPECT_EQ(calls, 1);
}

TEST_F(DirectDrawObjectTest, SetsOnlyListedModesAndGivesTheDesktopBack) {
  const DDrawDisplayMode desktop = TestDDrawCurrentDisplayMode();
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 32, 0, 0), DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(1000, 700, 32, 0, 0), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 24, 0, 0), DDERR_INVALIDMODE);
  TestDDrawSetDisplayModes({{800, 600, 24}, {1024, 600, 32}});
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 24, 0, 0), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 32, 0, 0), DDERR_INVALIDMODE);
  TestDDrawRefuseNext(DDrawCall::SetDisplayMode, DDERR_GENERIC);
  EXPECT_EQ(dd->SetDisplayMode(1024, 600, 32, 0, 0), DDERR_GENERIC);
  ASSERT_EQ(dd->SetDisplayMode(1024, 600, 32, 0, 0), DD_OK);
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1024, 600, 32}));
  int32_t width = 0, height = 0;
  ScreenMode(&width, &height);
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 600);

  dd.Reset();
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), desktop);
}

TEST_F(DirectDrawObjectTest, AModeChangeStretchesTheExclusiveWindowOverTheScreen) {
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 32, 0, 0), DD_OK);
  RECT bounds{};
  GetWindowRect(window, &bounds);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 0);
  EXPECT_EQ(bounds.right, 800);
  EXPECT_EQ(bounds.bottom, 600);

  // A program that keeps its window to itself asks for that with its cooperative level.
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_NOWINDOWCHANGES), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(1024, 768, 32, 0, 0), DD_OK);
  GetWindowRect(window, &bounds);
  EXPECT_EQ(bounds.right, 800);
  EXPECT_EQ(bounds.bottom, 600);
}

TEST_F(DirectDrawObjectTest, AModeChangeLosesVideoMemoryButNotSystemMemory) {
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  auto video = MakeSurface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
  auto system = MakeSurface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
  EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(system->IsLost(), DD_OK);
  IDirectDraw4* four = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&four)), S_OK);
  EXPECT_EQ(four->RestoreAllSurfaces(), DD_OK);
  four->Release();
  EXPECT_EQ(video->IsLost(), DD_OK);
}

TEST_F(DirectDrawObjectTest, ReportsOneDriverWith3DAndTexturesWithinTheBudget) {
  TestDDrawSetVideoMemory(4u << 20);
  DDCAPS driver{};
  DDCAPS emulation{};
  driver.dwSize = 380;
  emulation.dwSize = 380;
  ASSERT_EQ(dd->GetCaps(&driver, &emulation), DD_OK);
  EXPECT_TRUE(driver.dwCaps & DDCAPS_3D);
  EXPECT_TRUE(driver.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
  EXPECT_TRUE(driver.ddsCaps.dwCaps & DDSCAPS_ZBUFFER);
  EXPECT_EQ(driver.dwVidMemTotal, 4u << 20);
  EXPECT_EQ(driver.dwVidMemFree, 4u << 20);
  EXPECT_FALSE(emulation.dwCaps & DDCAPS_3D);

  auto surface = MakeSurface(64, 64, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 32);
  ASSERT_EQ(dd->GetCaps(&driver, nullptr), DD_OK);
  EXPECT_EQ(driver.dwVidMemFree, (4u << 20) - 64 * 64 * 4);
  DDCAPS wrongSize{};
  wrongSize.dwSize = 100;
  EXPECT_EQ(dd->GetCaps(&wrongSize, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawObjectTest, CountsVerticalBlankWaits) {
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(dd->WaitForVerticalBlank(0x80, nullptr), DDERR_INVALIDPARAMS);
  TestDDrawRefuseNext(DDrawCall::WaitForVerticalBlank, DDERR_WASSTILLDRAWING);
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DDERR_WASSTILLDRAWING);
  EXPECT_EQ(TestDDrawVerticalBlankWaits(), 1u);
}

namespace {

// Stands for Direct3D: it answers one identity with the object that was asked.
constexpr GUID kOther{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

template <class Asked>
HRESULT AnswerOther(Asked* asked, REFIID iid, void** object) {
  *object = nullptr;
  if (!(iid == kOther)) return E_NOINTERFACE;
  asked->AddRef();
  *object = asked;
  return S_OK;
}

}  // namespace

TEST_F(DirectDrawObjectTest, OtherInterfacesAreAskedOfTheInstalledProviders) {
  SetDirectDrawInterfaceProviders(&AnswerOther<IDirectDraw7>, &AnswerOther<IDirectDrawSurface7>);
  auto surface = MakeSurface(2, 2);
  void* object = nullptr;
  EXPECT_EQ(dd->QueryInterface(kOther, &object), S_OK);
  EXPECT_EQ(object, dd.Get());
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(surface->QueryInterface(kOther, &object), S_OK);
  EXPECT_EQ(object, surface.Get());
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(surface->QueryInterface(IID_IDirectDrawPalette, &object), E_NOINTERFACE);

  SetDirectDrawInterfaceProviders(nullptr, nullptr);
  EXPECT_EQ(dd->QueryInterface(kOther, &object), E_NOINTERFACE);
}
