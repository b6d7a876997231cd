// The DirectInput object: makes devices and lists the attached ones.
#pragma once

#include "platform/dinput/DInput.h"
#include "platform/kernel/CountedObject.h"

class DirectInputObject final : public CountedObject<IDirectInput> {
 public:
  DirectInputObject();

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface(iid, IID_IDirectInput, object);
  }

  HRESULT CreateDevice(REFGUID device, IDirectInputDevice** created, IUnknown* outer) override;
  HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACK callback, void* context,
                      DWORD flags) override;

 private:
  ~DirectInputObject() override;
};
