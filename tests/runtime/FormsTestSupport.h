// Shared by the tests of controls, forms and the application: every test starts with a fresh
// platform and a fresh application object and frees both (with every form) at its end.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TestControl.h"
#include "runtime/Forms.h"

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    FormsUnitInitialize();
  }
  void TearDown() override {
    FormsUnitFinalize();
    TestResetPlatform();
  }
};

// A windowed control that counts its paints.
class TTestPanel : public TCustomControl {
  ORVALIS_CLASS(TTestPanel, TCustomControl)

  using TCustomControl::TCustomControl;
  Integer PaintCount = 0;
  Integer PaletteCalls = 0;
  bool RealizesPalette = false;

  bool PaletteChanged(bool) override {
    ++PaletteCalls;
    return RealizesPalette;
  }

 protected:
  void Paint() override { ++PaintCount; }
};

// Records the messages it sees on a control's WindowProc before passing them on (or not).
class TMessageRecorder : public TObject {
 public:
  explicit TMessageRecorder(TControl* Control, bool PassOn = true)
      : FControl(Control), FPassOn(PassOn), FSaved(Control->WindowProc()) {
    Control->SetWindowProc(MakeEvent<&TMessageRecorder::WndProc>(this));
  }
  ~TMessageRecorder() override { FControl->SetWindowProc(FSaved); }

  bool Saw(UINT Msg) const {
    for (UINT seen : Messages)
      if (seen == Msg) return true;
    return false;
  }

  std::vector<UINT> Messages;
  // Messages of this kind are kept from the control.
  UINT Swallow = WM_NULL;

 private:
  void WndProc(TMessage& Message) {
    Messages.push_back(Message.Msg);
    if (FPassOn && Message.Msg != Swallow) FSaved(Message);
  }

  TControl* FControl;
  bool FPassOn;
  TWndMethod FSaved;
};
