#include "platform/host/sdl/HapticPlayer.h"

#include <SDL2/SDL.h>

#include <iterator>

#include "platform/host/sdl/HapticEffects.h"

HapticPlayer::HapticPlayer() {
  // Without the haptic subsystem no joystick opens a haptic device, and nothing is felt.
  SDL_InitSubSystem(SDL_INIT_HAPTIC);
  InstallForceFeedbackOutput(this);
}

HapticPlayer::~HapticPlayer() {
  InstallForceFeedbackOutput(nullptr);
  while (!devices_.empty()) Close(devices_.begin()->first);
  SDL_QuitSubSystem(SDL_INIT_HAPTIC);
}

bool HapticPlayer::Open(int32_t joystick, SDL_Joystick* sdlJoystick) {
  if (SDL_JoystickIsHaptic(sdlJoystick) != 1) return false;
  SDL_Haptic* haptic = SDL_HapticOpenFromJoystick(sdlJoystick);
  if (!haptic) return false;
  // Effects carry their own gain; the device's stays at full.
  if (SDL_HapticQuery(haptic) & SDL_HAPTIC_GAIN) SDL_HapticSetGain(haptic, 100);
  devices_[joystick] = haptic;
  return true;
}

void HapticPlayer::Close(int32_t joystick) {
  const auto device = devices_.find(joystick);
  if (device == devices_.end()) return;
  for (auto effect = effects_.begin(); effect != effects_.end();)
    effect = effect->second.joystick == joystick ? effects_.erase(effect) : std::next(effect);
  SDL_HapticClose(device->second);  // which ends its effects
  devices_.erase(device);
}

bool HapticPlayer::Offers(int32_t joystick, const GUID& kind) const {
  const auto device = devices_.find(joystick);
  const std::optional<Uint16> type = HapticTypeFor(kind);
  return device != devices_.end() && type && (SDL_HapticQuery(device->second) & *type);
}

void HapticPlayer::Load(uint32_t effect, int32_t joystick, const PlayedEffect& played) {
  const auto device = devices_.find(joystick);
  if (device == devices_.end()) return;
  std::optional<SDL_HapticEffect> translated = HapticEffectFor(played);
  const auto loaded = effects_.find(effect);
  if (loaded != effects_.end()) {
    if (translated && SDL_HapticUpdateEffect(loaded->second.haptic, loaded->second.id,
                                             &*translated) == 0)
      return;
    // Parameters the device cannot take: the effect it had is taken off, not left playing.
    Unload(effect);
  }
  if (!translated) return;
  const int id = SDL_HapticNewEffect(device->second, &*translated);
  if (id >= 0) effects_[effect] = {joystick, device->second, id};
}

void HapticPlayer::Start(uint32_t effect, DWORD iterations) {
  const auto loaded = effects_.find(effect);
  if (loaded == effects_.end()) return;
  SDL_HapticRunEffect(loaded->second.haptic, loaded->second.id,
                      iterations == 0xFFFFFFFF ? SDL_HAPTIC_INFINITY : iterations);
}

void HapticPlayer::Stop(uint32_t effect) {
  const auto loaded = effects_.find(effect);
  if (loaded != effects_.end()) SDL_HapticStopEffect(loaded->second.haptic, loaded->second.id);
}

void HapticPlayer::Unload(uint32_t effect) {
  const auto loaded = effects_.find(effect);
  if (loaded == effects_.end()) return;
  SDL_HapticDestroyEffect(loaded->second.haptic, loaded->second.id);
  effects_.erase(loaded);
}
