// The DirectInput object: makes devices and lists the attached ones.
#pragma once

#include "platform/dinput/DInput.h"

class DirectInputObject final : public IDirectInput {
 public:
  DirectInputObject();

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT CreateDevice(REFGUID device, IDirectInputDevice** created, IUnknown* outer) override;
  HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACK callback, void* context,
                      DWORD flags) override;

 private:
  ~DirectInputObject();

  ULONG references_ = 1;
};
