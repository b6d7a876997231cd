// Plays force-feedback effects on the haptic devices of the SDL host's joysticks. A joystick
// without one, or an effect its device does not offer, plays nothing.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/dinput/ForceFeedbackOutput.h"

struct _SDL_Joystick;
struct _SDL_Haptic;

class HapticPlayer final : public ForceFeedbackOutput {
 public:
  // Becomes the force-feedback output while it lives.
  HapticPlayer();
  ~HapticPlayer() override;
  HapticPlayer(const HapticPlayer&) = delete;
  HapticPlayer& operator=(const HapticPlayer&) = delete;

  // Opens the haptic device of the joystick with that host instance; false when it has none.
  bool Open(int32_t joystick, _SDL_Joystick* sdlJoystick);
  // The joystick went: its effects go with its device.
  void Close(int32_t joystick);

  bool Offers(int32_t joystick, const GUID& kind) const override;
  void Load(uint32_t effect, int32_t joystick, const PlayedEffect& played) override;
  void Start(uint32_t effect, DWORD iterations) override;
  void Stop(uint32_t effect) override;
  void Unload(uint32_t effect) override;

 private:
  struct Loaded {
    int32_t joystick;
    _SDL_Haptic* haptic;
    int id;  // SDL's number for the effect on that device
  };

  std::map<int32_t, _SDL_Haptic*> devices_;  // by joystick
  std::map<uint32_t, Loaded> effects_;       // by effect
};
