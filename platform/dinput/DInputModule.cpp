// The entry point of "DInput.dll", its offer in the kernel's module table, and the test controls.
#include "platform/dinput/DInputState.h"
#include "platform/dinput/DeviceEffect.h"
#include "platform/dinput/DirectInputObject.h"
#include "platform/dinput/InputDevice.h"
#include "platform/kernel/Modules.h"

namespace {

// The versions of DirectInput that were released up to this one.
bool IsReleasedVersion(DWORD version) {
  for (DWORD released : {0x0300u, 0x0500u, 0x050Au, 0x05B2u, 0x0602u, 0x061Au, 0x0700u})
    if (version == released) return true;
  return false;
}

}  // namespace

// The calling module's instance only identified the caller to the original; nothing here needs it.
HRESULT DirectInputCreateA(HINSTANCE, DWORD version, IDirectInput** directInput, IUnknown* outer) {
  if (!directInput) return DIERR_INVALIDPARAM;
  *directInput = nullptr;
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::DirectInputCreate))
    return refused;
  if (outer) return DIERR_NOAGGREGATION;
  if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (!IsReleasedVersion(version)) return DIERR_BETADIRECTINPUTVERSION;
  *directInput = new DirectInputObject();
  return DI_OK;
}

void RegisterDirectInputModule() {
  RegisterBuiltinModule("DInput.dll",
                        {{"DirectInputCreateA", reinterpret_cast<FARPROC>(&DirectInputCreateA)}});
}

void TestDInputRefuseNext(DInputCall call, HRESULT result, uint32_t times) {
  if (times == 0) {
    DInputState::Get().refusals.erase(call);
    return;
  }
  DInputState::Get().refusals[call] = {result, times};
}

void TestDInputSetForceFeedback(bool on) { DInputState::Get().forceFeedback = on; }

void TestDInputLoseDevices() {
  for (InputDevice* device : DInputState::Get().devices) device->LoseInput();
}

uint32_t TestDInputLiveInstances() { return DInputState::Get().liveInstances; }

std::vector<DInputDeviceState> TestDInputDevices() {
  std::vector<DInputDeviceState> devices;
  for (const InputDevice* device : DInputState::Get().devices)
    devices.push_back(device->Describe());
  return devices;
}

std::vector<DInputEffectState> TestDInputEffects() {
  std::vector<DInputEffectState> effects;
  for (const DeviceEffect* effect : DInputState::Get().effects)
    effects.push_back(effect->Describe());
  return effects;
}

void TestDInputReset() {
  DInputState& state = DInputState::Get();
  state.refusals.clear();
  state.forceFeedback = false;
  TestDInputRecordForceFeedback(false);
}
