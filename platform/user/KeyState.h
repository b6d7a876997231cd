// The key state table behind GetKeyboardState; written by the host input only.
#pragma once

#include <cstdint>

bool KeyHeld(int32_t virtualKey);
// Left and right Shift, Ctrl and Alt also update their side-less key.
void SetKeyHeld(int32_t virtualKey, bool held);
void ReleaseAllKeys();
void ResetKeyState();  // also clears the toggles
