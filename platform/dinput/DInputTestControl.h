// Knobs of DirectInput for tests: refuse calls, give the joysticks force feedback, take the
// input away from every acquired device, and look at the live devices and effects. Keys,
// pointer, focus and joysticks themselves are the host's (platform/TestControl.h).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dinput/DInput.h"
#include "platform/dinput/ForceFeedbackOutput.h"

// The kinds of call a refusal can be aimed at. QueryDevice2 is QueryInterface for
// IID_IDirectInputDevice2; StartEffect covers SetParameters with DIEP_START too.
enum class DInputCall {
  DirectInputCreate,
  CreateDevice,
  EnumDevices,
  QueryDevice2,
  GetCapabilities,
  EnumObjects,
  SetDataFormat,
  SetCooperativeLevel,
  SetProperty,
  Acquire,
  GetDeviceState,
  Poll,
  EnumEffects,
  CreateEffect,
  SetParameters,
  StartEffect,
};

// The next `times` calls of the kind fail with `result` and do nothing else.
void TestDInputRefuseNext(DInputCall call, HRESULT result = DIERR_GENERIC, uint32_t times = 1);

// Whether attached joysticks report force feedback (off at start).
void TestDInputSetForceFeedback(bool on);

// Every acquired device loses its acquisition, as when another program takes the input: its next
// read reports DIERR_INPUTLOST and it must be acquired again.
void TestDInputLoseDevices();

// DirectInput objects alive now.
uint32_t TestDInputLiveInstances();

struct DInputDeviceState {
  GUID instance;
  DWORD devType;
  int32_t joystick;  // the host joystick's number now; -1 for keyboard, mouse and unplugged ones
  bool acquired;
  DWORD cooperativeLevel;  // DISCL_* as last set, 0 before
  HWND window;
  bool hasDataFormat;
  bool autoCenter;
};

// Device objects alive now, in creation order.
std::vector<DInputDeviceState> TestDInputDevices();

struct DInputEffectState {
  GUID effect;
  int32_t joystick;
  bool downloaded;
  bool playing;
  uint32_t starts;   // successful starts so far
  DWORD iterations;  // of the last start
  // The parameters as the effect holds them: times in microseconds, axes as data-format
  // offsets or object types as given, the type-specific block byte for byte.
  DWORD flags;
  DWORD duration;
  DWORD samplePeriod;
  DWORD gain;
  DWORD triggerButton;
  DWORD triggerRepeatInterval;
  DWORD startDelay;
  std::vector<DWORD> axes;
  std::vector<LONG> direction;
  bool hasEnvelope;
  DIENVELOPE envelope;
  std::vector<BYTE> typeSpecific;
};

// Effect objects alive now, in creation order.
std::vector<DInputEffectState> TestDInputEffects();

// What a force-feedback output is told, one entry per call (see ForceFeedbackOutput).
enum class ForceFeedbackStep { Load, Start, Stop, Unload };
struct ForceFeedbackEvent {
  ForceFeedbackStep step;
  uint32_t effect;
  int32_t joystick;    // the joystick's number at the time; Load only
  DWORD iterations;    // Start only
  PlayedEffect played; // Load only
};

// While on, effects are sent to a recorder instead of the installed output;
// TestDInputForceFeedbackEvents lists what the recorder was told since it was turned on.
void TestDInputRecordForceFeedback(bool on);
std::vector<ForceFeedbackEvent> TestDInputForceFeedbackEvents();

// Back to the state at start: no refusals, no force feedback, no recorder. Meant to run while no
// DirectInput object is alive.
void TestDInputReset();
