#include "platform/user/Keyboard.h"

#include <array>
#include <cstring>

#include "platform/user/KeyState.h"

namespace {

constexpr BYTE kHeld = 0x80;
constexpr BYTE kToggled = 0x01;

std::array<BYTE, 256>& States() {
  static std::array<BYTE, 256> states{};
  return states;
}

// The side-less keys are held while either side is.
void UpdateCombined(int32_t combined, int32_t left, int32_t right) {
  BYTE& state = States()[combined];
  const bool held = (States()[left] & kHeld) || (States()[right] & kHeld);
  state = static_cast<BYTE>((state & ~kHeld) | (held ? kHeld : 0));
}

}  // namespace

bool KeyHeld(int32_t virtualKey) {
  return virtualKey > 0 && virtualKey < 256 && (States()[virtualKey] & kHeld);
}

void SetKeyHeld(int32_t virtualKey, bool held) {
  if (virtualKey <= 0 || virtualKey >= 256) return;
  BYTE& state = States()[virtualKey];
  if (held && !(state & kHeld)) state ^= kToggled;
  state = static_cast<BYTE>((state & ~kHeld) | (held ? kHeld : 0));
  UpdateCombined(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
  UpdateCombined(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
  UpdateCombined(VK_MENU, VK_LMENU, VK_RMENU);
}

void ReleaseAllKeys() {
  for (BYTE& state : States()) state &= ~kHeld;
}

void ResetKeyState() { States().fill(0); }

BOOL GetKeyboardState(BYTE* keyState) {
  if (!keyState) return FALSE;
  std::memcpy(keyState, States().data(), States().size());
  return TRUE;
}

int16_t GetKeyState(int32_t virtualKey) {
  if (virtualKey <= 0 || virtualKey >= 256) return 0;
  const BYTE state = States()[virtualKey];
  return static_cast<int16_t>(((state & kHeld) ? 0x8000 : 0) | (state & kToggled));
}

int16_t GetAsyncKeyState(int32_t virtualKey) {
  return static_cast<int16_t>(KeyHeld(virtualKey) ? 0x8000 : 0);
}
