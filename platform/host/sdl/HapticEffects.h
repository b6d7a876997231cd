// DirectInput's force-feedback effects in the terms of SDL's haptic devices.
#pragma once

#include <SDL2/SDL_haptic.h>

#include <optional>

#include "platform/dinput/ForceFeedbackOutput.h"

// The SDL effect that plays `effect`: levels out of 10000 become levels out of 32767 (saturations
// and dead bands out of 65535) with the effect's gain applied, since SDL has no gain per effect;
// microseconds become milliseconds, capped at the 32767 SDL allows; the joystick's first three
// axes carry directions and conditions; a trigger button is counted from 1; a fade to silence
// without an attack ends at level 1, since SDL takes both at 0 for no envelope. Nothing for the
// square wave, which SDL has no counterpart for, or a type-specific block of the wrong size.
std::optional<SDL_HapticEffect> HapticEffectFor(const PlayedEffect& effect);
// The SDL effect type (SDL_HAPTIC_*) that plays effects of this kind; nothing for the square wave.
std::optional<Uint16> HapticTypeFor(const GUID& kind);
