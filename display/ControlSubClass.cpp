#include "display/ControlSubClass.h"

TControlSubClass::TControlSubClass(TControl* Control, TSubClassWindowProc WindowProc)
    : FControl(Control), FDefWindowProc(Control->WindowProc()), FWindowProc(WindowProc) {
  FControl->SetWindowProc(MakeEvent<&TControlSubClass::WndProc>(this));
}

TControlSubClass::~TControlSubClass() { FControl->SetWindowProc(FDefWindowProc); }

void TControlSubClass::WndProc(TMessage& Message) {
  // Without a callback the hook is transparent rather than a call through nil.
  if (FWindowProc)
    FWindowProc(Message, FDefWindowProc);
  else
    FDefWindowProc(Message);
}
