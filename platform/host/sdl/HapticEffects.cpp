#include "platform/host/sdl/HapticEffects.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kNominalMax = DI_FFNOMINALMAX;
constexpr int64_t kLevelMax = 0x7FFF;
constexpr int64_t kSpanMax = 0xFFFF;
constexpr DWORD kTimeMaxMs = 0x7FFF;
constexpr DWORD kEndless = 0xFFFFFFFF;
constexpr DWORD kPhaseMax = 35999;
constexpr int kSdlAxes = 3;

// A signed level, scaled by the gain.
Sint16 Level(int64_t level, DWORD gain) {
  const int64_t scaled = level * gain * kLevelMax / (kNominalMax * kNominalMax);
  return static_cast<Sint16>(std::clamp(scaled, -kLevelMax, kLevelMax));
}

// A level that cannot be negative (envelope levels), scaled by the gain.
Uint16 UnsignedLevel(DWORD level, DWORD gain) {
  return static_cast<Uint16>(std::clamp<int64_t>(Level(level, gain), 0, kLevelMax));
}

// Saturations and dead bands take SDL's whole unsigned range.
Uint16 Span(int64_t value, DWORD gain) {
  const int64_t scaled = value * gain * kSpanMax / (kNominalMax * kNominalMax);
  return static_cast<Uint16>(std::clamp<int64_t>(scaled, 0, kSpanMax));
}

Uint16 Milliseconds(DWORD microseconds) {
  return static_cast<Uint16>(std::min(microseconds / 1000, kTimeMaxMs));
}

template <typename Block>
Block TypeSpecific(const EffectParameters& parameters, size_t index = 0) {
  Block block{};
  std::memcpy(&block, parameters.typeSpecific.data() + index * sizeof(Block), sizeof(Block));
  return block;
}

// Duration, delay and trigger, which every kind has. A ramp cannot last for ever in SDL; an
// endless one lasts as long as SDL allows.
template <typename Effect>
void SetReplayAndTrigger(Effect& target, const PlayedEffect& effect, bool endlessAllowed) {
  const EffectParameters& parameters = effect.parameters;
  if (parameters.duration == kEndless)
    target.length = endlessAllowed ? SDL_HAPTIC_INFINITY : kTimeMaxMs;
  else
    target.length = Milliseconds(parameters.duration);
  target.delay = Milliseconds(parameters.startDelay);
  target.button = effect.triggerButton >= 0 ? static_cast<Uint16>(effect.triggerButton + 1) : 0;
  target.interval = Milliseconds(parameters.triggerRepeatInterval);
}

// SDL ignores the whole envelope when both the attack time and the fade level are 0, which is
// just what a fade to silence without an attack looks like. Such a fade ends at the smallest
// level SDL tells apart from 0 instead, one part in 32767, which nobody feels.
template <typename Effect>
void SetEnvelope(Effect& target, const EffectParameters& parameters) {
  if (!parameters.hasEnvelope) return;
  const DIENVELOPE& envelope = parameters.envelope;
  target.attack_length = Milliseconds(envelope.dwAttackTime);
  target.attack_level = UnsignedLevel(envelope.dwAttackLevel, parameters.gain);
  target.fade_length = Milliseconds(envelope.dwFadeTime);
  target.fade_level = UnsignedLevel(envelope.dwFadeLevel, parameters.gain);
  if (target.attack_length == 0 && target.fade_level == 0 && target.fade_length != 0)
    target.fade_level = 1;
}

// Both sides say where the force comes from, in the same units; cartesian parts go to the
// joystick's own axes. An effect on one axis pushes along it, its sign in its magnitude.
SDL_HapticDirection Direction(const PlayedEffect& effect) {
  const EffectParameters& parameters = effect.parameters;
  SDL_HapticDirection direction{};
  const size_t count = std::min(parameters.direction.size(), size_t{kSdlAxes});
  if (parameters.flags & DIEFF_POLAR) {
    direction.type = SDL_HAPTIC_POLAR;
    std::copy_n(parameters.direction.begin(), count, direction.dir);
  } else if (parameters.flags & DIEFF_SPHERICAL) {
    direction.type = SDL_HAPTIC_SPHERICAL;
    std::copy_n(parameters.direction.begin(), count, direction.dir);
  } else {
    direction.type = SDL_HAPTIC_CARTESIAN;
    for (size_t i = 0; i < effect.axes.size(); ++i) {
      const int32_t axis = effect.axes[i];
      if (axis < 0 || axis >= kSdlAxes) continue;
      if (effect.axes.size() == 1)
        direction.dir[axis] = 1;
      else if (i < parameters.direction.size())
        direction.dir[axis] = parameters.direction[i];
    }
  }
  return direction;
}

struct KindEntry {
  const GUID* kind;
  Uint16 type;
};
// The square wave has no SDL counterpart (SDL's left-right effect is a rumble of two motors).
constexpr KindEntry kKinds[] = {
    {&GUID_ConstantForce, SDL_HAPTIC_CONSTANT}, {&GUID_RampForce, SDL_HAPTIC_RAMP},
    {&GUID_Sine, SDL_HAPTIC_SINE},              {&GUID_Triangle, SDL_HAPTIC_TRIANGLE},
    {&GUID_SawtoothUp, SDL_HAPTIC_SAWTOOTHUP},  {&GUID_SawtoothDown, SDL_HAPTIC_SAWTOOTHDOWN},
    {&GUID_Spring, SDL_HAPTIC_SPRING},          {&GUID_Damper, SDL_HAPTIC_DAMPER},
    {&GUID_Inertia, SDL_HAPTIC_INERTIA},        {&GUID_Friction, SDL_HAPTIC_FRICTION},
};

}  // namespace

std::optional<Uint16> HapticTypeFor(const GUID& kind) {
  for (const KindEntry& entry : kKinds)
    if (*entry.kind == kind) return entry.type;
  return std::nullopt;
}

std::optional<SDL_HapticEffect> HapticEffectFor(const PlayedEffect& effect) {
  const std::optional<Uint16> type = HapticTypeFor(effect.kind);
  if (!type) return std::nullopt;
  const EffectParameters& parameters = effect.parameters;
  const size_t size = parameters.typeSpecific.size();
  const DWORD gain = parameters.gain;
  SDL_HapticEffect result{};
  switch (*type) {
    case SDL_HAPTIC_CONSTANT: {
      if (size != sizeof(DICONSTANTFORCE)) return std::nullopt;
      SDL_HapticConstant& constant = result.constant;
      constant.type = *type;
      constant.direction = Direction(effect);
      SetReplayAndTrigger(constant, effect, true);
      constant.level = Level(TypeSpecific<DICONSTANTFORCE>(parameters).lMagnitude, gain);
      SetEnvelope(constant, parameters);
      break;
    }
    case SDL_HAPTIC_RAMP: {
      if (size != sizeof(DIRAMPFORCE)) return std::nullopt;
      const DIRAMPFORCE block = TypeSpecific<DIRAMPFORCE>(parameters);
      SDL_HapticRamp& ramp = result.ramp;
      ramp.type = *type;
      ramp.direction = Direction(effect);
      SetReplayAndTrigger(ramp, effect, false);
      ramp.start = Level(block.lStart, gain);
      ramp.end = Level(block.lEnd, gain);
      SetEnvelope(ramp, parameters);
      break;
    }
    case SDL_HAPTIC_SINE:
    case SDL_HAPTIC_TRIANGLE:
    case SDL_HAPTIC_SAWTOOTHUP:
    case SDL_HAPTIC_SAWTOOTHDOWN: {
      if (size != sizeof(DIPERIODIC)) return std::nullopt;
      const DIPERIODIC block = TypeSpecific<DIPERIODIC>(parameters);
      SDL_HapticPeriodic& periodic = result.periodic;
      periodic.type = *type;
      periodic.direction = Direction(effect);
      SetReplayAndTrigger(periodic, effect, true);
      periodic.period = Milliseconds(block.dwPeriod);
      periodic.magnitude = Level(block.dwMagnitude, gain);
      periodic.offset = Level(block.lOffset, gain);
      periodic.phase = static_cast<Uint16>(std::min(block.dwPhase, kPhaseMax));
      SetEnvelope(periodic, parameters);
      break;
    }
    default: {  // the conditions: one block for every axis, or one per axis
      const size_t blocks = size / sizeof(DICONDITION);
      if (size % sizeof(DICONDITION) != 0 || (blocks != 1 && blocks != effect.axes.size()))
        return std::nullopt;
      SDL_HapticCondition& condition = result.condition;
      condition.type = *type;
      SetReplayAndTrigger(condition, effect, true);
      for (size_t i = 0; i < effect.axes.size(); ++i) {
        const int32_t axis = effect.axes[i];
        if (axis < 0 || axis >= kSdlAxes) continue;
        const DICONDITION block = TypeSpecific<DICONDITION>(parameters, blocks == 1 ? 0 : i);
        condition.right_sat[axis] = Span(block.dwPositiveSaturation, gain);
        condition.left_sat[axis] = Span(block.dwNegativeSaturation, gain);
        condition.right_coeff[axis] = Level(block.lPositiveCoefficient, gain);
        condition.left_coeff[axis] = Level(block.lNegativeCoefficient, gain);
        // Where the dead band lies and how wide it is are positions, not forces: no gain.
        condition.deadband[axis] = Span(block.lDeadBand, DI_FFNOMINALMAX);
        condition.center[axis] = Level(block.lOffset, DI_FFNOMINALMAX);
      }
      break;
    }
  }
  return result;
}
