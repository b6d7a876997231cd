#include "platform/dinput/DirectInputObject.h"

#include "platform/dinput/DInputState.h"
#include "platform/dinput/DeviceCatalogue.h"
#include "platform/dinput/InputDevice.h"

DirectInputObject::DirectInputObject() { ++DInputState::Get().liveInstances; }

DirectInputObject::~DirectInputObject() { --DInputState::Get().liveInstances; }

HRESULT DirectInputObject::CreateDevice(REFGUID device, IDirectInputDevice** created,
                                        IUnknown* outer) {
  if (!created) return DIERR_INVALIDPARAM;
  *created = nullptr;
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::CreateDevice))
    return refused;
  if (outer) return DIERR_NOAGGREGATION;
  const std::optional<DeviceIdentity> identity = FindDevice(device);
  if (!identity) return DIERR_DEVICENOTREG;
  *created = new InputDevice(this, *identity);
  return DI_OK;
}

HRESULT DirectInputObject::EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACK callback,
                                       void* context, DWORD flags) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::EnumDevices))
    return refused;
  if (!callback || deviceType > DIDEVTYPE_JOYSTICK ||
      (flags & ~(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK)))
    return DIERR_INVALIDPARAM;
  // Every device offered here is attached, so DIEDFL_ATTACHEDONLY leaves none out.
  for (const DeviceIdentity& device : AttachedDevices()) {
    if (deviceType && GET_DIDEVICE_TYPE(DeviceType(device)) != deviceType) continue;
    if ((flags & DIEDFL_FORCEFEEDBACK) && !HasForceFeedback(device)) continue;
    DIDEVICEINSTANCE instance{};
    instance.dwSize = sizeof(instance);
    DescribeDevice(device, &instance);
    if (callback(&instance, context) == DIENUM_STOP) break;
  }
  return DI_OK;
}
