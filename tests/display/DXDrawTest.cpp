#include "display/DXDraw.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "DisplayTestSupport.h"
#include "display/DXDrawDrivers.h"
#include "images/DIB.h"
#include "runtime/ComponentStream.h"
#include "runtime/Menus.h"

namespace {

const char* CodeName(TDisplayNotifyCode code) {
  static const char* const names[] = {"ncDestroying",      "ncInitializing", "ncInitialize",
                                      "ncInitializeSurface", "ncFinalize",     "ncFinalizeSurface",
                                      "ncRestore",         "ncSetSurfaceSize"};
  return names[code];
}

using Log = std::vector<std::string>;

// Writes every notification and event it receives into one log, optionally under a prefix.
class Recorder : public TObject {
 public:
  explicit Recorder(std::vector<std::string>& log, std::string prefix = "") : Log(log), Prefix(std::move(prefix)) {}

  TDisplayNotifyEvent Listener() { return MakeEvent<&Recorder::Notify>(this); }
  void Watch(TCustomDXDraw* dx) {
    dx->OnInitializing = MakeEvent<&Recorder::Initializing>(this);
    dx->OnInitialize = MakeEvent<&Recorder::Initialized>(this);
    dx->OnInitializeSurface = MakeEvent<&Recorder::SurfaceInitialized>(this);
    dx->OnRestoreSurface = MakeEvent<&Recorder::Restored>(this);
    dx->OnFinalize = MakeEvent<&Recorder::Finalized>(this);
    dx->OnFinalizeSurface = MakeEvent<&Recorder::SurfaceFinalized>(this);
  }

  void Notify(TCustomDXDraw*, TDisplayNotifyCode code) { Log.push_back(Prefix + CodeName(code)); }
  void Initializing(TObject*) { Log.push_back("OnInitializing"); }
  void Initialized(TObject*) {
    Log.push_back("OnInitialize");
    if (Latecomer) Latecomer->AddNotifyListenerFrom(this);
  }
  void SurfaceInitialized(TObject*) { Log.push_back("OnInitializeSurface"); }
  void Restored(TObject*) { Log.push_back("OnRestoreSurface"); }
  void Finalized(TObject*) { Log.push_back("OnFinalize"); }
  void SurfaceFinalized(TObject*) { Log.push_back("OnFinalizeSurface"); }

  // A listener that registers itself while OnInitialize runs.
  struct Joiner {
    TCustomDXDraw* Display;
    Recorder* Listener;
    void AddNotifyListenerFrom(Recorder*) { Display->AddNotifyListener(Listener->Listener()); }
  };
  Joiner* Latecomer = nullptr;

  std::vector<std::string>& Log;
  std::string Prefix;
};

// A borderless form holding a display control over its whole client area.
class DXDrawTest : public DisplayTest {
 protected:
  void MakeDisplay(TDXDrawOptions options, Integer width = 640, Integer height = 480) {
    form = MakeForm(width, height);
    dx = MakeClientDisplay(form, options);
  }

  // The presented frame's pixel at screen position (x, y), 0x00RRGGBB.
  static uint32_t FramePixel(Integer x, Integer y) {
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
    if (!TestLastFrame(pixels, width, height) || x >= width || y >= height) return 0xDEADBEEF;
    return pixels[static_cast<size_t>(y) * width + x];
  }

  // Recorders live as long as the test, so the display can still reach them while the form
  // is freed.
  Recorder& NewRecorder(std::string prefix = "") {
    recorders.push_back(std::make_unique<Recorder>(log, std::move(prefix)));
    return *recorders.back();
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    DisplayTest::TearDown();
  }

  TForm* form = nullptr;
  TDXDraw* dx = nullptr;
  Log log;
  std::vector<std::unique_ptr<Recorder>> recorders;
};

const TDXDrawOptions GameOptions = {doFullScreen, doAllowReboot, doWaitVBlank, doCenter, do3D,
                                    doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver};
const TDXDrawOptions Windowed = {doCenter};

}  // namespace

// ---- Options ----

TEST_F(DXDrawTest, EffectiveOptionsFollowTheRequestedSet) {
  MakeDisplay(GameOptions);
  EXPECT_EQ(dx->EffectiveOptions(), (TDXDrawOptions{doFullScreen, doAllowReboot, doWaitVBlank, doCenter,
                                                    do3D, doDirectX7Mode, doSelectDriver}));
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doFlip));

  dx->SetOptions(TDXDrawOptions::FromBits(0x368C));  // the defaults, windowed
  EXPECT_EQ(dx->EffectiveOptions(),
            (TDXDrawOptions{doWaitVBlank, doCenter, do3D, doDirectX7Mode, doSelectDriver}));

  dx->SetOptions({doFullScreen, doSystemMemory, doFlip, doRetainedMode, doZBuffer, doAllowPalette256});
  EXPECT_EQ(dx->EffectiveOptions(), (TDXDrawOptions{doFullScreen, doSystemMemory, doAllowPalette256}));
  dx->SetOptions({do3D, doRetainedMode, doZBuffer, doHardware});
  EXPECT_EQ(dx->EffectiveOptions(), (TDXDrawOptions{do3D, doRetainedMode, doZBuffer}));
}

TEST_F(DXDrawTest, OptionsWrittenWhileInitialisedChangeOnlyThePresentation) {
  MakeDisplay({doCenter, doWaitVBlank});
  dx->Initialize();
  dx->SetOptions({doStretch, doFullScreen, doFlip, doAllowReboot});
  EXPECT_EQ(dx->EffectiveOptions(), TDXDrawOptions{doStretch});
  dx->Initialize();  // the new set takes full effect now
  EXPECT_EQ(dx->EffectiveOptions(), (TDXDrawOptions{doStretch, doFullScreen, doFlip, doAllowReboot}));
  EXPECT_NE(dynamic_cast<TDXDrawDriverFlip*>(dx->DXDrawDriver()), nullptr);
}

TEST_F(DXDrawTest, CooperativeLevelFollowsTheEffectiveOptions) {
  MakeDisplay(TDXDrawOptions::FromBits(0x368C));
  dx->Initialize();
  EXPECT_EQ(TestDDrawLastCooperativeLevel(), 0x08u) << "windowed: normal";
  dx->SetOptions(GameOptions);
  dx->Initialize();
  // The game's: full screen, exclusive, mode X and reboot.
  EXPECT_EQ(TestDDrawLastCooperativeLevel(), 0x53u);
  dx->SetOptions({doFullScreen, doNoWindowChange});
  dx->Initialize();
  EXPECT_EQ(TestDDrawLastCooperativeLevel(), 0x55u);
}

// ---- Listeners ----

TEST_F(DXDrawTest, NewListenersAreToldTheCurrentState) {
  MakeDisplay(Windowed);
  Recorder& early = NewRecorder("early ");
  Recorder& late = NewRecorder("late ");
  dx->AddNotifyListener(early.Listener());
  EXPECT_EQ(log, Log{"early ncSetSurfaceSize"});
  dx->Initialize();
  log.clear();
  dx->AddNotifyListener(late.Listener());
  EXPECT_EQ(log, (Log{"late ncSetSurfaceSize", "late ncInitialize", "late ncInitializeSurface", "late ncRestore"}));

  // Last registered first; registering again keeps one entry (after a goodbye and a new hello).
  log.clear();
  dx->BroadcastNotify(ncRestore);
  EXPECT_EQ(log, (Log{"late ncRestore", "early ncRestore"}));
  dx->AddNotifyListener(early.Listener());
  log.clear();
  dx->BroadcastNotify(ncRestore);
  EXPECT_EQ(log, (Log{"early ncRestore", "late ncRestore"}));

  log.clear();
  dx->RemoveNotifyListener(late.Listener());
  EXPECT_EQ(log, (Log{"late ncFinalizeSurface", "late ncFinalize"}));
  log.clear();
  dx->RemoveNotifyListener(late.Listener());
  dx->BroadcastNotify(ncRestore);
  EXPECT_EQ(log, Log{"early ncRestore"});
  dx->RemoveNotifyListener(early.Listener());
}

TEST_F(DXDrawTest, AListenerJoiningDuringOnInitializeIsRestoredOnce) {
  MakeDisplay(Windowed);
  Recorder& events = NewRecorder();
  Recorder& joiner = NewRecorder("joiner ");
  Recorder::Joiner join{dx, &joiner};
  events.Latecomer = &join;
  events.Watch(dx);
  dx->Initialize();
  const auto from = std::find(log.begin(), log.end(), "OnInitialize");
  ASSERT_NE(from, log.end());
  EXPECT_EQ(Log(from, log.end()), (Log{"OnInitialize", "joiner ncSetSurfaceSize", "joiner ncInitialize",
                                       "joiner ncInitializeSurface", "OnInitializeSurface",
                                       "joiner ncRestore", "OnRestoreSurface"}));
  events.Latecomer = nullptr;
}

// ---- Life ----

TEST_F(DXDrawTest, InitializeAndFinalizeTellEveryStepInOrder) {
  MakeDisplay(Windowed);
  Recorder& recorder = NewRecorder();
  recorder.Watch(dx);
  dx->AddNotifyListener(recorder.Listener());
  log.clear();
  dx->Initialize();
  EXPECT_EQ(log, (Log{"OnInitializing", "ncInitializing", "ncSetSurfaceSize", "ncInitialize", "OnInitialize",
                      "ncInitializeSurface", "OnInitializeSurface", "ncRestore", "OnRestoreSurface"}));
  EXPECT_TRUE(dx->Initialized());

  log.clear();
  dx->Initialize();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(Log(log.begin(), log.begin() + 5),
            (Log{"OnFinalizeSurface", "ncFinalizeSurface", "OnFinalize", "ncFinalize", "OnInitializing"}));

  log.clear();
  delete dx;
  EXPECT_EQ(log, (Log{"OnFinalizeSurface", "ncFinalizeSurface", "OnFinalize", "ncFinalize", "ncDestroying"}));
}

TEST_F(DXDrawTest, FinalizeGoesOnPastAFailingHandler) {
  MakeDisplay(Windowed);
  Recorder& recorder = NewRecorder();
  dx->AddNotifyListener(recorder.Listener());
  struct Thrower : TObject {
    void Raise(TObject*) { throw Exception("handler failed"); }
  } thrower;
  dx->OnFinalizeSurface = MakeEvent<&Thrower::Raise>(&thrower);
  dx->Initialize();
  log.clear();
  EXPECT_EQ(MessageOf<Exception>([&] { dx->Finalize(); }), "handler failed");
  // The listener still hears that everything went, and nothing is left behind.
  EXPECT_EQ(log, (Log{"ncFinalizeSurface", "ncFinalize"}));
  EXPECT_FALSE(dx->Initialized());
  EXPECT_EQ(dx->DDraw(), nullptr);
  EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);
  dx->OnFinalizeSurface = nullptr;
}

TEST_F(DXDrawTest, WithoutAFormNothingIsBuilt) {
  auto* alone = new TDXDraw(Application);
  EXPECT_EQ(MessageOf<EDXDrawError>([&] { alone->Initialize(); }), "Form not found");
  EXPECT_FALSE(alone->Initialized());
  EXPECT_EQ(alone->DDraw(), nullptr);
  delete alone;
}

TEST_F(DXDrawTest, BuildFailuresFinaliseAndRaise) {
  MakeDisplay(Windowed);
  Recorder& recorder = NewRecorder();
  recorder.Watch(dx);

  TestDDrawRefuseNext(DDrawCall::DirectDrawCreate);
  EXPECT_EQ(MessageOf<EDirectDrawError>([&] { dx->Initialize(); }), "DirectDraw cannot be initialized");
  EXPECT_FALSE(dx->Initialized());

  TestDDrawRefuseNext(DDrawCall::CreateSurface);
  EXPECT_EQ(MessageOf<EDXDrawError>([&] { dx->Initialize(); }), "Primary Surface cannot be made");
  EXPECT_EQ(dx->Primary(), nullptr);
  EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);

  // The primary is made; a back surface wider than any surface may be is refused in both
  // memories.
  dx->SetAutoSize(false);
  dx->SetSize(20000, 10);
  EXPECT_EQ(MessageOf<EDXDrawError>([&] { dx->Initialize(); }), "Surface cannot be made");
  EXPECT_EQ(dx->Surface(), nullptr);
  EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);
  // No OnFinalize for an initialisation that never completed, and the stored size is kept.
  EXPECT_EQ(std::count(log.begin(), log.end(), "OnFinalize"), 0);
  EXPECT_EQ(dx->SurfaceWidth(), 20000);
}

TEST_F(DXDrawTest, BackSurfaceFallsBackToSystemMemoryOrFails) {
  MakeDisplay(Windowed);
  dx->Initialize();
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doSystemMemory));
  EXPECT_TRUE(dx->Surface()->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);

  // The primary takes what video memory there is; the back surface no longer fits.
  const uint32_t primaryBytes = TestDDrawVideoMemoryUsed() - 640u * 480u * 4u;
  dx->Finalize();
  TestDDrawSetVideoMemory(primaryBytes);
  dx->Initialize();
  EXPECT_TRUE(dx->EffectiveOptions().Contains(doSystemMemory));
  EXPECT_TRUE(dx->Surface()->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  EXPECT_FALSE(dx->Options().Contains(doSystemMemory));

  dx->Finalize();
  TestDDrawSetVideoMemory(0);
  EXPECT_EQ(MessageOf<EDXDrawError>([&] { dx->Initialize(); }), "Primary Surface cannot be made");
}

TEST_F(DXDrawTest, RefusedDisplayModeFinalisesAndRaises) {
  TestDDrawSetDisplayModes({{640, 480, 16}, {1024, 768, 16}});
  MakeDisplay({doFullScreen});
  dx->Display()->SetWidth(800);
  dx->Display()->SetHeight(600);
  dx->Display()->SetBitCount(32);
  dx->Display()->SetFixedBitCount(true);
  EXPECT_EQ(MessageOf<EDXDrawError>([&] { dx->Initialize(); }),
            "Display mode cannot be changed (800x600 32bit)");
  EXPECT_FALSE(dx->Initialized());
  EXPECT_EQ(dx->DDraw(), nullptr);
  EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);

  // With the bit count free, the nearest larger mode of another ratio is taken.
  dx->Display()->SetFixedBitCount(false);
  dx->Display()->SetFixedSize(false);
  dx->Initialize();
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1024, 768, 16}));
  EXPECT_EQ(dx->Display()->Width(), 1024);
  EXPECT_EQ(dx->Display()->BitCount(), 16);
}

TEST_F(DXDrawTest, AStoredSizeOfNothingMakesAOnePixelBackSurface) {
  MakeDisplay(Windowed);
  dx->SetAutoSize(false);
  dx->SetSize(0, 0);
  dx->Initialize();
  EXPECT_EQ(dx->Surface()->Width(), 1);
  EXPECT_EQ(dx->Surface()->Height(), 1);
}

// ---- Presenting ----

TEST_F(DXDrawTest, FullScreenFrameShowsTheTextWrittenOnTheBackSurface) {
  MakeDisplay({doFullScreen, doAllowReboot, doWaitVBlank, doCenter});
  dx->Display()->SetBitCount(32);
  form->Show();
  dx->Initialize();
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{640, 480, 32}));
  ASSERT_EQ(dx->SurfaceWidth(), 640);
  ASSERT_EQ(dx->SurfaceHeight(), 480);

  TDirectDrawSurface* back = dx->Surface();
  back->Fill(0);
  back->Canvas()->Brush()->SetStyle(bsClear);
  back->Canvas()->Font()->SetColor(clWhite);
  back->Canvas()->Font()->SetHeight(-16);
  back->Canvas()->TextOut(0, 0, "FPS: 30, Explosions 7");
  back->Canvas()->Release();
  const uint32_t frames = TestFrameCount();
  const uint32_t waits = TestDDrawVerticalBlankWaits();
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames + 1);
  EXPECT_EQ(TestDDrawVerticalBlankWaits(), waits + 1);

  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;
  ASSERT_TRUE(TestLastFrame(pixels, width, height));
  ASSERT_EQ(width, 640);
  ASSERT_EQ(height, 480);
  Integer textPixels = 0, elsewhere = 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const bool lit = pixels[static_cast<size_t>(y) * width + x] != 0;
      (x < 320 && y < 24 ? textPixels : elsewhere) += lit;
    }
  EXPECT_GT(textPixels, 100);
  EXPECT_EQ(elsewhere, 0);
  EXPECT_EQ(FramePixel(0, 0) & 0xFF000000u, 0u);
}

TEST_F(DXDrawTest, BlitDriverCentresOrStretchesTheBackSurface) {
  MakeDisplay(Windowed, 100, 100);
  dx->SetAutoSize(false);
  dx->SetSize(50, 50);
  dx->Initialize();
  dx->Surface()->Fill(0xFF0000);
  dx->Flip();
  EXPECT_EQ(FramePixel(25, 25), 0xFF0000u);
  EXPECT_EQ(FramePixel(74, 74), 0xFF0000u);
  EXPECT_EQ(FramePixel(24, 25), 0u);
  EXPECT_EQ(FramePixel(75, 74), 0u);

  dx->SetOptions({doCenter, doStretch});  // stretching wins
  dx->Flip();
  EXPECT_EQ(FramePixel(0, 0), 0xFF0000u);
  EXPECT_EQ(FramePixel(99, 99), 0xFF0000u);
  EXPECT_EQ(FramePixel(100, 100), 0u);  // the clipper keeps to the control

  // A back surface larger than the control moves up and left by half the difference.
  dx->SetOptions({doCenter});
  dx->SetSize(161, 160);
  ASSERT_EQ(dx->SurfaceWidth(), 161);
  dx->Surface()->Fill(0);
  dx->Surface()->SetPixels(30, 30, 0x00FF00);
  dx->Flip();
  EXPECT_EQ(FramePixel(0, 0), 0x00FF00u);  // (100 - 161) div 2 = -30

  dx->SetOptions({});
  dx->Flip();
  EXPECT_EQ(FramePixel(30, 30), 0x00FF00u);
}

TEST_F(DXDrawTest, FlipPresentsNothingWhenToldToSkipOrUninitialised) {
  MakeDisplay(Windowed);
  SkipNextFlip = true;
  dx->Flip();
  EXPECT_FALSE(SkipNextFlip);
  EXPECT_EQ(TestFrameCount(), 0u);

  dx->Initialize();
  const uint32_t frames = TestFrameCount();
  SkipNextFlip = true;
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames);
  EXPECT_FALSE(SkipNextFlip);
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames + 1);
}

TEST_F(DXDrawTest, LostSurfacesAreRestoredBeforeTheFrameOrTheFrameIsDropped) {
  MakeDisplay(Windowed);
  Recorder& recorder = NewRecorder();
  recorder.Watch(dx);
  dx->Initialize();
  dx->AddNotifyListener(recorder.Listener());
  log.clear();
  uint32_t frames = TestFrameCount();
  TestDDrawLoseAllSurfaces();
  dx->Surface()->Fill(0x0000FF);  // refused: the surface is lost
  dx->Flip();
  EXPECT_EQ(log, (Log{"ncRestore", "OnRestoreSurface"}));
  EXPECT_GT(TestFrameCount(), frames);

  // While the surfaces cannot be restored no frame goes out.
  log.clear();
  TestDDrawLoseAllSurfaces();
  TestDDrawRefuseNext(DDrawCall::Restore, DDERR_SURFACELOST, 2);
  EXPECT_FALSE(dx->CanDraw());
  frames = TestFrameCount();
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames);
  EXPECT_TRUE(log.empty());
  dx->Flip();
  EXPECT_EQ(log, (Log{"ncRestore", "OnRestoreSurface"}));
  EXPECT_GT(TestFrameCount(), frames);
  dx->RemoveNotifyListener(recorder.Listener());
}

TEST_F(DXDrawTest, FlipDriverPresentsOnlyForTheActiveForm) {
  MakeDisplay({doFullScreen, doFlip});
  dx->Display()->SetBitCount(32);
  dx->Initialize();
  ASSERT_NE(dynamic_cast<TDXDrawDriverFlip*>(dx->DXDrawDriver()), nullptr);
  ASSERT_NE(dx->Surface()->ISurface(), nullptr);
  const uint32_t frames = TestFrameCount();
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames);
  EXPECT_EQ(dx->Primary()->DXResult(), DD_OK);

  form->Show();
  ASSERT_TRUE(form->Active());
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames + 1);
  dx->SetSize(300, 200);  // the flipping chain cannot be resized
  EXPECT_EQ(dx->SurfaceWidth(), 640);
}

TEST_F(DXDrawTest, PaintingPresentsWithoutWaitingForTheVerticalBlank) {
  MakeDisplay({doCenter, doWaitVBlank});
  dx->Initialize();
  const uint32_t frames = TestFrameCount();
  const uint32_t waits = TestDDrawVerticalBlankWaits();
  dx->Perform(WM_PAINT, 0, 0);
  EXPECT_EQ(TestFrameCount(), frames + 1);
  EXPECT_EQ(TestDDrawVerticalBlankWaits(), waits);
  EXPECT_TRUE(dx->EffectiveOptions().Contains(doWaitVBlank));
}

TEST_F(DXDrawTest, AtDesignTimePaintingOutlinesTheControlAndNamesItsClass) {
  TDIB picture;
  picture.SetSize(100, 100, 32);
  picture.Canvas()->Brush()->SetColor(clWhite);
  picture.Canvas()->FillRect(Rect(0, 0, 100, 100));
  TDXDraw designed(nullptr);
  designed.SetDesigning(true);
  ASSERT_EQ(designed.Width(), 100);
  designed.Canvas()->SetHandle(picture.Canvas()->Handle());
  designed.Perform(WM_PAINT, 0, 0);
  const TSize caption = designed.Canvas()->TextExtent("(TDXDraw)");
  designed.Canvas()->SetHandle(nullptr);
  auto at = [&](Integer x, Integer y) { return picture.Pixels(x, y) & 0xFFFFFFu; };

  // The outline is dashed: black with gaps along every side.
  for (bool vertical : {false, true})
    for (Integer edge : {0, 99}) {
      Integer black = 0, gaps = 0;
      for (Integer along = 1; along < 99; ++along) {
        const DWORD pixel = vertical ? at(edge, along) : at(along, edge);
        black += pixel == 0;
        gaps += pixel == 0xFFFFFF;
      }
      EXPECT_GT(black, 2 * gaps) << (vertical ? "column " : "row ") << edge;
      EXPECT_GT(gaps, 0) << (vertical ? "column " : "row ") << edge;
    }
  // Grey diagonals from corner to corner.
  for (Integer i : {5, 20, 70, 94}) {
    EXPECT_EQ(at(i, i), 0x808080u) << i;
    EXPECT_EQ(at(i, 100 - i), 0x808080u) << i;
  }
  EXPECT_EQ(at(30, 20), 0xFFFFFFu);

  // The class name in brackets, centred on the button face colour.
  const Integer left = (100 - caption.cx) / 2, top = (100 - caption.cy) / 2;
  const DWORD face = ColorToRGB(clBtnFace);
  ASSERT_NE(face, 0xFFFFFFu);
  EXPECT_EQ(at(left, top), face);
  EXPECT_EQ(at(left + caption.cx - 1, top + caption.cy - 1), face);
  EXPECT_NE(at(left - 1, top), face);
  EXPECT_NE(at(left + caption.cx, top + caption.cy - 1), face);
  Integer ink = 0;
  for (Integer y = top; y < top + caption.cy; ++y)
    for (Integer x = left; x < left + caption.cx; ++x) ink += at(x, y) == 0;
  EXPECT_GT(ink, 20);
}

TEST_F(DXDrawTest, PaletteChangesAndNewWindowsReachTheDisplay) {
  MakeDisplay(Windowed);
  Recorder& recorder = NewRecorder();
  dx->Initialize();
  dx->AddNotifyListener(recorder.Listener());
  log.clear();
  EXPECT_FALSE(dx->PaletteChanged(false));
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(dx->PaletteChanged(true));
  EXPECT_EQ(log, Log{"ncRestore"});

  // A new window for the control: the clipper follows it.
  dx->DestroyHandle();
  HWND window = dx->Handle();
  HWND clipped = nullptr;
  ASSERT_EQ(dx->Clipper()->IClipper()->GetHWnd(&clipped), DD_OK);
  EXPECT_EQ(clipped, window);
  dx->RemoveNotifyListener(recorder.Listener());
}

TEST_F(DXDrawTest, FlipDriverWithoutABackBufferDrawsNothingAndRaisesNothing) {
  MakeDisplay({doFullScreen, doFlip});
  dx->Display()->SetBitCount(32);
  TestDDrawRefuseNext(DDrawCall::GetAttachedSurface);
  dx->Initialize();
  EXPECT_EQ(dx->Surface()->ISurface(), nullptr);
  form->Show();
  const uint32_t frames = TestFrameCount();
  EXPECT_FALSE(dx->CanDraw());
  dx->Flip();
  EXPECT_EQ(TestFrameCount(), frames);
}

// ---- Back-surface size ----

TEST_F(DXDrawTest, ResizingTheBackSurfaceRemakesItWithItsEvents) {
  MakeDisplay(Windowed);
  dx->SetAutoSize(false);
  Recorder& recorder = NewRecorder();
  recorder.Watch(dx);
  dx->Initialize();
  dx->AddNotifyListener(recorder.Listener());
  log.clear();
  dx->SetSize(200, 150);
  EXPECT_EQ(log, (Log{"ncFinalizeSurface", "OnFinalizeSurface", "ncInitializeSurface", "OnInitializeSurface",
                      "ncSetSurfaceSize"}));
  EXPECT_EQ(dx->SurfaceWidth(), 200);
  EXPECT_EQ(dx->Surface()->Height(), 150);
  log.clear();
  dx->SetSize(200, 150);  // unchanged: nothing happens
  EXPECT_TRUE(log.empty());

  dx->Finalize();
  EXPECT_EQ(dx->SurfaceWidth(), 200);
  EXPECT_EQ(dx->SurfaceHeight(), 150);
  dx->RemoveNotifyListener(recorder.Listener());
}

TEST_F(DXDrawTest, AutoSizeFollowsTheControl) {
  MakeDisplay(Windowed, 320, 240);
  EXPECT_EQ(dx->SurfaceWidth(), 320);
  dx->Initialize();
  EXPECT_EQ(dx->Surface()->Width(), 320);
  EXPECT_EQ(dx->Surface()->Height(), 240);
  form->SetBounds(0, 0, 400, 300);
  EXPECT_EQ(dx->Surface()->Width(), 400);
  EXPECT_EQ(dx->Surface()->Height(), 300);
}

// ---- The form's messages ----

TEST_F(DXDrawTest, TheFormsFirstShowingInitialisesOnce) {
  MakeDisplay(Windowed);
  dx->SetAutoInitialize(true);
  Recorder& recorder = NewRecorder();
  recorder.Watch(dx);
  form->Show();
  EXPECT_TRUE(dx->Initialized());
  form->Hide();
  form->Show();
  EXPECT_EQ(std::count(log.begin(), log.end(), "OnInitialize"), 1);

  // Moving or sizing finalises at the start and initialises at the end.
  form->Perform(WM_ENTERSIZEMOVE, 0, 0);
  EXPECT_FALSE(dx->Initialized());
  form->Perform(WM_EXITSIZEMOVE, 0, 0);
  EXPECT_TRUE(dx->Initialized());
  form->Perform(WM_DESTROY, 0, 0);
  EXPECT_FALSE(dx->Initialized());
}

TEST_F(DXDrawTest, AFailedFirstShowingIsNotRetried) {
  MakeDisplay(Windowed);
  dx->SetAutoInitialize(true);
  TestDDrawRefuseNext(DDrawCall::DirectDrawCreate);
  form->Show();  // the application reports the failure
  EXPECT_FALSE(dx->Initialized());
  form->Hide();
  form->Show();
  EXPECT_FALSE(dx->Initialized());
}

TEST_F(DXDrawTest, FreeingTheFormFinalisesTheDisplay) {
  MakeDisplay(Windowed);
  dx->Initialize();
  EXPECT_GT(TestDDrawLiveSurfaces(), 0u);
  delete form;
  form = nullptr;
  EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);
}

// ---- Palette ----

TEST_F(DXDrawTest, PaletteKeepsTheSystemColoursUnlessAllowedAll) {
  TColorTable table;
  table.fill(RGBQUAD{1, 2, 3, 0});
  TPaletteEntryTable system;
  ReadSystemPalette(system);
  TPaletteEntryTable entries;
  ColorTableToPaletteEntries(table, false, entries);
  for (int i = 0; i < 256; ++i) {
    const bool reserved = i < 10 || i >= 246;
    const PALETTEENTRY expected = reserved ? system[i] : PALETTEENTRY{3, 2, 1, 0};
    EXPECT_EQ(entries[i].peRed, expected.peRed) << i;
    EXPECT_EQ(entries[i].peBlue, expected.peBlue) << i;
    EXPECT_EQ(entries[i].peFlags, 0x40) << i;
  }
  ColorTableToPaletteEntries(table, true, entries);
  EXPECT_EQ(entries[0].peRed, 3);
  EXPECT_EQ(entries[255].peBlue, 1);

  MakeDisplay({doFullScreen, doAllowPalette256});
  dx->Initialize();
  ASSERT_NE(dx->Palette()->IPalette(), nullptr);
  dx->ColorTable().fill(RGBQUAD{9, 8, 7, 0});
  dx->SetColorTable(dx->ColorTable());
  PALETTEENTRY first{};
  ASSERT_EQ(dx->Palette()->IPalette()->GetEntries(0, 0, 1, &first), DD_OK);
  EXPECT_EQ(first.peRed, 7);
  EXPECT_EQ(first.peBlue, 9);
}

// ---- Driver choice and the stream ----

TEST_F(DXDrawTest, DriverIsCopiedWhenReadable) {
  MakeDisplay(Windowed);
  const GUID guid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  dx->SetDriver(&guid);
  ASSERT_NE(dx->Driver(), nullptr);
  EXPECT_NE(dx->Driver(), &guid);
  EXPECT_EQ(dx->Driver()->Data1, 1u);
  dx->SetDriver(nullptr);
  EXPECT_EQ(dx->Driver(), nullptr);
}

TEST_F(DXDrawTest, PublishesItsSettings) {
  const TPropInfo* surfaceWidth = GetPropInfo(&TDXDraw::StaticClassInfo(), "SurfaceWidth");
  ASSERT_NE(surfaceWidth, nullptr);
  EXPECT_EQ(surfaceWidth->DefaultValue, 640);
  const TPropInfo* options = GetPropInfo(&TDXDraw::StaticClassInfo(), "Options");
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(options->Kind(), tkSet);
  EXPECT_FALSE(options->DefaultValue.has_value());  // always stored
  for (const char* event : {"OnFinalize", "OnFinalizeSurface", "OnInitialize", "OnInitializeSurface",
                            "OnInitializing", "OnRestoreSurface"})
    EXPECT_EQ(GetPropInfo(&TDXDraw::StaticClassInfo(), event)->Kind(), tkMethod) << event;

  MakeDisplay(Windowed);
  SetOrdProp(dx, "Options", TDXDrawOptions{doFullScreen, doFlip}.Bits());
  EXPECT_EQ(dx->EffectiveOptions(), (TDXDrawOptions{doFullScreen, doFlip}));
  const TPropInfo* display = GetPropInfo(dx, "Display");
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(std::get<TObject*>(display->Get(dx)), dx->Display());
}

// ---- Stored settings ----

namespace {

// A form that reads its display from stored settings, as the game's main form does.
class TDisplayForm : public TForm {
  ORVALIS_CLASS(TDisplayForm, TForm)

  using TForm::TForm;
  void Load(std::string_view Text) { ReadFormText(Text); }
  void DisplayInitialized(TObject*) { ++Initializations; }
  void DisplayFinalized(TObject*) { ++Finalizations; }

  TDXDraw* DXDraw = nullptr;
  Integer Initializations = 0;
  Integer Finalizations = 0;
};

constexpr const char* kStoredDisplay = R"(
object DisplayForm: TDisplayForm
  BorderStyle = bsNone
  ClientHeight = 281
  ClientWidth = 480
  object DXDraw: TDXDraw
    Left = 0
    Top = 0
    Width = 480
    Height = 281
    AutoInitialize = True
    AutoSize = True
    Color = clBlack
    Display.BitCount = 32
    Display.FixedBitCount = True
    Display.FixedRatio = True
    Display.FixedSize = False
    Display.Height = 768
    Display.Width = 1024
    Options = [doFullScreen, doAllowReboot, doWaitVBlank, doCenter, do3D, doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver]
    SurfaceHeight = 281
    SurfaceWidth = 480
    OnFinalize = DisplayFinalized
    OnInitialize = DisplayInitialized
    Align = alClient
  end
end
)";

}  // namespace

const TClassInfo& TDisplayForm::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDisplayForm>(
      {},
      {PublishedMethod<&TDisplayForm::DisplayInitialized>("DisplayInitialized"),
       PublishedMethod<&TDisplayForm::DisplayFinalized>("DisplayFinalized")},
      {PublishedField("DXDraw", &TDisplayForm::DXDraw)});
  return info;
}

TEST_F(DXDrawTest, StoredSettingsMakeADisplayThatStartsOnTheFirstShowing) {
  RegisterClass(&TDXDraw::StaticClassInfo());
  auto* stored = new TDisplayForm(Application);
  stored->Load(kStoredDisplay);
  TDXDraw* display = stored->DXDraw;
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(display->Form(), stored);
  EXPECT_FALSE(display->Initialized());  // loading does not initialise on a form
  EXPECT_EQ(display->Display()->Width(), 1024);
  EXPECT_EQ(display->Display()->BitCount(), 32);
  EXPECT_FALSE(display->Display()->FixedSize());
  EXPECT_EQ(display->Options(), GameOptions);
  EXPECT_EQ(display->SurfaceWidth(), 480);

  stored->Show();
  EXPECT_TRUE(display->Initialized());
  EXPECT_EQ(stored->Initializations, 1);
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1024, 768, 32}));
  // The mode change stretches the borderless form over the screen, and the back surface follows
  // the control that fills it.
  EXPECT_EQ(display->Surface()->Width(), 1024);
  EXPECT_EQ(display->Surface()->Height(), 768);

  display->Display()->SetWidth(1280);
  display->Display()->SetHeight(1024);
  display->Initialize();
  EXPECT_EQ(stored->Finalizations, 1);
  EXPECT_EQ(stored->Initializations, 2);
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1280, 1024, 32}));
  // The application frees the form (and so the display) at the end, while the form is whole.
  UnRegisterClass(&TDXDraw::StaticClassInfo());
}

// ---- The class library's control properties ----

namespace {

// A form with a handler for every kind of event a display control publishes.
class TControlEventsForm : public TForm {
  ORVALIS_CLASS(TControlEventsForm, TForm)

  using TForm::TForm;
  void Load(std::string_view Text) { ReadFormText(Text); }
  void Notified(TObject*) {}
  void Dropped(TObject*, TObject*, Integer, Integer) {}
  void DraggedOver(TObject*, TObject*, Integer, Integer, TDragState, bool&) {}
  void DragStarted(TObject*, TDragObject*&) {}
  void KeyChanged(TObject*, Word&, TShiftState) {}
  void KeyPressed(TObject*, char&) {}
  void MouseChanged(TObject*, TMouseButton, TShiftState, Integer, Integer) {}
  void MouseMoved(TObject*, TShiftState, Integer, Integer) {}

  TPopupMenu* Menu = nullptr;
  TDXDraw* DXDraw = nullptr;
};

constexpr const char* kStoredControlProperties = R"(
object ControlEventsForm: TControlEventsForm
  object Menu: TPopupMenu
  end
  object DXDraw: TDXDraw
    Left = 0
    Top = 0
    Width = 300
    Height = 500
    Anchors = [akLeft, akTop, akRight]
    AutoInitialize = False
    Constraints.MaxHeight = 400
    Constraints.MinWidth = 50
    DragCursor = crHandPoint
    DragMode = dmAutomatic
    ParentShowHint = False
    PopupMenu = Menu
    ShowHint = True
    TabOrder = 2
    TabStop = True
    OnClick = Notified
    OnDblClick = Notified
    OnDragDrop = Dropped
    OnDragOver = DraggedOver
    OnEndDrag = Dropped
    OnEnter = Notified
    OnExit = Notified
    OnKeyDown = KeyChanged
    OnKeyPress = KeyPressed
    OnKeyUp = KeyChanged
    OnMouseDown = MouseChanged
    OnMouseMove = MouseMoved
    OnMouseUp = MouseChanged
    OnStartDrag = DragStarted
  end
end
)";

}  // namespace

const TClassInfo& TControlEventsForm::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TControlEventsForm>(
      {},
      {PublishedMethod<&TControlEventsForm::Notified>("Notified"),
       PublishedMethod<&TControlEventsForm::Dropped>("Dropped"),
       PublishedMethod<&TControlEventsForm::DraggedOver>("DraggedOver"),
       PublishedMethod<&TControlEventsForm::DragStarted>("DragStarted"),
       PublishedMethod<&TControlEventsForm::KeyChanged>("KeyChanged"),
       PublishedMethod<&TControlEventsForm::KeyPressed>("KeyPressed"),
       PublishedMethod<&TControlEventsForm::MouseChanged>("MouseChanged"),
       PublishedMethod<&TControlEventsForm::MouseMoved>("MouseMoved")},
      {PublishedField("Menu", &TControlEventsForm::Menu), PublishedField("DXDraw", &TControlEventsForm::DXDraw)});
  return info;
}

TEST_F(DXDrawTest, StoredControlPropertiesLoadAndWriteBack) {
  RegisterClass(&TDXDraw::StaticClassInfo());
  RegisterClass(&TPopupMenu::StaticClassInfo());
  auto expectStored = [](TControlEventsForm* form) {
    TDXDraw* display = form->DXDraw;
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->Anchors(), (TAnchors{akLeft, akTop, akRight}));
    EXPECT_EQ(display->Constraints()->MaxHeight(), 400);
    EXPECT_EQ(display->Height(), 400) << "the constraints limit the size";
    EXPECT_EQ(display->Constraints()->MinWidth(), 50);
    EXPECT_EQ(display->DragCursor(), crHandPoint);
    EXPECT_EQ(display->DragMode(), dmAutomatic);
    EXPECT_FALSE(display->ParentShowHint());
    EXPECT_TRUE(display->ShowHint());
    EXPECT_EQ(display->PopupMenu(), form->Menu);
    EXPECT_EQ(display->TabOrder(), 2);
    EXPECT_TRUE(display->TabStop());
    EXPECT_TRUE(display->OnClick == MakeEvent<&TControlEventsForm::Notified>(form));
    EXPECT_TRUE(display->OnDblClick == MakeEvent<&TControlEventsForm::Notified>(form));
    EXPECT_TRUE(display->OnDragDrop == MakeEvent<&TControlEventsForm::Dropped>(form));
    EXPECT_TRUE(display->OnDragOver == MakeEvent<&TControlEventsForm::DraggedOver>(form));
    EXPECT_TRUE(display->OnEndDrag == MakeEvent<&TControlEventsForm::Dropped>(form));
    EXPECT_TRUE(display->OnEnter == MakeEvent<&TControlEventsForm::Notified>(form));
    EXPECT_TRUE(display->OnExit == MakeEvent<&TControlEventsForm::Notified>(form));
    EXPECT_TRUE(display->OnKeyDown == MakeEvent<&TControlEventsForm::KeyChanged>(form));
    EXPECT_TRUE(display->OnKeyPress == MakeEvent<&TControlEventsForm::KeyPressed>(form));
    EXPECT_TRUE(display->OnKeyUp == MakeEvent<&TControlEventsForm::KeyChanged>(form));
    EXPECT_TRUE(display->OnMouseDown == MakeEvent<&TControlEventsForm::MouseChanged>(form));
    EXPECT_TRUE(display->OnMouseMove == MakeEvent<&TControlEventsForm::MouseMoved>(form));
    EXPECT_TRUE(display->OnMouseUp == MakeEvent<&TControlEventsForm::MouseChanged>(form));
    EXPECT_TRUE(display->OnStartDrag == MakeEvent<&TControlEventsForm::DragStarted>(form));
  };
  auto* stored = new TControlEventsForm(Application);
  stored->Load(kStoredControlProperties);
  expectStored(stored);

  TMemoryStream written;
  WriteComponent(written, stored);
  delete stored;  // the copy takes its name
  auto* reread = new TControlEventsForm(Application);
  written.SetPosition(0);
  ReadComponent(written, reread);
  expectStored(reread);
  TMemoryStream rewritten;
  WriteComponent(rewritten, reread);
  ASSERT_EQ(rewritten.Size(), written.Size());
  EXPECT_EQ(std::memcmp(rewritten.Memory(), written.Memory(), static_cast<size_t>(written.Size())), 0);

  // The reference goes with the menu; untouched settings are not written.
  delete reread->Menu;
  EXPECT_EQ(reread->DXDraw->PopupMenu(), nullptr);
  auto* plain = new TDXDraw(Application);
  EXPECT_EQ(plain->DragCursor(), crDrag);
  EXPECT_TRUE(plain->ParentShowHint());
  EXPECT_FALSE(GetPropInfo(plain, "ShowHint")->IsStored(plain));
  EXPECT_EQ(plain->TabOrder(), -1);
  UnRegisterClass(&TPopupMenu::StaticClassInfo());
  UnRegisterClass(&TDXDraw::StaticClassInfo());
}
