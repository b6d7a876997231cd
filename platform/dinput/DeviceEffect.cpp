#include "platform/dinput/DeviceEffect.h"

#include <algorithm>
#include <cstring>

#include "platform/dinput/DInputState.h"
#include "platform/dinput/InputDevice.h"
#include "platform/kernel/Clock.h"

namespace {

constexpr DWORD kEffectSizeWithoutStartDelay = 52;
constexpr DWORD kEffectSize = 56;
constexpr DWORD kEnvelopeSize = 20;
constexpr DWORD kEndless = 0xFFFFFFFF;
constexpr DWORD kFadeAttack = DIEFT_FFATTACK | DIEFT_FFFADE;

// The size of the type-specific block an effect kind takes for a number of axes.
bool TypeSpecificSizeFits(DWORD effectType, DWORD size, size_t axisCount) {
  switch (DIEFT_GETTYPE(effectType)) {
    case DIEFT_CONSTANTFORCE:
      return size == sizeof(DICONSTANTFORCE);
    case DIEFT_RAMPFORCE:
      return size == sizeof(DIRAMPFORCE);
    case DIEFT_PERIODIC:
      return size == sizeof(DIPERIODIC);
    case DIEFT_CONDITION:
      // One condition for every axis, or one per axis.
      return size == sizeof(DICONDITION) || size == sizeof(DICONDITION) * axisCount;
    default:
      return false;
  }
}

uint32_t NextEffectSerial() {
  static uint32_t next = 1;
  return next++;
}

}  // namespace

const std::vector<EffectKind>& ForceFeedbackEffectKinds() {
  static const std::vector<EffectKind> kinds = {
      {&GUID_ConstantForce, DIEFT_CONSTANTFORCE | kFadeAttack, "Constant Force"},
      {&GUID_RampForce, DIEFT_RAMPFORCE | kFadeAttack, "Ramp Force"},
      {&GUID_Square, DIEFT_PERIODIC | kFadeAttack, "Square"},
      {&GUID_Sine, DIEFT_PERIODIC | kFadeAttack, "Sine"},
      {&GUID_Triangle, DIEFT_PERIODIC | kFadeAttack, "Triangle"},
      {&GUID_SawtoothUp, DIEFT_PERIODIC | kFadeAttack, "Sawtooth Up"},
      {&GUID_SawtoothDown, DIEFT_PERIODIC | kFadeAttack, "Sawtooth Down"},
      {&GUID_Spring, DIEFT_CONDITION | DIEFT_POSNEGCOEFFICIENTS, "Spring"},
      {&GUID_Damper, DIEFT_CONDITION | DIEFT_POSNEGCOEFFICIENTS, "Damper"},
      {&GUID_Inertia, DIEFT_CONDITION | DIEFT_POSNEGCOEFFICIENTS, "Inertia"},
      {&GUID_Friction, DIEFT_CONDITION | DIEFT_POSNEGCOEFFICIENTS, "Friction"},
  };
  return kinds;
}

DeviceEffect::DeviceEffect(InputDevice* device, const EffectKind& kind)
    : device_(device), kind_(kind), serial_(NextEffectSerial()) {
  device->AddEffect(this);
  DInputState::Get().effects.push_back(this);
}

DeviceEffect::~DeviceEffect() {
  TakeOffDevice();
  device_->RemoveEffect(this);
  std::erase(DInputState::Get().effects, this);
}

HRESULT DeviceEffect::Validate(const DIEFFECT& effect, DWORD flags, Parameters& next) const {
  const DWORD identifyBy = effect.dwFlags & (DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS);
  const bool namesObjects = flags & (DIEP_AXES | DIEP_TRIGGERBUTTON);
  if (namesObjects && identifyBy != DIEFF_OBJECTIDS && identifyBy != DIEFF_OBJECTOFFSETS)
    return DIERR_INVALIDPARAM;
  if (flags & DIEP_DURATION) next.duration = effect.dwDuration;
  if (flags & DIEP_SAMPLEPERIOD) next.samplePeriod = effect.dwSamplePeriod;
  if (flags & DIEP_GAIN) {
    if (effect.dwGain > DI_FFNOMINALMAX) return DIERR_INVALIDPARAM;
    next.gain = effect.dwGain;
  }
  if (flags & DIEP_TRIGGERBUTTON) {
    if (effect.dwTriggerButton != DIEB_NOTRIGGER &&
        !device_->IsTrigger(effect.dwTriggerButton, identifyBy))
      return DIERR_INVALIDPARAM;
    next.triggerButton = effect.dwTriggerButton;
  }
  if (flags & DIEP_TRIGGERREPEATINTERVAL)
    next.triggerRepeatInterval = effect.dwTriggerRepeatInterval;
  if (flags & DIEP_AXES) {
    if (effect.cAxes == 0 || effect.cAxes > static_cast<DWORD>(device_->ActuatorCount()) ||
        !effect.rgdwAxes)
      return DIERR_INVALIDPARAM;
    next.axes.assign(effect.rgdwAxes, effect.rgdwAxes + effect.cAxes);
    for (size_t axis = 0; axis < next.axes.size(); ++axis) {
      if (!device_->IsActuator(next.axes[axis], identifyBy)) return DIERR_INVALIDPARAM;
      if (std::count(next.axes.begin(), next.axes.end(), next.axes[axis]) > 1)
        return DIERR_INVALIDPARAM;
    }
  }
  if (flags & DIEP_DIRECTION) {
    const DWORD system = effect.dwFlags & (DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL);
    if (system != DIEFF_CARTESIAN && system != DIEFF_POLAR && system != DIEFF_SPHERICAL)
      return DIERR_INVALIDPARAM;
    if (next.axes.empty() || effect.cAxes != next.axes.size() || !effect.rglDirection)
      return DIERR_INVALIDPARAM;
    next.direction.assign(effect.rglDirection, effect.rglDirection + effect.cAxes);
  }
  if (flags & DIEP_ENVELOPE) {
    next.hasEnvelope = effect.lpEnvelope != nullptr;
    if (next.hasEnvelope) {
      const DIENVELOPE& envelope = *effect.lpEnvelope;
      if (envelope.dwSize != kEnvelopeSize || envelope.dwAttackLevel > DI_FFNOMINALMAX ||
          envelope.dwFadeLevel > DI_FFNOMINALMAX)
        return DIERR_INVALIDPARAM;
      next.envelope = envelope;
    }
  }
  if (flags & DIEP_TYPESPECIFICPARAMS) {
    const size_t axisCount = next.axes.empty() ? 1 : next.axes.size();
    if (!effect.lpvTypeSpecificParams ||
        !TypeSpecificSizeFits(kind_.effectType, effect.cbTypeSpecificParams, axisCount))
      return DIERR_INVALIDPARAM;
    const auto* block = static_cast<const BYTE*>(effect.lpvTypeSpecificParams);
    next.typeSpecific.assign(block, block + effect.cbTypeSpecificParams);
  }
  if ((flags & DIEP_STARTDELAY) && effect.dwSize != kEffectSizeWithoutStartDelay)
    next.startDelay = effect.dwStartDelay;
  next.flags = effect.dwFlags;
  return DI_OK;
}

HRESULT DeviceEffect::Apply(const DIEFFECT* effect, DWORD flags) {
  if (!effect || (effect->dwSize != kEffectSizeWithoutStartDelay && effect->dwSize != kEffectSize &&
                  effect->dwSize != sizeof(DIEFFECT)))
    return DIERR_INVALIDPARAM;
  Parameters next = parameters_;
  if (const HRESULT result = Validate(*effect, flags, next)) return result;
  parameters_ = std::move(next);
  if ((flags & DIEP_START) && !Complete()) return DIERR_INCOMPLETEEFFECT;
  // Parameters reach the device only while it is held exclusively; they wait otherwise.
  if ((flags & DIEP_NODOWNLOAD) || !Complete() || device_->EffectAccess() != DI_OK)
    return DI_DOWNLOADSKIPPED;
  PutOnDevice();
  if (flags & DIEP_START) {
    if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::StartEffect))
      return refused;
    return StartPlaying(1, DIES_NODOWNLOAD);
  }
  return DI_OK;
}

HRESULT DeviceEffect::SetParameters(const DIEFFECT* effect, DWORD flags) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::SetParameters))
    return refused;
  return Apply(effect, flags);
}

bool DeviceEffect::Complete() const {
  return !parameters_.axes.empty() && !parameters_.typeSpecific.empty();
}

void DeviceEffect::PutOnDevice() {
  downloaded_ = true;
  ForceFeedbackOutput* output = CurrentForceFeedbackOutput();
  if (!output) return;
  const DWORD identifyBy = parameters_.flags & (DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS);
  PlayedEffect played{*kind_.guid, parameters_, {}, -1};
  for (DWORD axis : parameters_.axes) played.axes.push_back(device_->ObjectSource(axis, identifyBy));
  if (parameters_.triggerButton != DIEB_NOTRIGGER)
    played.triggerButton = device_->ObjectSource(parameters_.triggerButton, identifyBy);
  output->Load(serial_, device_->Identity().joystick, played);
}

void DeviceEffect::TakeOffDevice() {
  if (!downloaded_) return;
  started_ = false;
  downloaded_ = false;
  if (ForceFeedbackOutput* output = CurrentForceFeedbackOutput()) output->Unload(serial_);
}

void DeviceEffect::Halt() {
  if (!started_) return;
  started_ = false;
  if (ForceFeedbackOutput* output = CurrentForceFeedbackOutput()) output->Stop(serial_);
}

HRESULT DeviceEffect::StartPlaying(DWORD iterations, DWORD flags) {
  // Starting downloads the parameters as they are now, unless told to play what is there.
  if (!(flags & DIES_NODOWNLOAD)) PutOnDevice();
  if (flags & DIES_SOLO) device_->StopEffectsExcept(this);
  started_ = true;
  startTime_ = GetTickCount();
  iterations_ = iterations;
  ++starts_;
  if (ForceFeedbackOutput* output = CurrentForceFeedbackOutput()) output->Start(serial_, iterations);
  return DI_OK;
}

HRESULT DeviceEffect::Start(DWORD iterations, DWORD flags) {
  if (const HRESULT refused = DInputState::Get().TakeRefusal(DInputCall::StartEffect))
    return refused;
  if (iterations == 0 || (flags & ~(DIES_SOLO | DIES_NODOWNLOAD))) return DIERR_INVALIDPARAM;
  if (const HRESULT access = device_->EffectAccess()) return access;
  if (!Complete()) return DIERR_INCOMPLETEEFFECT;
  if ((flags & DIES_NODOWNLOAD) && !downloaded_) return DIERR_NOTDOWNLOADED;
  return StartPlaying(iterations, flags);
}

HRESULT DeviceEffect::Stop() {
  if (const HRESULT access = device_->EffectAccess()) return access;
  Halt();
  return DI_OK;
}

bool DeviceEffect::PlayingNow() const {
  if (!started_ || !device_->HoldsExclusiveAccess()) return false;
  if (parameters_.duration == kEndless || iterations_ == kEndless) return true;
  const uint64_t lengthMicroseconds =
      parameters_.startDelay + uint64_t{parameters_.duration} * iterations_;
  return uint64_t{static_cast<DWORD>(GetTickCount() - startTime_)} * 1000 < lengthMicroseconds;
}

HRESULT DeviceEffect::GetEffectStatus(DWORD* status) {
  if (!status) return DIERR_INVALIDPARAM;
  // Notices a lost device, which ends every effect on it.
  device_->EffectAccess();
  if (started_ && !PlayingNow()) started_ = false;
  *status = started_ ? DIEGES_PLAYING : 0;
  return DI_OK;
}

HRESULT DeviceEffect::Download() {
  if (const HRESULT access = device_->EffectAccess()) return access;
  if (!Complete()) return DIERR_INCOMPLETEEFFECT;
  PutOnDevice();
  return DI_OK;
}

HRESULT DeviceEffect::Unload() {
  if (const HRESULT access = device_->EffectAccess()) return access;
  TakeOffDevice();
  return DI_OK;
}

void DeviceEffect::DeviceReleased() { TakeOffDevice(); }

DInputEffectState DeviceEffect::Describe() const {
  const Parameters& p = parameters_;
  return {*kind_.guid,     JoystickNumber(device_->Identity()),
          downloaded_,     PlayingNow(),
          starts_,         iterations_,
          p.flags,         p.duration,
          p.samplePeriod,  p.gain,
          p.triggerButton, p.triggerRepeatInterval,
          p.startDelay,    p.axes,
          p.direction,     p.hasEnvelope,
          p.envelope,      p.typeSpecific};
}
