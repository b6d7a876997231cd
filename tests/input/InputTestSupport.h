// Shared by the input tests: a fresh platform with DirectInput on offer, the display layer's
// start (which fills the keyboard's data format), an application object and a shown borderless
// form in the foreground for the input component to live on. Every DirectInput object, device
// and effect made during a test must be gone at its end.
#pragma once

#include <gtest/gtest.h>

#include "dxbase/DXClass.h"
#include "dxbase/DirectX.h"
#include "input/DXInput.h"
#include "input/Joystick.h"
#include "input/Keyboard.h"
#include "platform/TestControl.h"
#include "runtime/Forms.h"
#include "tests/MessageOf.h"

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    RegisterDirectInputModule();
    DirectXUnitInitialization();
    FormsUnitInitialize();
    DXInputUnitInitialization();
    form = MakeForm();
  }

  void TearDown() override {
    FormsUnitFinalize();
    DXInputUnitFinalization();
    EXPECT_EQ(TestDInputLiveInstances(), 0u) << "a DirectInput object was not released";
    EXPECT_TRUE(TestDInputDevices().empty()) << "a device was not released";
    EXPECT_TRUE(TestDInputEffects().empty()) << "an effect was not released";
    FreeLoadedLibraries();
    DirectXUnitFinalization();
    RegisterDirectInputModule();
    TestResetPlatform();
  }

  // A shown borderless form; the newest one shown is the foreground window.
  static TForm* MakeForm() {
    TForm* made = new TForm(Application);
    made->SetBorderStyle(bsNone);
    made->SetBounds(0, 0, 320, 240);
    made->Show();
    return made;
  }

  // An input component on the form, initialised as loading it from the form would.
  TDXInput* MakeInput() {
    auto* input = new TDXInput(form);
    input->Initialize();
    return input;
  }

  // DirectInput is not installed: "DInput.dll" cannot be loaded.
  static void WithdrawDirectInput() {
    FreeLoadedLibraries();
    UnregisterBuiltinModule("DInput.dll");
  }

  TForm* form = nullptr;
};
