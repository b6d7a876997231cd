// The binding of the DirectX libraries at program start: the libraries held for the whole run,
// the program-wide floating-point mask and the two DirectInput data formats Input hands to
// DirectInput. Every DirectX entry point itself is bound through LoadLibraryProc (DXClass.h).
#pragma once

#include <string>

#include "platform/dinput/DInput.h"
#include "platform/kernel/WinTypes.h"

// The start of the layer, before any form exists: loads the seven libraries (each that is
// missing stays nil, silently), masks the invalid-operation and zero-divide floating-point
// exceptions and fills the keyboard data format.
void DirectXUnitInitialization();
// The end of the layer, after every form and component is gone: frees the seven libraries in
// the order they were loaded.
void DirectXUnitFinalization();

// Sets the invalid-operation and zero-divide masks of the floating-point control word (x87 and
// SSE alike), so that such operations yield infinities and not-a-numbers instead of trapping.
void MaskFloatingPointExceptions();

// DirectInput's standard keyboard format: 256 optional keys, key i reported in byte i. Its objects
// are filled by the start of the layer; before that it names no keys.
extern DIDATAFORMAT KeyboardDataFormat;
// DirectInput's standard mouse format: a DIMOUSESTATE of three relative axes (the wheel optional)
// and four button bytes (the last two optional).
extern const DIDATAFORMAT MouseDataFormat;

// The path of the DirectX setup library, built from the uninstall entry of the DirectX drivers in
// the registry; empty when that entry cannot be read.
std::string GetDirectXSetupDllPath();
