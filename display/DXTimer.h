// The frame timer: drives a game loop from the application's idle processing instead of an
// operating-system timer. Whenever at least Interval milliseconds of the multimedia clock have
// passed it fires OnTimer once, with the number of intervals that went by (the lag); it measures
// the frame rate, reports the application's activation and deactivation, and with ActiveOnly
// ticks only while the application is active.
#pragma once

#include "runtime/Classes.h"
#include "runtime/Controls.h"
#include "runtime/Forms.h"

// OnTimer: the timer and the number of intervals since the last tick (at least 1).
using TDXTimerEvent = TEvent<TObject*, Integer>;

class TCustomDXTimer : public TComponent {
  ORVALIS_CLASS(TCustomDXTimer, TComponent)

  // Enabled, ActiveOnly and an interval of 1000 ms; watches the application's window for the
  // activation notifications from now until destruction.
  explicit TCustomDXTimer(TComponent* AOwner);
  ~TCustomDXTimer() override;

  bool ActiveOnly() const { return FActiveOnly; }
  void SetActiveOnly(bool Value);
  bool Enabled() const { return FEnabled; }
  // Starts or stops the timer, except while the component is being loaded: Loaded starts it.
  void SetEnabled(bool Value);
  Cardinal Interval() const { return FInterval; }
  // Negative values become 0: a tick at every idle call.
  void SetInterval(Integer Value);
  // Ticks per second over the last measuring window of at least a second; 0 before the first.
  Integer FrameRate() const { return FFrameRate; }
  bool Initialized() const { return FInitialized; }

  void Loaded() override;

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TDXTimerEvent OnTimer;

 protected:
  virtual void DoActivate();
  virtual void DoDeactivate();
  virtual void DoTimer(Integer LagCount);

 private:
  void Initialize();
  void Finalize();
  // Restarts both clock readings and takes over the application's idle handler.
  void Resume();
  void Suspend();
  void IdleTick(TObject* Sender, bool& Done);
  void MainWindowHook(TMessage& Message, bool& Handled);
  TWindowHook Hook() { return MakeEvent<&TCustomDXTimer::MainWindowHook>(this); }

  bool FActiveOnly = false;
  bool FEnabled = false;
  Integer FFrameRate = 0;
  bool FInitialized = false;
  Cardinal FInterval = 0;
  Cardinal FIntervalDivisor = 1;  // the interval, but at least 1
  Integer FFrameCount = 0;        // ticks in the current measuring window
  Cardinal FLastTickTime = 0;
  Cardinal FWindowStartTime = 0;
};

class TDXTimer : public TCustomDXTimer {
  ORVALIS_CLASS(TDXTimer, TCustomDXTimer)

  using TCustomDXTimer::TCustomDXTimer;
};
