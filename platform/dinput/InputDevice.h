// One DirectInput device object: its data format, cooperative level, acquisition, axis
// properties and state reads, and the effects made on it.
#pragma once

#include <vector>

#include "platform/dinput/DInputTestControl.h"
#include "platform/dinput/DeviceCatalogue.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/CountedObject.h"

class DeviceEffect;
struct EffectKind;

class InputDevice final : public CountedObject<IDirectInputDevice2> {
 public:
  // Holds a reference to the DirectInput object it was made by.
  InputDevice(IDirectInput* owner, const DeviceIdentity& identity);

  HRESULT QueryInterface(REFIID iid, void** object) override;

  HRESULT GetCapabilities(DIDEVCAPS* caps) override;
  HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACK callback, void* context, DWORD flags) override;
  HRESULT SetProperty(const GUID* property, const DIPROPHEADER* header) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceState(DWORD size, void* data) override;
  HRESULT SetDataFormat(const DIDATAFORMAT* format) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;

  HRESULT CreateEffect(REFGUID effect, const DIEFFECT* parameters, IDirectInputEffect** created,
                       IUnknown* outer) override;
  HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACK callback, void* context, DWORD effectType) override;
  HRESULT Poll() override;

  // For its effects. DI_OK while the device is acquired exclusively; otherwise the error an effect
  // operation answers with. Notices lost input, as a state read does.
  HRESULT EffectAccess();
  bool HoldsExclusiveAccess() const;
  // Whether an axis (a data-format offset with DIEFF_OBJECTOFFSETS, an object type with
  // DIEFF_OBJECTIDS) names a force-feedback actuator, or a button an effect trigger.
  bool IsActuator(DWORD axis, DWORD identifyBy) const;
  bool IsTrigger(DWORD button, DWORD identifyBy) const;
  int32_t ActuatorCount() const;
  // Which of the host device's axes or buttons an object names (as IsActuator takes it); -1 for
  // none.
  int32_t ObjectSource(DWORD object, DWORD identifyBy) const;
  void AddEffect(DeviceEffect* effect);
  void RemoveEffect(DeviceEffect* effect);
  // Stops every effect but `keep` (null: all).
  void StopEffectsExcept(const DeviceEffect* keep);

  const DeviceIdentity& Identity() const { return identity_; }
  DInputDeviceState Describe() const;
  // The next read reports DIERR_INPUTLOST.
  void LoseInput();

 private:
  struct Slot {
    DeviceObject object;
    int64_t formatOffset = -1;  // where the data format puts its value; -1: not in the format
    LONG rangeMin = 0;
    LONG rangeMax = 0xFFFF;
    DWORD deadZone = 0;     // in hundredths of a percent of the half travel
    LONG lastReported = 0;  // for relative axes: the absolute value at the last read
  };

  ~InputDevice() override;

  // Whether the effect kind can be played here (the host's device may offer fewer kinds).
  bool Offers(const EffectKind& kind) const;
  bool IsAxis(const Slot& slot) const;
  LONG AbsoluteAxis(const Slot& slot, const DeviceReading& reading) const;
  // Acquired and not lost; a loss found here ends the acquisition.
  HRESULT CheckAcquired();
  bool InputStillAvailable() const;
  void EndAcquisition();
  bool ReportsMotionByDefault() const;
  // The slot of the object a data-format offset or an object type names; -1 for none.
  int32_t FindObject(DWORD value, DWORD identifyBy) const;
  HRESULT AxesAddressed(const DIPROPHEADER& header, std::vector<Slot*>& axes);

  ComPtr<IDirectInput> owner_;
  DeviceIdentity identity_;
  std::vector<Slot> slots_;
  bool hasFormat_ = false;
  DWORD dataSize_ = 0;
  bool relativeAxes_ = false;
  DWORD level_ = 0;
  HWND window_ = nullptr;
  bool acquired_ = false;
  bool inputLost_ = false;
  bool autoCenter_ = true;
  std::vector<DeviceEffect*> effects_;
};
