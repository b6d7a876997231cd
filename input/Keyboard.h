// The keyboard device: a snapshot of all 256 keys, by virtual-key code, each frame, and the
// table that assigns up to three keys to every input state.
#pragma once

#include <array>
#include <initializer_list>

#include "input/DXInput.h"

// Up to three virtual-key codes per state; 0 means no key, and codes outside 1 to 255 never
// match a key. The whole table is 36 rows of three signed 32-bit codes, 432 bytes.
using TKeyAssign = std::array<Integer, 3>;
using TKeyAssignTable = std::array<TKeyAssign, InputStateCount>;
static_assert(sizeof(TKeyAssignTable) == 432);

// Row State := the first (up to) three of Keys, the rest of the row 0.
void SetKeyAssign(TKeyAssignTable& Assigns, TInputState State, std::initializer_list<Integer> Keys);
// The cursor keys, the numeric keypad and H/J/K/L steer; Z or Space, X or Return and F2 are
// the first, second and ninth button.
TKeyAssignTable DefaultKeyAssigns();

// The virtual-key code of a DirectInput scan code; 0 (which never matches) for keys the table
// does not know.
Integer DIKToVirtualKey(Integer ScanCode);

class TKeyboard : public TCustomInput {
  ORVALIS_CLASS(TKeyboard, TCustomInput)

  explicit TKeyboard(TCustomDXInput* DXInput);

  void Finalize() override;
  void Initialize() override;
  void Update() override;
  // Stores "Assigns" (and still reads the misspelt "Aissgns" of older settings).
  void DefineProperties(TFiler& Filer) override;

  const TKeyAssignTable& Assigns() const { return FAssigns; }
  void SetAssigns(const TKeyAssignTable& Value) { FAssigns = Value; }
  // Whether the key of that virtual-key code was down at the last Update; false outside 1..255.
  bool Keys(Integer Key) const;

 private:
  void ReadAssigns(TStream& Stream);
  void WriteAssigns(TStream& Stream);

  std::array<BYTE, 256> FKeyBuffer{};
  TKeyAssignTable FAssigns{};
};
