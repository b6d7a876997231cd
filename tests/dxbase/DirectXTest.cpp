#include "dxbase/DirectX.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>

#include "platform/TestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/FloatingPoint.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Registry.h"
#include "platform/user/User.h"

namespace {

const char* const kDriversKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DirectXDrivers";

void Nothing() {}

// Restores the control word a test changed.
class FloatingPointControl : public ::testing::Test {
 protected:
  void SetUp() override { Saved = GetFloatingPointControlWord(); }
  void TearDown() override { SetFloatingPointControlWord(Saved); }
  uint16_t Saved = 0;
};

class SetupLibrary : public ::testing::Test {
 protected:
  void TearDown() override { TestResetPlatform(); }
};

volatile double zero = 0.0;

}  // namespace

TEST_F(FloatingPointControl, InvalidOperationAndZeroDivideAreMaskedOnBothUnits) {
  SetFloatingPointControlWord(GetFloatingPointControlWord() & ~(FP_MASK_INVALID | FP_MASK_ZERODIVIDE));
  MaskFloatingPointExceptions();
  uint16_t word = GetFloatingPointControlWord();
  EXPECT_EQ(word & (FP_MASK_INVALID | FP_MASK_ZERODIVIDE), FP_MASK_INVALID | FP_MASK_ZERODIVIDE);
  unsigned int csr = _mm_getcsr();
  EXPECT_NE(csr & (1u << 7), 0u);  // SSE invalid-operation mask
  EXPECT_NE(csr & (1u << 9), 0u);  // SSE zero-divide mask
  // With the masks set these yield values instead of trapping.
  EXPECT_TRUE(std::isinf(1.0 / zero));
  EXPECT_TRUE(std::isnan(zero / zero));
  volatile long double extendedZero = 0.0L;
  EXPECT_TRUE(std::isinf(-1.0L / extendedZero));
}

TEST_F(SetupLibrary, PathIsBuiltBesideTheUninstaller) {
  EXPECT_EQ(GetDirectXSetupDllPath(), "");  // no entry: no path
  RegistrySetString(HKEY_LOCAL_MACHINE, kDriversKey, "UninstallString",
                    "C:\\WINDOWS\\SYSTEM\\DXSetup.exe");
  EXPECT_EQ(GetDirectXSetupDllPath(), "C:\\WINDOWS\\SYSTEM\\DSetup.dll");
  RegistrySetString(HKEY_LOCAL_MACHINE, kDriversKey, "UninstallString", "DXSetup.exe");
  EXPECT_EQ(GetDirectXSetupDllPath(), "DSetup.dll");
  RegistrySetString(HKEY_LOCAL_MACHINE, kDriversKey, "UninstallString", "short");
  EXPECT_EQ(GetDirectXSetupDllPath(), "DSetup.dll");
  // Longer than the 256-byte buffer: the value cannot be read.
  RegistrySetString(HKEY_LOCAL_MACHINE, kDriversKey, "UninstallString", std::string(300, 'x'));
  EXPECT_EQ(GetDirectXSetupDllPath(), "");
  RegistrySetString(HKEY_LOCAL_MACHINE, kDriversKey, "Other", "C:\\DXSetup.exe");
  EXPECT_EQ(GetDirectXSetupDllPath(), "");
}

TEST_F(SetupLibrary, StartHoldsTheOfferedLibrariesUntilTheEnd) {
  RegisterBuiltinModule("DPlayX.dll", {{"Nothing", &Nothing}});
  RegisterBuiltinModule("DSetup.dll", {{"Nothing", &Nothing}});
  RegisterRetainedModeModule();
  RegistrySetString(HKEY_LOCAL_MACHINE, kDriversKey, "UninstallString", "C:\\DX\\DXSetup.exe");
  int ddrawBefore = ModuleReferenceCount("DDraw.dll");
  DirectXUnitInitialization();
  EXPECT_EQ(ModuleReferenceCount("DPlayX.dll"), 1);
  EXPECT_EQ(ModuleReferenceCount("DSetup.dll"), 1);
  EXPECT_EQ(ModuleReferenceCount("D3DRM.dll"), 1);
  EXPECT_EQ(ModuleReferenceCount("D3DXOF.DLL"), 0);  // not offered here: stays nil, silently
  DirectXUnitFinalization();
  EXPECT_EQ(ModuleReferenceCount("D3DRM.dll"), 0);
  EXPECT_EQ(ModuleReferenceCount("DPlayX.dll"), 0);
  EXPECT_EQ(ModuleReferenceCount("DSetup.dll"), 0);
  EXPECT_EQ(ModuleReferenceCount("DDraw.dll"), ddrawBefore);
  UnregisterBuiltinModule("DPlayX.dll");
  UnregisterBuiltinModule("DSetup.dll");
}

TEST(InputDataFormats, MouseFormatIsTheStandardMouseLayout) {
  EXPECT_EQ(MouseDataFormat.dwSize, 24u);
  EXPECT_EQ(MouseDataFormat.dwObjSize, 16u);
  EXPECT_EQ(MouseDataFormat.dwFlags, 2u);
  EXPECT_EQ(MouseDataFormat.dwDataSize, 16u);
  ASSERT_EQ(MouseDataFormat.dwNumObjs, 7u);
  const struct {
    const GUID* type;
    DWORD offset;
    DWORD typeBits;
  } expected[7] = {
      {&GUID_XAxis, 0, 0x00FFFF03}, {&GUID_YAxis, 4, 0x00FFFF03}, {&GUID_ZAxis, 8, 0x80FFFF03},
      {nullptr, 12, 0x00FFFF0C},    {nullptr, 13, 0x00FFFF0C},    {nullptr, 14, 0x80FFFF0C},
      {nullptr, 15, 0x80FFFF0C},
  };
  for (int i = 0; i < 7; ++i) {
    const DIOBJECTDATAFORMAT& object = MouseDataFormat.rgodf[i];
    EXPECT_EQ(object.pguid, expected[i].type) << "object " << i;
    EXPECT_EQ(object.dwOfs, expected[i].offset) << "object " << i;
    EXPECT_EQ(object.dwType, expected[i].typeBits) << "object " << i;
    EXPECT_EQ(object.dwFlags, 0u) << "object " << i;
  }
}

TEST(InputDataFormats, StartFillsTheKeyboardFormatWithOneOptionalKeyPerByte) {
  DirectXUnitInitialization();
  DirectXUnitFinalization();
  EXPECT_EQ(KeyboardDataFormat.dwSize, 24u);
  EXPECT_EQ(KeyboardDataFormat.dwObjSize, 16u);
  EXPECT_EQ(KeyboardDataFormat.dwFlags, 2u);
  EXPECT_EQ(KeyboardDataFormat.dwDataSize, 256u);
  ASSERT_EQ(KeyboardDataFormat.dwNumObjs, 256u);
  EXPECT_EQ(KeyboardDataFormat.rgodf[30].dwOfs, 30u);
  EXPECT_EQ(KeyboardDataFormat.rgodf[30].dwType, 0x80001E0Cu);
  for (DWORD key = 0; key < 256; ++key) {
    const DIOBJECTDATAFORMAT& object = KeyboardDataFormat.rgodf[key];
    EXPECT_EQ(object.pguid, &GUID_Key) << "key " << key;
    EXPECT_EQ(object.dwOfs, key) << "key " << key;
    EXPECT_EQ(object.dwType, 0x8000000Cu | (key << 8)) << "key " << key;
    EXPECT_EQ(object.dwFlags, 0u) << "key " << key;
  }
}

// The two formats as DirectInput takes them: the keyboard reads each key at its scan code, the
// mouse reads motion and buttons.
TEST(InputDataFormats, DirectInputReadsThroughBothFormats) {
  TestResetPlatform();
  DirectXUnitInitialization();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcA;
  windowClass.lpszClassName = "InputFormatWindow";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, "InputFormatWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                nullptr, nullptr, nullptr, nullptr);
  ComPtr<IDirectInput> directInput;
  ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, directInput.ReleaseAndGetAddressOf(), nullptr),
            DI_OK);
  ComPtr<IDirectInputDevice> keyboard;
  ComPtr<IDirectInputDevice> mouse;
  ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, keyboard.ReleaseAndGetAddressOf(), nullptr),
            DI_OK);
  ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, mouse.ReleaseAndGetAddressOf(), nullptr),
            DI_OK);
  for (IDirectInputDevice* device : {keyboard.Get(), mouse.Get()})
    ASSERT_EQ(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(keyboard->SetDataFormat(&KeyboardDataFormat), DI_OK);
  ASSERT_EQ(mouse->SetDataFormat(&MouseDataFormat), DI_OK);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  ASSERT_EQ(mouse->Acquire(), DI_OK);

  TestPressKey('A');
  TestPressKey(VK_UP);
  BYTE keys[256];
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  for (DWORD key = 0; key < 256; ++key)
    EXPECT_EQ(keys[key], key == DIK_A || key == DIK_UP ? 0x80 : 0) << "scan code " << key;

  TestMoveMouse(5, 0);
  HostMouseButton(VK_LBUTTON, true);
  DIMOUSESTATE motion{};
  ASSERT_EQ(mouse->GetDeviceState(sizeof(motion), &motion), DI_OK);
  EXPECT_GT(motion.lX, 0);
  EXPECT_EQ(motion.rgbButtons[0], 0x80);

  keyboard.Reset();
  mouse.Reset();
  directInput.Reset();
  DirectXUnitFinalization();
  TestResetPlatform();
}
