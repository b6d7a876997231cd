// What DirectInput keeps across its objects: pending refusals, the force-feedback switch, and the
// live instances, devices and effects (for exclusive access, lost input and the test controls).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/dinput/DInputTestControl.h"

class InputDevice;
class DeviceEffect;

struct DInputState {
  struct Refusal {
    HRESULT result;
    uint32_t remaining;
  };
  std::map<DInputCall, Refusal> refusals;
  bool forceFeedback = false;
  uint32_t liveInstances = 0;
  std::vector<InputDevice*> devices;   // in creation order
  std::vector<DeviceEffect*> effects;  // in creation order

  // The result a refused call answers with, or S_OK when the call may go ahead.
  HRESULT TakeRefusal(DInputCall call);

  static DInputState& Get();
};
