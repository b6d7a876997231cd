// Shared by the tests of the DirectDraw wrappers and the display control: a fresh platform with
// DirectDraw on offer, a fresh application object, and a borderless form to cooperate through.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/DXClass.h"
#include "platform/TestControl.h"
#include "runtime/Forms.h"

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    RegisterDirectDrawModule();
    TestDDrawReset();
    ScreenReset();
    FormsUnitInitialize();
  }
  void TearDown() override {
    FormsUnitFinalize();
    EXPECT_EQ(TestDDrawLiveSurfaces(), 0u) << "a surface outlived its owner";
    FreeLoadedLibraries();
    TestDDrawReset();
    TestResetPlatform();
  }

  // A borderless form at the screen's origin, owned by the application.
  TForm* MakeForm(Integer Width = 640, Integer Height = 480) {
    TForm* form = new TForm(Application);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, Width, Height);
    return form;
  }

  // Runs fn and returns the message of the exception of class E it raises.
  template <class E, class Fn>
  static std::string RaisedMessage(Fn fn) {
    try {
      fn();
    } catch (const E& e) {
      return e.Message();
    }
    return "(nothing raised)";
  }
};
