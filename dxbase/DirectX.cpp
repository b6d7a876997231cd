#include "dxbase/DirectX.h"

#include <array>
#include <cstring>

#include "platform/kernel/FloatingPoint.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Registry.h"

namespace {

// The libraries held from start to end, in the order they are loaded and freed: DirectDraw,
// the X-file loader, retained mode, DirectInput, DirectPlay, the setup library, DirectSound.
std::array<HMODULE, 7> heldLibraries{};

enum HeldLibrary { kDDraw, kD3DXOF, kD3DRM, kDInput, kDPlayX, kDSetup, kDSound };

DIOBJECTDATAFORMAT keyboardObjects[256];

constexpr DIOBJECTDATAFORMAT kMouseObjects[] = {
    {&GUID_XAxis, 0, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_YAxis, 4, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_ZAxis, 8, DIDFT_OPTIONAL | DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {nullptr, 12, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, 13, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, 14, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, 15, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
};

// Key i is the button of instance i (its scan code) and lands in byte i; keys a keyboard lacks
// are left out.
void InitKeyboardDataFormat() {
  for (DWORD key = 0; key < 256; ++key)
    keyboardObjects[key] = {&GUID_Key, key,
                            DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(key), 0};
}

}  // namespace

// The record sizes are those of the 32-bit originals, which DirectInput takes as version tags.
DIDATAFORMAT KeyboardDataFormat = {24, 16, DIDF_RELAXIS, 256, 256, keyboardObjects};
const DIDATAFORMAT MouseDataFormat = {24, 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7, kMouseObjects};

void MaskFloatingPointExceptions() {
  SetFloatingPointControlWord(GetFloatingPointControlWord() | FP_MASK_INVALID | FP_MASK_ZERODIVIDE);
}

std::string GetDirectXSetupDllPath() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DirectXDrivers", 0,
                    KEY_READ, &key) != 0)
    return "";
  // The value is read into a zeroed buffer and taken up to its first zero byte.
  char buffer[256] = {};
  DWORD type = 0;
  DWORD size = sizeof(buffer);
  LONG result = RegQueryValueExA(key, "UninstallString", nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (result != 0) return "";
  std::string uninstall(buffer, strnlen(buffer, sizeof(buffer)));
  // The uninstaller's file name is 11 characters long; the setup library lies beside it.
  return uninstall.substr(0, uninstall.size() > 11 ? uninstall.size() - 11 : 0) + "DSetup.dll";
}

void DirectXUnitInitialization() {
  heldLibraries[kDDraw] = LoadLibraryA("DDraw.dll");
  MaskFloatingPointExceptions();
  heldLibraries[kD3DXOF] = LoadLibraryA("D3DXOF.DLL");
  heldLibraries[kD3DRM] = LoadLibraryA("D3DRM.dll");
  InitKeyboardDataFormat();
  heldLibraries[kDInput] = LoadLibraryA("DInput.dll");
  heldLibraries[kDPlayX] = LoadLibraryA("DPlayX.dll");
  std::string setupPath = GetDirectXSetupDllPath();
  heldLibraries[kDSetup] = setupPath.empty() ? nullptr : LoadLibraryA(setupPath.c_str());
  heldLibraries[kDSound] = LoadLibraryA("DSound.dll");
}

void DirectXUnitFinalization() {
  for (HMODULE& library : heldLibraries) {
    if (library) FreeLibrary(library);
    library = nullptr;
  }
}
