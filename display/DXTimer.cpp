#include "display/DXTimer.h"

#include "platform/mmsystem/MMSystem.h"
#include "platform/user/Screen.h"
#include "runtime/TypInfo.h"

const TClassInfo& TCustomDXTimer::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomDXTimer>();
  return info;
}

// No stored defaults: a stored form always carries every value.
const TClassInfo& TDXTimer::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDXTimer>({
      Property("ActiveOnly", &TDXTimer::ActiveOnly, &TDXTimer::SetActiveOnly),
      Property("Enabled", &TDXTimer::Enabled, &TDXTimer::SetEnabled),
      Property("Interval", &TDXTimer::Interval, &TDXTimer::SetInterval),
      Property("OnActivate", &TDXTimer::OnActivate, &TDXTimer::OnActivate),
      Property("OnDeactivate", &TDXTimer::OnDeactivate, &TDXTimer::OnDeactivate),
      Property("OnTimer", &TDXTimer::OnTimer, &TDXTimer::OnTimer),
  });
  return info;
}

TCustomDXTimer::TCustomDXTimer(TComponent* AOwner) : TComponent(AOwner) {
  FActiveOnly = true;
  FEnabled = true;
  SetInterval(1000);
  Application->HookMainWindow(Hook());
}

TCustomDXTimer::~TCustomDXTimer() {
  Finalize();
  Application->UnhookMainWindow(Hook());
}

void TCustomDXTimer::Loaded() {
  TComponent::Loaded();
  if (!ComponentState().Contains(csDesigning) && FEnabled) Initialize();
}

void TCustomDXTimer::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) return;
  if (FEnabled)
    Initialize();
  else
    Finalize();
}

void TCustomDXTimer::SetInterval(Integer Value) {
  if (static_cast<Cardinal>(Value) == FInterval) return;
  FInterval = static_cast<Cardinal>(std::max(Value, 0));
  FIntervalDivisor = static_cast<Cardinal>(std::max(Value, 1));
}

void TCustomDXTimer::SetActiveOnly(bool Value) {
  if (FActiveOnly == Value) return;
  FActiveOnly = Value;
  if (FActiveOnly && FInitialized && !Application->Active()) Suspend();
}

void TCustomDXTimer::DoActivate() {
  if (OnActivate) OnActivate(this);
}

void TCustomDXTimer::DoDeactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomDXTimer::DoTimer(Integer LagCount) {
  if (OnTimer) OnTimer(this, LagCount);
}

void TCustomDXTimer::Resume() {
  FLastTickTime = timeGetTime();
  FWindowStartTime = timeGetTime();
  Application->OnIdle = MakeEvent<&TCustomDXTimer::IdleTick>(this);
}

void TCustomDXTimer::Suspend() { Application->OnIdle = TIdleEvent(); }

void TCustomDXTimer::Initialize() {
  Finalize();
  if (!FActiveOnly || Application->Active()) Resume();
  FInitialized = true;
}

void TCustomDXTimer::Finalize() {
  if (!FInitialized) return;
  Suspend();
  FInitialized = false;
}

void TCustomDXTimer::IdleTick(TObject*, bool& Done) {
  // Asked again at once rather than after the next message: the loop runs busy while ticking.
  Done = false;
  Cardinal now = timeGetTime();
  Cardinal elapsed = now - FLastTickTime;  // modulo 2^32: the clock's wrap does no harm
  if (elapsed < FInterval) return;
  FLastTickTime = now;
  Integer lagCount = static_cast<Integer>(elapsed / FIntervalDivisor);
  if (lagCount < 1) lagCount = 1;
  ++FFrameCount;
  Integer window = std::max(static_cast<Integer>(now - FWindowStartTime), 1);
  if (window >= 1000) {
    FFrameRate = static_cast<Integer>(Round(static_cast<Extended>(FFrameCount) * 1000 / window));
    FFrameCount = 0;
    FWindowStartTime = now;
  }
  ScreenTimerTick();
  DoTimer(lagCount);
}

void TCustomDXTimer::MainWindowHook(TMessage& Message, bool&) {
  // Never marks the message handled: the application processes it as usual afterwards.
  if (Message.Msg == CM_ACTIVATE) {
    DoActivate();
    if (FInitialized && FActiveOnly) Resume();
  } else if (Message.Msg == CM_DEACTIVATE) {
    DoDeactivate();
    if (FInitialized && FActiveOnly) Suspend();
  }
}
