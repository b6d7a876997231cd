// SDL scan codes to the platform's virtual-key codes.
#pragma once

#include <SDL2/SDL_scancode.h>

#include <cstdint>

// 0 for keys the platform has no code for.
int32_t VirtualKeyFromScancode(SDL_Scancode scancode);
