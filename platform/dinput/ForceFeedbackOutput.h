// Where force-feedback effects are felt. DirectInput keeps every effect's parameters and state
// itself; the installed output (the SDL host's haptic devices) is told whenever an effect goes
// onto a joystick or changes there, starts, stops, or leaves the joystick.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dinput/DInput.h"

// An effect's parameters as an effect object holds them: times in microseconds, levels out of
// DI_FFNOMINALMAX, axes and trigger as the program named them (data-format offsets or object
// types, as `flags` says), the type-specific block byte for byte.
struct EffectParameters {
  DWORD flags = 0;
  DWORD duration = 0;
  DWORD samplePeriod = 0;
  DWORD gain = DI_FFNOMINALMAX;
  DWORD triggerButton = DIEB_NOTRIGGER;
  DWORD triggerRepeatInterval = 0;
  DWORD startDelay = 0;
  std::vector<DWORD> axes;
  std::vector<LONG> direction;
  bool hasEnvelope = false;
  DIENVELOPE envelope{};
  std::vector<BYTE> typeSpecific;
};

// An effect as an output plays it.
struct PlayedEffect {
  GUID kind;  // GUID_ConstantForce, GUID_Sine, GUID_Spring, ...
  EffectParameters parameters;
  // The joystick's own axis (0 X, 1 Y, 2 Z, ...) for each of parameters.axes, in their order.
  std::vector<int32_t> axes;
  // The joystick's own button that triggers the effect; -1 for none.
  int32_t triggerButton = -1;
};

class ForceFeedbackOutput {
 public:
  virtual ~ForceFeedbackOutput() = default;
  // Whether the joystick with that host instance can play effects of this kind; DirectInput
  // offers only those.
  virtual bool Offers(int32_t joystick, const GUID& kind) const = 0;
  // The effect (a number no other effect of this run has) goes onto the joystick with that host
  // instance, or, when it is there already, takes these parameters.
  virtual void Load(uint32_t effect, int32_t joystick, const PlayedEffect& played) = 0;
  // Plays a loaded effect `iterations` times (INFINITE: until stopped).
  virtual void Start(uint32_t effect, DWORD iterations) = 0;
  virtual void Stop(uint32_t effect) = 0;
  // The effect leaves its joystick; a later Load puts it on again.
  virtual void Unload(uint32_t effect) = 0;
};

// Null uninstalls; the output stays owned by the caller.
void InstallForceFeedbackOutput(ForceFeedbackOutput* output);
// What effects are sent to: the recorder while tests record, else the installed output (null:
// effects are felt nowhere).
ForceFeedbackOutput* CurrentForceFeedbackOutput();
