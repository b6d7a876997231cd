// One force-feedback effect made on a device: its parameters, download and playing state. What it
// puts on the device, starts, stops and takes off again goes to the force-feedback output too.
#pragma once

#include <vector>

#include "platform/dinput/DInputTestControl.h"
#include "platform/dinput/ForceFeedbackOutput.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/CountedObject.h"

class InputDevice;

// An effect a force-feedback device offers.
struct EffectKind {
  const GUID* guid;
  DWORD effectType;  // DIEFT_* kind and attributes
  const char* name;
};
// The effects every force-feedback joystick offers, in enumeration order.
const std::vector<EffectKind>& ForceFeedbackEffectKinds();

class DeviceEffect final : public CountedObject<IDirectInputEffect> {
 public:
  // Holds a reference to its device.
  DeviceEffect(InputDevice* device, const EffectKind& kind);

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface(iid, IID_IDirectInputEffect, object);
  }

  HRESULT SetParameters(const DIEFFECT* effect, DWORD flags) override;
  HRESULT Start(DWORD iterations, DWORD flags) override;
  HRESULT Stop() override;
  HRESULT GetEffectStatus(DWORD* status) override;
  HRESULT Download() override;
  HRESULT Unload() override;

  // The parameters given at creation; no refusal applies.
  HRESULT Apply(const DIEFFECT* effect, DWORD flags);
  // The device stopped playing this effect (Stop or a solo start).
  void Halt();
  // The device's acquisition ended: the effect is stopped and no longer on the device.
  void DeviceReleased();
  DInputEffectState Describe() const;

 private:
  using Parameters = EffectParameters;

  ~DeviceEffect() override;

  HRESULT Validate(const DIEFFECT& effect, DWORD flags, Parameters& next) const;
  // Puts the parameters onto the device (or refreshes them there) and tells the output.
  void PutOnDevice();
  // Takes the effect off the device, stopped.
  void TakeOffDevice();
  HRESULT StartPlaying(DWORD iterations, DWORD flags);
  bool Complete() const;
  bool PlayingNow() const;

  ComPtr<InputDevice> device_;
  EffectKind kind_;
  Parameters parameters_;
  bool downloaded_ = false;
  bool started_ = false;
  DWORD startTime_ = 0;
  DWORD iterations_ = 0;
  uint32_t starts_ = 0;
  const uint32_t serial_;  // how the force-feedback output knows this effect
};
