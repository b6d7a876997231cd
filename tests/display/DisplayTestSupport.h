// Shared by the tests of the DirectDraw wrappers and the display control: a fresh platform with
// DirectDraw on offer, a fresh application object, and a borderless form to cooperate through.
#pragma once

#include <gtest/gtest.h>

#include "display/DXDraw.h"
#include "dxbase/DXClass.h"
#include "platform/TestControl.h"
#include "runtime/Forms.h"
#include "tests/MessageOf.h"

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    RegisterDirectDrawModule();
    RegisterRetainedModeModule();
    FormsUnitInitialize();
  }
  void TearDown() override {
    FormsUnitFinalize();
    EXPECT_EQ(TestDDrawLiveSurfaces(), 0u) << "a surface outlived its owner";
    FreeLoadedLibraries();
    TestResetPlatform();
  }

  // A borderless form at the screen's origin, owned by the application.
  TForm* MakeForm(Integer Width = 640, Integer Height = 480) {
    TForm* form = new TForm(Application);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, Width, Height);
    return form;
  }

  // A display filling the form, left for the test to initialise.
  static TDXDraw* MakeClientDisplay(TForm* form, TDXDrawOptions options) {
    TDXDraw* dx = new TDXDraw(form);
    dx->SetAutoInitialize(false);
    dx->SetParent(form);
    dx->SetAlign(alClient);
    dx->SetOptions(options);
    return dx;
  }
};
