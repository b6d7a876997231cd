#include "display/DXTimer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TestControl.h"
#include "runtime/ComponentStream.h"
#include "runtime/Streams.h"

namespace {

// Records every event of the timer and lets a test act from inside its handlers.
class Recorder : public TObject {
 public:
  std::vector<std::string> Log;
  std::vector<Integer> Lags;
  std::vector<Integer> FrameRatesSeen;
  bool IdleAttachedDuringActivate = false;
  uint32_t ActivateTakesMs = 0;
  bool ThrowOnTimer = false;

  void Timer(TObject* Sender, Integer LagCount) {
    Lags.push_back(LagCount);
    FrameRatesSeen.push_back(static_cast<TCustomDXTimer*>(Sender)->FrameRate());
    if (ThrowOnTimer) throw Exception("frame failed");
  }
  void Activate(TObject*) {
    Log.push_back("activate");
    IdleAttachedDuringActivate = Application->OnIdle.Assigned();
    TestAdvanceClock(ActivateTakesMs);
  }
  void Deactivate(TObject*) { Log.push_back("deactivate"); }

  void Attach(TCustomDXTimer& timer) {
    timer.OnTimer = MakeEvent<&Recorder::Timer>(this);
    timer.OnActivate = MakeEvent<&Recorder::Activate>(this);
    timer.OnDeactivate = MakeEvent<&Recorder::Deactivate>(this);
  }
};

class DXTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestSetManualClock(true);
    TestSetClock(50000);
    FormsUnitInitialize();
  }
  void TearDown() override {
    FormsUnitFinalize();
    TestResetPlatform();
  }

  // One round of the application's idle processing; returns its done flag.
  static bool Idle() {
    bool done = true;
    if (Application->OnIdle) Application->OnIdle(Application, done);
    return done;
  }
  // The notification the application sends its window when the program is (de)activated.
  static void Notify(UINT message) { SendMessageA(Application->Handle(), message, 0, 0); }

  // A timer that runs regardless of activation, started as a loaded form starts it.
  TDXTimer* StartedTimer(Integer interval) {
    auto* timer = new TDXTimer(nullptr);
    Timers.push_back(timer);
    recorder.Attach(*timer);
    timer->SetActiveOnly(false);
    timer->SetInterval(interval);
    timer->Loaded();
    return timer;
  }

  Recorder recorder;
  std::vector<TDXTimer*> Timers;
  void FreeTimers() {
    for (TDXTimer* timer : Timers) delete timer;
    Timers.clear();
  }
};

}  // namespace

TEST_F(DXTimerTest, StartsEnabledActiveOnlyWithASecondIntervalButIdle) {
  TDXTimer timer(nullptr);
  EXPECT_EQ(timer.ClassName(), "TDXTimer");
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(timer.ActiveOnly());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_EQ(timer.FrameRate(), 0);
  EXPECT_FALSE(timer.Initialized());
  EXPECT_FALSE(Application->OnIdle.Assigned());
  timer.SetInterval(-5);
  EXPECT_EQ(timer.Interval(), 0u);
  timer.SetInterval(static_cast<Integer>(0x80000000u));  // a stored 2^31 arrives negative
  EXPECT_EQ(timer.Interval(), 0u);
}

TEST_F(DXTimerTest, LagCountsWholeIntervalsSinceTheLastTick) {
  TDXTimer* timer = StartedTimer(33);
  EXPECT_TRUE(timer->Initialized());
  TestAdvanceClock(100);
  EXPECT_FALSE(Idle());
  TestAdvanceClock(32);
  EXPECT_FALSE(Idle());  // too early: no tick, but asked again at once
  TestAdvanceClock(1);
  Idle();
  TestAdvanceClock(65);
  Idle();
  EXPECT_EQ(recorder.Lags, (std::vector<Integer>{3, 1, 1}));
  FreeTimers();
}

TEST_F(DXTimerTest, IntervalZeroTicksAtEveryIdleCall) {
  StartedTimer(0);
  Idle();
  Idle();
  TestAdvanceClock(5);
  Idle();
  EXPECT_EQ(recorder.Lags, (std::vector<Integer>{1, 1, 5}));
  FreeTimers();
}

TEST_F(DXTimerTest, ElapsedTimeIsTakenModuloTheClockWrap) {
  TestSetClock(0xFFFFFFF0u);
  StartedTimer(33);
  TestAdvanceClock(40);  // the clock passes 2^32 and starts again near 0
  Idle();
  EXPECT_EQ(recorder.Lags, (std::vector<Integer>{1}));
  FreeTimers();
}

TEST_F(DXTimerTest, FrameRateIsMeasuredOverWindowsOfASecond) {
  TDXTimer* timer = StartedTimer(33);
  for (int tick = 1; tick <= 30; ++tick) {
    TestAdvanceClock(33);
    Idle();
  }
  EXPECT_EQ(timer->FrameRate(), 0);  // 990 ms: the window is still open
  TestAdvanceClock(33);
  Idle();
  // 31 ticks in 1023 ms, set before the same tick's timer event runs.
  EXPECT_EQ(timer->FrameRate(), 30);
  EXPECT_EQ(recorder.FrameRatesSeen.back(), 30);
  EXPECT_EQ(recorder.FrameRatesSeen[29], 0);
  FreeTimers();

  // 3 ticks in 1200 ms is 2.5 frames a second, rounded to the even 2.
  TDXTimer* slow = StartedTimer(400);
  for (int tick = 0; tick < 3; ++tick) {
    TestAdvanceClock(400);
    Idle();
  }
  EXPECT_EQ(slow->FrameRate(), 2);
  FreeTimers();
}

TEST_F(DXTimerTest, EnabledWhileLoadingOnlyStoresTheValue) {
  TDXTimer timer(nullptr);
  timer.SetActiveOnly(false);
  timer.SetEnabled(false);
  timer.SetLoading(true);
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Initialized());
  timer.SetLoading(false);
  timer.Loaded();
  EXPECT_TRUE(timer.Initialized());
  EXPECT_TRUE(Application->OnIdle.Assigned());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Initialized());
  EXPECT_FALSE(Application->OnIdle.Assigned());
  timer.SetEnabled(true);  // outside loading the setter starts it at once
  EXPECT_TRUE(timer.Initialized());

  TDXTimer designed(nullptr);
  designed.SetDesigning(true);
  designed.Loaded();
  EXPECT_FALSE(designed.Initialized());
}

TEST_F(DXTimerTest, SettingEnabledAgainDoesNotRestartTheClockReadings) {
  TDXTimer* timer = StartedTimer(33);
  TestAdvanceClock(20);
  timer->SetEnabled(true);
  TestAdvanceClock(13);
  Idle();
  EXPECT_EQ(recorder.Lags.size(), 1u);
  FreeTimers();
}

TEST_F(DXTimerTest, ActivationEventsFireWhetherOrNotTheTimerRuns) {
  TDXTimer timer(nullptr);
  recorder.Attach(timer);
  timer.SetEnabled(false);
  Notify(CM_DEACTIVATE);
  Notify(CM_ACTIVATE);
  Notify(CM_BASE + 7);
  EXPECT_EQ(recorder.Log, (std::vector<std::string>{"deactivate", "activate"}));
  EXPECT_FALSE(Application->OnIdle.Assigned());
}

TEST_F(DXTimerTest, ActiveOnlyTimerRestsWhileInactiveAndResumesAfterTheActivateEvent) {
  TDXTimer timer(nullptr);
  recorder.Attach(timer);
  timer.SetInterval(33);
  timer.Loaded();
  EXPECT_TRUE(timer.Initialized());
  Notify(CM_DEACTIVATE);
  EXPECT_FALSE(Application->OnIdle.Assigned());
  TestAdvanceClock(5000);
  recorder.ActivateTakesMs = 500;  // a long activation handler (a new game being built)
  Notify(CM_ACTIVATE);
  EXPECT_FALSE(recorder.IdleAttachedDuringActivate);
  EXPECT_TRUE(Application->OnIdle.Assigned());
  TestAdvanceClock(33);
  Idle();
  // Neither the inactive time nor the handler's time counts as lag.
  EXPECT_EQ(recorder.Lags, (std::vector<Integer>{1}));
}

TEST_F(DXTimerTest, TurningOnActiveOnlyWhileInactiveSuspends) {
  TDXTimer* timer = StartedTimer(33);
  ASSERT_FALSE(Application->Active());
  EXPECT_TRUE(Application->OnIdle.Assigned());
  timer->SetActiveOnly(true);
  EXPECT_FALSE(Application->OnIdle.Assigned());
  EXPECT_TRUE(timer->Initialized());
  FreeTimers();
}

TEST_F(DXTimerTest, AnExceptionFromTheTimerEventLeavesTheTickCounted) {
  StartedTimer(33);
  recorder.ThrowOnTimer = true;
  TestAdvanceClock(40);
  EXPECT_THROW(Idle(), Exception);
  recorder.ThrowOnTimer = false;
  TestAdvanceClock(32);
  Idle();
  EXPECT_EQ(recorder.Lags.size(), 1u);  // the failed tick's reading stands: 32 ms is too early
  TestAdvanceClock(1);
  Idle();
  EXPECT_EQ(recorder.Lags.size(), 2u);
  FreeTimers();
}

TEST_F(DXTimerTest, DestructionStopsTheTimerAndStopsWatchingTheApplication) {
  StartedTimer(33);
  FreeTimers();
  EXPECT_FALSE(Application->OnIdle.Assigned());
  Notify(CM_ACTIVATE);  // reaches no freed timer
  EXPECT_TRUE(recorder.Log.empty());
}

TEST_F(DXTimerTest, AStoredTimerCarriesEveryValueAndStartsWhenLoaded) {
  TDXTimer stored(nullptr);  // all at their initial values: still written
  TMemoryStream stream;
  WriteComponent(stream, &stored);

  TDXTimer loaded(nullptr);
  loaded.SetEnabled(false);
  loaded.SetActiveOnly(false);
  loaded.SetInterval(5);
  stream.SetPosition(0);
  ReadComponent(stream, &loaded);
  EXPECT_TRUE(loaded.Enabled());
  EXPECT_TRUE(loaded.ActiveOnly());
  EXPECT_EQ(loaded.Interval(), 1000u);
  EXPECT_TRUE(loaded.Initialized());  // started by Loaded, resting while the program is inactive
  EXPECT_FALSE(Application->OnIdle.Assigned());
}
