#include "platform/dinput/InputDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/dinput/DInputState.h"
#include "platform/dinput/DeviceEffect.h"
#include "platform/user/Focus.h"
#include "platform/user/Window.h"

namespace {

constexpr DWORD kDataFormatSize = 24;
constexpr DWORD kObjectFormatSize = 16;
constexpr DWORD kLargestDataSize = 0x10000;
constexpr DWORD kPropertyHeaderSize = 16;
constexpr DWORD kDeviceCapsSizeShort = 24;
constexpr LONG kAxisCentre = 32767;
constexpr LONG kAxisEnd = 65535;

bool Has(DWORD value, DWORD bits) { return (value & bits) == bits; }

// A joystick position (0 to 65535, centre 32767) on the axis's range: each half of the travel
// maps onto its half of the range, the dead zone round the centre reads as the centre, and the
// rest of each half is stretched to fill it.
LONG ScaleAxis(uint32_t position, LONG rangeMin, LONG rangeMax, DWORD deadZone) {
  const LONG centre = static_cast<LONG>(rangeMin + (static_cast<int64_t>(rangeMax) - rangeMin) / 2);
  const LONG offset = std::min<LONG>(static_cast<LONG>(position), kAxisEnd) - kAxisCentre;
  const double travel = offset < 0 ? kAxisCentre : kAxisEnd - kAxisCentre;
  const double span =
      offset < 0 ? static_cast<double>(centre) - rangeMin : static_cast<double>(rangeMax) - centre;
  const double fraction = std::abs(offset) / travel;
  const double zone = deadZone / 10000.0;
  if (fraction <= zone) return centre;
  const double outside = (fraction - zone) / (1.0 - zone);
  return static_cast<LONG>(std::lround(centre + (offset < 0 ? -outside : outside) * span));
}

bool IsTopLevelWindow(HWND window) {
  return IsWindow(window) && !(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_CHILD);
}

}  // namespace

InputDevice::InputDevice(IDirectInput* owner, const DeviceIdentity& identity)
    : owner_(owner), identity_(identity) {
  for (const DeviceObject& object : DeviceObjects(identity)) slots_.push_back({object});
  relativeAxes_ = ReportsMotionByDefault();
  DInputState::Get().devices.push_back(this);
}

InputDevice::~InputDevice() {
  EndAcquisition();
  std::erase(DInputState::Get().devices, this);
}

HRESULT InputDevice::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IDirectInputDevice2) {
    if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::QueryDevice2))
      return refused;
  } else if (!(iid == IID_IUnknown) && !(iid == IID_IDirectInputDevice)) {
    return E_NOINTERFACE;
  }
  *object = static_cast<IDirectInputDevice2*>(this);
  AddRef();
  return S_OK;
}

HRESULT InputDevice::GetCapabilities(DIDEVCAPS* caps) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::GetCapabilities))
    return refused;
  if (!caps || (caps->dwSize != kDeviceCapsSizeShort && caps->dwSize != sizeof(DIDEVCAPS)))
    return DIERR_INVALIDPARAM;
  DIDEVCAPS filled{};
  filled.dwSize = caps->dwSize;
  filled.dwFlags = IsAttached(identity_) ? DIDC_ATTACHED : 0;
  filled.dwDevType = DeviceType(identity_);
  for (const Slot& slot : slots_) {
    if (slot.object.type & DIDFT_AXIS) ++filled.dwAxes;
    if (slot.object.type & DIDFT_BUTTON) ++filled.dwButtons;
    if (slot.object.type & DIDFT_POV) ++filled.dwPOVs;
  }
  if (HasForceFeedback(identity_)) {
    filled.dwFlags |= DIDC_FORCEFEEDBACK | DIDC_FFATTACK | DIDC_FFFADE | DIDC_POSNEGCOEFFICIENTS;
    filled.dwFFSamplePeriod = 1000;
    filled.dwFFMinTimeResolution = 1000;
    filled.dwFFDriverVersion = 1;
  }
  std::memcpy(caps, &filled, caps->dwSize);
  return DI_OK;
}

HRESULT InputDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACK callback, void* context,
                                 DWORD flags) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::EnumObjects))
    return refused;
  if (!callback) return DIERR_INVALIDPARAM;
  const DWORD kinds = DIDFT_GETTYPE(flags);
  const DWORD attributes = flags & (DIDFT_FFACTUATOR | DIDFT_FFEFFECTTRIGGER);
  // A copy: the callback may do anything to this device meanwhile.
  const std::vector<Slot> slots = slots_;
  for (const Slot& slot : slots) {
    if (kinds && !(slot.object.type & kinds)) continue;
    if (!Has(slot.object.type, attributes)) continue;
    DIDEVICEOBJECTINSTANCE instance{};
    instance.dwSize = sizeof(instance);
    instance.guidType = slot.object.guidType;
    instance.dwOfs = slot.object.offset;
    instance.dwType = slot.object.type;
    std::snprintf(instance.tszName, sizeof(instance.tszName), "%s", slot.object.name.c_str());
    if (slot.object.type & DIDFT_FFACTUATOR) {
      instance.dwFFMaxForce = DI_FFNOMINALMAX;
      instance.dwFFForceResolution = 1;
    }
    if (callback(&instance, context) == DIENUM_STOP) break;
  }
  return DI_OK;
}

int32_t InputDevice::FindObject(DWORD value, DWORD identifyBy) const {
  constexpr DWORD kKindAndInstance = DIDFT_INSTANCEMASK | 0xFF;
  for (size_t index = 0; index < slots_.size(); ++index) {
    const Slot& slot = slots_[index];
    if ((identifyBy == DIEFF_OBJECTOFFSETS && slot.formatOffset == static_cast<int64_t>(value)) ||
        (identifyBy == DIEFF_OBJECTIDS &&
         (slot.object.type & kKindAndInstance) == (value & kKindAndInstance)))
      return static_cast<int32_t>(index);
  }
  return -1;
}

HRESULT InputDevice::AxesAddressed(const DIPROPHEADER& header, std::vector<Slot*>& axes) {
  if (header.dwHow == DIPH_DEVICE) {
    if (header.dwObj != 0) return DIERR_INVALIDPARAM;
    for (Slot& slot : slots_)
      if (slot.object.type & DIDFT_ABSAXIS) axes.push_back(&slot);
    return axes.empty() ? DIERR_UNSUPPORTED : DI_OK;
  }
  if (header.dwHow != DIPH_BYOFFSET) return DIERR_INVALIDPARAM;
  const int32_t found = FindObject(header.dwObj, DIEFF_OBJECTOFFSETS);
  if (found < 0) return DIERR_NOTFOUND;
  // Ranges and dead zones belong to axes that measure positions, not motion.
  if (!(slots_[found].object.type & DIDFT_ABSAXIS)) return DIERR_UNSUPPORTED;
  axes.push_back(&slots_[found]);
  return DI_OK;
}

HRESULT InputDevice::SetProperty(const GUID* property, const DIPROPHEADER* header) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::SetProperty))
    return refused;
  if (!header || header->dwHeaderSize != kPropertyHeaderSize) return DIERR_INVALIDPARAM;
  if (property == DIPROP_RANGE) {
    if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
    const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
    if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
    std::vector<Slot*> axes;
    if (const HRESULT result = AxesAddressed(*header, axes)) return result;
    for (Slot* axis : axes) {
      axis->rangeMin = range->lMin;
      axis->rangeMax = range->lMax;
    }
    return DI_OK;
  }
  if (property == DIPROP_DEADZONE) {
    if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
    const DWORD zone = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
    if (zone > 10000) return DIERR_INVALIDPARAM;
    std::vector<Slot*> axes;
    if (const HRESULT result = AxesAddressed(*header, axes)) return result;
    for (Slot* axis : axes) axis->deadZone = zone;
    return DI_OK;
  }
  if (property == DIPROP_AUTOCENTER) {
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj)
      return DIERR_INVALIDPARAM;
    const DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
    if (value != DIPROPAUTOCENTER_OFF && value != DIPROPAUTOCENTER_ON) return DIERR_INVALIDPARAM;
    if (!HasForceFeedback(identity_)) return DIERR_UNSUPPORTED;
    if (acquired_) return DIERR_ACQUIRED;
    autoCenter_ = value == DIPROPAUTOCENTER_ON;
    return DI_OK;
  }
  return DIERR_UNSUPPORTED;
}

bool InputDevice::InputStillAvailable() const {
  if (inputLost_ || !IsAttached(identity_)) return false;
  return !(level_ & DISCL_FOREGROUND) || GetForegroundWindow() == window_;
}

HRESULT InputDevice::Acquire() {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::Acquire)) return refused;
  if (acquired_) {
    if (InputStillAvailable()) return DI_NOEFFECT;
    EndAcquisition();
  }
  if (!hasFormat_) return DIERR_INVALIDPARAM;
  if (!IsAttached(identity_)) return DIERR_INPUTLOST;
  if ((level_ & DISCL_FOREGROUND) && GetForegroundWindow() != window_) return DIERR_OTHERAPPHASPRIO;
  if (level_ & DISCL_EXCLUSIVE)
    for (InputDevice* other : DInputState::Get().devices)
      if (other != this && other->identity_ == identity_ && other->HoldsExclusiveAccess() &&
          other->InputStillAvailable())
        return DIERR_OTHERAPPHASPRIO;
  acquired_ = true;
  inputLost_ = false;
  const DeviceReading reading = ReadDevice(identity_);
  for (Slot& slot : slots_)
    if (IsAxis(slot)) slot.lastReported = AbsoluteAxis(slot, reading);
  return DI_OK;
}

void InputDevice::EndAcquisition() {
  if (!acquired_) return;
  acquired_ = false;
  inputLost_ = false;
  // Force feedback stops with the acquisition and the effects leave the device.
  for (DeviceEffect* effect : effects_) effect->DeviceReleased();
}

HRESULT InputDevice::Unacquire() {
  if (!acquired_) return DI_NOEFFECT;
  EndAcquisition();
  return DI_OK;
}

HRESULT InputDevice::CheckAcquired() {
  if (!acquired_) return DIERR_NOTACQUIRED;
  if (InputStillAvailable()) return DI_OK;
  EndAcquisition();
  return DIERR_INPUTLOST;
}

bool InputDevice::ReportsMotionByDefault() const {
  // The system mouse reports motion; joysticks report where the stick stands.
  return identity_.kind == DeviceKind::Mouse;
}

bool InputDevice::IsAxis(const Slot& slot) const { return slot.object.type & DIDFT_AXIS; }

LONG InputDevice::AbsoluteAxis(const Slot& slot, const DeviceReading& reading) const {
  if (identity_.kind == DeviceKind::Mouse) return reading.pointer[slot.object.source];
  return ScaleAxis(reading.axes[slot.object.source], slot.rangeMin, slot.rangeMax, slot.deadZone);
}

HRESULT InputDevice::GetDeviceState(DWORD size, void* data) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::GetDeviceState))
    return refused;
  if (!data) return DIERR_INVALIDPARAM;
  if (const HRESULT result = CheckAcquired()) return result;
  if (size != dataSize_) return DIERR_INVALIDPARAM;
  auto* bytes = static_cast<BYTE*>(data);
  std::memset(bytes, 0, size);
  const DeviceReading reading = ReadDevice(identity_);
  for (Slot& slot : slots_) {
    if (slot.formatOffset < 0) continue;
    BYTE* target = bytes + slot.formatOffset;
    const DWORD type = slot.object.type;
    const int32_t source = slot.object.source;
    if (type & DIDFT_BUTTON) {
      bool held = false;
      switch (identity_.kind) {
        case DeviceKind::Keyboard:
          held = reading.keys[source] & 0x80;
          break;
        case DeviceKind::Mouse:
          held = reading.mouseButtons[source];
          break;
        case DeviceKind::Joystick:
          held = (reading.buttons >> source) & 1;
          break;
      }
      *target = held ? 0x80 : 0;
    } else if (type & DIDFT_POV) {
      std::memcpy(target, &reading.pov, sizeof(DWORD));
    } else {
      const LONG absolute = AbsoluteAxis(slot, reading);
      // Ranges may span the whole of a LONG, so the motion is worked out wider and clamped.
      const int64_t motion = int64_t{absolute} - slot.lastReported;
      const LONG value = relativeAxes_
                             ? static_cast<LONG>(std::clamp<int64_t>(motion, INT32_MIN, INT32_MAX))
                             : absolute;
      slot.lastReported = absolute;
      std::memcpy(target, &value, sizeof(LONG));
    }
  }
  return DI_OK;
}

HRESULT InputDevice::SetDataFormat(const DIDATAFORMAT* format) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::SetDataFormat))
    return refused;
  if (acquired_) return DIERR_ACQUIRED;
  if (!format || (format->dwSize != kDataFormatSize && format->dwSize != sizeof(DIDATAFORMAT)) ||
      (format->dwObjSize != kObjectFormatSize && format->dwObjSize != sizeof(DIOBJECTDATAFORMAT)))
    return DIERR_INVALIDPARAM;
  const DWORD dataSize = format->dwDataSize;
  if (dataSize == 0 || dataSize % 4 != 0 || dataSize > kLargestDataSize) return DIERR_INVALIDPARAM;
  if (Has(format->dwFlags, DIDF_ABSAXIS | DIDF_RELAXIS) ||
      (format->dwFlags & ~(DIDF_ABSAXIS | DIDF_RELAXIS)))
    return DIERR_INVALIDPARAM;
  if (format->dwNumObjs > 0 && !format->rgodf) return DIERR_INVALIDPARAM;

  std::vector<int64_t> offsets(slots_.size(), -1);
  std::vector<bool> taken(dataSize, false);
  for (DWORD index = 0; index < format->dwNumObjs; ++index) {
    const DIOBJECTDATAFORMAT& wanted = format->rgodf[index];
    const DWORD kinds = DIDFT_GETTYPE(wanted.dwType) & (DIDFT_AXIS | DIDFT_BUTTON | DIDFT_POV);
    if (!kinds) return DIERR_INVALIDPARAM;
    const DWORD instance = DIDFT_GETINSTANCE(wanted.dwType);
    const DWORD attributes = wanted.dwType & (DIDFT_FFACTUATOR | DIDFT_FFEFFECTTRIGGER);
    size_t match = slots_.size();
    for (size_t candidate = 0; candidate < slots_.size() && match == slots_.size(); ++candidate) {
      const DeviceObject& object = slots_[candidate].object;
      if (offsets[candidate] >= 0 || !(object.type & kinds) ||
          (object.type & (DIDFT_COLLECTION | DIDFT_NODATA)) || !Has(object.type, attributes))
        continue;
      if (instance != DIDFT_GETINSTANCE(DIDFT_ANYINSTANCE) &&
          DIDFT_GETINSTANCE(object.type) != instance)
        continue;
      if (wanted.pguid && !(*wanted.pguid == object.guidType)) continue;
      match = candidate;
    }
    if (match == slots_.size()) {
      if (wanted.dwType & DIDFT_OPTIONAL) continue;
      return DIERR_INVALIDPARAM;
    }
    // Buttons take one byte; axes and points of view a double word on a double-word boundary.
    const DWORD width = (slots_[match].object.type & DIDFT_BUTTON) ? 1 : 4;
    if (wanted.dwOfs > dataSize - width || (width == 4 && wanted.dwOfs % 4 != 0))
      return DIERR_INVALIDPARAM;
    for (DWORD byte = wanted.dwOfs; byte < wanted.dwOfs + width; ++byte) {
      if (taken[byte]) return DIERR_INVALIDPARAM;
      taken[byte] = true;
    }
    offsets[match] = wanted.dwOfs;
  }

  for (size_t slot = 0; slot < slots_.size(); ++slot) slots_[slot].formatOffset = offsets[slot];
  hasFormat_ = true;
  dataSize_ = dataSize;
  relativeAxes_ = format->dwFlags ? format->dwFlags == DIDF_RELAXIS : ReportsMotionByDefault();
  return DI_OK;
}

HRESULT InputDevice::SetCooperativeLevel(HWND window, DWORD flags) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::SetCooperativeLevel))
    return refused;
  if (acquired_) return DIERR_ACQUIRED;
  const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
  const DWORD scope = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
  if ((access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
      (scope != DISCL_FOREGROUND && scope != DISCL_BACKGROUND) || (flags & ~(access | scope)))
    return DIERR_INVALIDPARAM;
  // Only a shared background device may go without a window to follow.
  if (window ? !IsTopLevelWindow(window) : flags != (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))
    return E_HANDLE;
  if (identity_.kind != DeviceKind::Joystick && flags == (DISCL_EXCLUSIVE | DISCL_BACKGROUND))
    return DIERR_UNSUPPORTED;
  level_ = flags;
  window_ = window;
  return DI_OK;
}

HRESULT InputDevice::CreateEffect(REFGUID effect, const DIEFFECT* parameters,
                                  IDirectInputEffect** created, IUnknown* outer) {
  if (!created) return DIERR_INVALIDPARAM;
  *created = nullptr;
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::CreateEffect))
    return refused;
  if (outer) return DIERR_NOAGGREGATION;
  if (!HasForceFeedback(identity_)) return DIERR_DEVICENOTREG;
  const std::vector<EffectKind>& kinds = ForceFeedbackEffectKinds();
  auto kind = std::find_if(kinds.begin(), kinds.end(),
                           [&](const EffectKind& candidate) { return *candidate.guid == effect; });
  if (kind == kinds.end() || !Offers(*kind)) return DIERR_DEVICENOTREG;
  ComPtr<DeviceEffect> made = ComPtr<DeviceEffect>::Attach(new DeviceEffect(this, *kind));
  if (parameters) {
    const HRESULT applied = made->Apply(parameters, DIEP_ALLPARAMS);
    if (FAILED(applied)) return applied;
  }
  made->AddRef();
  *created = made.Get();
  return DI_OK;
}

HRESULT InputDevice::EnumEffects(LPDIENUMEFFECTSCALLBACK callback, void* context,
                                 DWORD effectType) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::EnumEffects))
    return refused;
  if (!callback) return DIERR_INVALIDPARAM;
  if (!HasForceFeedback(identity_)) return DI_OK;
  for (const EffectKind& kind : ForceFeedbackEffectKinds()) {
    if (effectType != DIEFT_ALL && DIEFT_GETTYPE(kind.effectType) != effectType) continue;
    if (!Offers(kind)) continue;
    DIEFFECTINFO info{};
    info.dwSize = sizeof(info);
    info.guid = *kind.guid;
    info.dwEffType = kind.effectType;
    info.dwStaticParams = DIEP_ALLPARAMS_DX5;
    info.dwDynamicParams = DIEP_ALLPARAMS_DX5;
    std::snprintf(info.tszName, sizeof(info.tszName), "%s", kind.name);
    if (callback(&info, context) == DIENUM_STOP) break;
  }
  return DI_OK;
}

HRESULT InputDevice::Poll() {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::Poll)) return refused;
  if (const HRESULT result = CheckAcquired()) return result;
  // Every reading here is current already; nothing needs fetching first.
  return DI_NOEFFECT;
}

HRESULT InputDevice::EffectAccess() {
  if (const HRESULT result = CheckAcquired()) return result;
  return (level_ & DISCL_EXCLUSIVE) ? DI_OK : DIERR_NOTEXCLUSIVEACQUIRED;
}

bool InputDevice::HoldsExclusiveAccess() const { return acquired_ && (level_ & DISCL_EXCLUSIVE); }

bool InputDevice::IsActuator(DWORD axis, DWORD identifyBy) const {
  const int32_t found = FindObject(axis, identifyBy);
  return found >= 0 && (slots_[found].object.type & DIDFT_FFACTUATOR);
}

bool InputDevice::IsTrigger(DWORD button, DWORD identifyBy) const {
  const int32_t found = FindObject(button, identifyBy);
  return found >= 0 && (slots_[found].object.type & DIDFT_FFEFFECTTRIGGER);
}

bool InputDevice::Offers(const EffectKind& kind) const {
  const ForceFeedbackOutput* output = CurrentForceFeedbackOutput();
  return !output || output->Offers(identity_.joystick, *kind.guid);
}

int32_t InputDevice::ObjectSource(DWORD object, DWORD identifyBy) const {
  const int32_t found = FindObject(object, identifyBy);
  return found >= 0 ? slots_[found].object.source : -1;
}

int32_t InputDevice::ActuatorCount() const {
  return static_cast<int32_t>(std::count_if(slots_.begin(), slots_.end(), [](const Slot& slot) {
    return (slot.object.type & DIDFT_FFACTUATOR) != 0;
  }));
}

void InputDevice::AddEffect(DeviceEffect* effect) { effects_.push_back(effect); }

void InputDevice::RemoveEffect(DeviceEffect* effect) { std::erase(effects_, effect); }

void InputDevice::StopEffectsExcept(const DeviceEffect* keep) {
  for (DeviceEffect* effect : effects_)
    if (effect != keep) effect->Halt();
}

DInputDeviceState InputDevice::Describe() const {
  return {InstanceGuid(identity_),
          DeviceType(identity_),
          JoystickNumber(identity_),
          acquired_,
          level_,
          window_,
          hasFormat_,
          autoCenter_};
}

void InputDevice::LoseInput() {
  if (acquired_) inputLost_ = true;
}
