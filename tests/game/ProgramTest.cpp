#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "GameTestSupport.h"
#include "game/GameState.h"
#include "game/Program.h"
#include "input/Joystick.h"
#include "input/Keyboard.h"
#include "platform/host/Platform.h"

// The build of the program these tests stand for.
const Integer EnemyShipCount = 100;

namespace {

using ProgramRun = GameTest;

// Stands in for the user: looks at the program once it has become active, then closes its
// window.
class TUser : public TObject {
 public:
  TUser() { Application->HookMainWindow(MakeEvent<&TUser::Look>(this)); }
  ~TUser() override { Application->UnhookMainWindow(MakeEvent<&TUser::Look>(this)); }

  bool Looked = false;
  bool MainFormShowing = false;
  bool ReadconfigShowing = true;
  bool DisplayInitialized = false;
  bool TimerEnabled = false;
  TCursor DisplayCursor = crDefault;

 private:
  void Look(TMessage& Message, bool&) {
    if (Message.Msg != CM_ACTIVATE || Looked) return;
    Looked = true;
    MainFormShowing = OrvalisMain->Showing();
    ReadconfigShowing = Readconfig->Showing();
    DisplayInitialized = OrvalisMain->DXDraw->Initialized();
    TimerEnabled = OrvalisMain->DXTimer1->Enabled();
    DisplayCursor = OrvalisMain->DXDraw->Cursor();
    TestCloseMainWindow();
  }
};

// The program run as a script runs it: on the headless host with a frame limit, in a copy of
// the default assets that `spoil` damages. Answers what the run wrote to standard error.
std::string RunHeadlessWithFrameLimit(uint32_t frames, void (*spoil)()) {
  ScratchFolder folder;
  std::filesystem::copy(ORVALIS_ASSETS_DIR, folder.Path(), std::filesystem::copy_options::recursive);
  spoil();
  setenv("ORVALIS_HOST", "headless", 1);
  setenv("ORVALIS_HEADLESS_FRAMES", std::to_string(frames).c_str(), 1);
  const bool started = PlatformStartup();
  unsetenv("ORVALIS_HEADLESS_FRAMES");
  if (!started) return "no host";
  testing::internal::CaptureStderr();
  ProgramMain();
  std::string said = testing::internal::GetCapturedStderr();
  PlatformShutdown();
  return said;
}

// Such a game presents nothing, yet a scripted run must come to an end: the limit also counts
// the timer's ticks (and the idle waits) that go by without a frame.
TEST_F(ProgramRun, AHeadlessRunWithAFrameLimitEndsWhenEveryFrameFailsToDraw) {
  const std::string said = RunHeadlessWithFrameLimit(5, [] {
    std::filesystem::resize_file("gfx/star1.dxg", 100);  // the stars' pictures cannot load
  });
  EXPECT_TRUE(Application->Terminated());
  EXPECT_LT(ScreenFrameCount(), 5u);
  EXPECT_NE(said.find("Listenindex"), std::string::npos) << said;
}

TEST_F(ProgramRun, AHeadlessRunWithAFrameLimitEndsWhenTheLayoutCannotBeSet) {
  const std::string said = RunHeadlessWithFrameLimit(5, [] {
    std::ofstream("aufloesung.cfg") << "7\n";  // no such layout: the display cannot start
  });
  EXPECT_TRUE(Application->Terminated());
  EXPECT_LT(ScreenFrameCount(), 5u);
  EXPECT_NE(said.find("Display mode cannot be changed"), std::string::npos) << said;
}

TEST_F(ProgramRun, StartsOnTheFirstShowingAndEndsWhenTheMainFormCloses) {
  TUser user;
  ProgramMain();

  EXPECT_TRUE(Application->Terminated());
  ASSERT_TRUE(user.Looked) << "the program never became active";
  EXPECT_TRUE(user.MainFormShowing);
  EXPECT_FALSE(user.ReadconfigShowing) << "the second form is never shown";
  // The first showing initialised the display, whose initialise event started the timer; the
  // activation (the timer's activate event, which ran first) hid the pointer.
  EXPECT_TRUE(user.DisplayInitialized);
  EXPECT_TRUE(user.TimerEnabled);
  EXPECT_EQ(user.DisplayCursor, crNone);
  EXPECT_EQ(TestDDrawCurrentDisplayMode(), (DDrawDisplayMode{1024, 768, 32}));
  ASSERT_NE(OrvalisMain, nullptr);
  EXPECT_EQ(Application->MainForm(), OrvalisMain);
  EXPECT_EQ(GetWindowLongA(OrvalisMain->Handle(), GWL_STYLE) & WS_CAPTION, 0);
}

TEST_F(ProgramRun, TheEndFreesTheLibrariesTheLoaderBoundAfterTheInputLayer) {
  {
    TUser user;
    ProgramMain();
    ASSERT_TRUE(user.Looked);
  }
  // Held once from the start and once by the loader, which bound DirectInput for the input
  // component and DirectDraw for the display.
  EXPECT_EQ(ModuleReferenceCount("DInput.dll"), 2);
  EXPECT_EQ(ModuleReferenceCount("DDraw.dll"), 2);
  EndComponentLayer();
  EXPECT_EQ(ModuleReferenceCount("DInput.dll"), 0);
  EXPECT_EQ(ModuleReferenceCount("DDraw.dll"), 0);
  EXPECT_EQ(TestDInputLiveInstances(), 0u);
}

TEST_F(ProgramRun, StoredSettingsMakeTheDisplayAndTheFrameTimer) {
  Application->CreateForm(OrvalisMain);
  EXPECT_EQ(OrvalisMain->BorderStyle(), bsNone);
  EXPECT_EQ(OrvalisMain->Caption(), "OrvalisMain");
  EXPECT_EQ(OrvalisMain->ClientWidth(), 480);
  EXPECT_EQ(OrvalisMain->ClientHeight(), 281);

  TDXDraw* display = OrvalisMain->DXDraw;
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(display->Parent(), OrvalisMain);
  EXPECT_EQ(display->Align(), alClient);
  EXPECT_EQ(display->BoundsRect(), Rect(0, 0, 480, 281));
  EXPECT_FALSE(display->Initialized()) << "the display waits for the first showing";
  EXPECT_EQ(display->Display()->Width(), 1024);
  EXPECT_EQ(display->Display()->Height(), 768);
  EXPECT_EQ(display->Display()->BitCount(), 32);
  EXPECT_EQ(display->Options(),
            (TDXDrawOptions{doFullScreen, doAllowReboot, doWaitVBlank, doCenter, do3D,
                            doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver}));
  EXPECT_TRUE(display->AutoInitialize());
  EXPECT_TRUE(display->AutoSize());
  EXPECT_EQ(display->Color(), clBlack);
  EXPECT_TRUE(display->OnInitialize == MakeEvent<&TOrvalisMain::DXDrawInitialize>(OrvalisMain));
  EXPECT_TRUE(display->OnFinalize == MakeEvent<&TOrvalisMain::DXDrawFinalize>(OrvalisMain));
  EXPECT_TRUE(display->OnFinalizeSurface ==
              MakeEvent<&TOrvalisMain::DXDrawFinalizeSurface>(OrvalisMain));

  TDXTimer* timer = OrvalisMain->DXTimer1;
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Owner(), OrvalisMain);
  EXPECT_TRUE(timer->ActiveOnly());
  EXPECT_FALSE(timer->Enabled());
  EXPECT_FALSE(timer->Initialized());
  EXPECT_EQ(timer->Interval(), 33u);
  EXPECT_TRUE(timer->OnActivate == MakeEvent<&TOrvalisMain::DXTimer1Activate>(OrvalisMain));
  EXPECT_TRUE(timer->OnTimer == MakeEvent<&TOrvalisMain::DXTimer1Timer>(OrvalisMain));
  EXPECT_FALSE(timer->OnDeactivate);
}

TEST_F(ProgramRun, StoredSettingsMakeTheInputAndElevenEmptyImageListsOnTheDisplay) {
  Application->CreateForm(OrvalisMain);
  TDXInput* input = OrvalisMain->DXInput1;
  ASSERT_NE(input, nullptr);
  EXPECT_TRUE(input->ActiveOnly());
  EXPECT_TRUE(input->UseDirectInput());
  EXPECT_TRUE(input->Joystick()->Enabled());
  EXPECT_TRUE(input->Joystick()->BindInputStates());
  EXPECT_FALSE(input->Joystick()->ForceFeedback());
  EXPECT_TRUE(input->Joystick()->AutoCenter());
  EXPECT_EQ(input->Joystick()->ID(), 0);
  EXPECT_EQ(input->Joystick()->DeadZoneY(), 50);
  EXPECT_EQ(input->Joystick()->RangeZ(), 1000);
  EXPECT_TRUE(input->Keyboard()->Enabled());
  EXPECT_TRUE(input->Keyboard()->Assigns() == DefaultKeyAssigns());
  EXPECT_FALSE(input->Mouse()->Enabled());
  EXPECT_FALSE(input->Mouse()->BindInputStates());

  const std::vector<TDXImageList*> lists{
      OrvalisMain->Stars1, OrvalisMain->Ship1,     OrvalisMain->Weapons,   OrvalisMain->radar,
      OrvalisMain->abgas,  OrvalisMain->Bonus,     OrvalisMain->Enemy,     OrvalisMain->Explosion,
      OrvalisMain->Energy, OrvalisMain->energy_rahmen, OrvalisMain->enemy_weapons};
  for (TDXImageList* list : lists) {
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Owner(), OrvalisMain);
    EXPECT_EQ(list->DXDraw(), OrvalisMain->DXDraw) << list->Name();
    EXPECT_EQ(list->Items()->Count(), 0) << list->Name();
  }
  EXPECT_EQ(OrvalisMain->Stars1->Name(), "Stars1");
  EXPECT_EQ(OrvalisMain->energy_rahmen->Name(), "energy_rahmen");
}

TEST_F(ProgramRun, SecondFormKeepsItsOwnSettings) {
  Application->CreateForm(OrvalisMain);
  Application->CreateForm(Readconfig);
  EXPECT_EQ(Application->MainForm(), OrvalisMain);
  EXPECT_EQ(Readconfig->Caption(), "Readconfig");
  EXPECT_FALSE(Readconfig->Enabled());
  EXPECT_EQ(Readconfig->ClientWidth(), 237);
  EXPECT_EQ(Readconfig->ClientHeight(), 134);
  EXPECT_FALSE(Readconfig->Visible());
}

TEST_F(ProgramRun, DisplayFinalisingAndInitialisingSwitchTheTimer) {
  ShowMainForm();
  ASSERT_TRUE(Application->Active());
  EXPECT_TRUE(OrvalisMain->DXTimer1->Enabled());
  // Ticking means the timer owns the application's idle processing.
  EXPECT_TRUE(Application->OnIdle.Assigned());
  OrvalisMain->DXDraw->Finalize();
  EXPECT_FALSE(OrvalisMain->DXTimer1->Enabled());
  EXPECT_FALSE(Application->OnIdle.Assigned());
  OrvalisMain->DXDraw->Initialize();
  EXPECT_TRUE(OrvalisMain->DXTimer1->Enabled());
  EXPECT_TRUE(Application->OnIdle.Assigned());
}

TEST_F(ProgramRun, EveryTickRunsExactlyOneFrameHoweverLate) {
  TestSetManualClock(true);
  TestSetClock(1000);
  ShowMainForm();
  NearStarTick = 0;
  // 200 ms late: a lag of six intervals, still one frame.
  TestAdvanceClock(200);
  bool done = true;
  Application->OnIdle(Application, done);
  EXPECT_EQ(NearStarTick, 1);
  EXPECT_FALSE(done) << "the timer keeps idle processing going";
  // Less than one interval later: no frame.
  TestAdvanceClock(20);
  Application->OnIdle(Application, done);
  EXPECT_EQ(NearStarTick, 1);
}

}  // namespace
