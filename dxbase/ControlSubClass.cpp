#include "dxbase/ControlSubClass.h"

TControlSubClass* TControlSubClass::HookBehind(const TWndMethod& Method) {
  auto* hook = dynamic_cast<TControlSubClass*>(Method.Data());
  return hook && Method == MakeEvent<&TControlSubClass::WndProc>(hook) ? hook : nullptr;
}

TControlSubClass::TControlSubClass(TControl* Control, TSubClassWindowProc WindowProc)
    : FControl(Control), FDefWindowProc(Control->WindowProc()), FWindowProc(WindowProc) {
  FEarlier = HookBehind(FDefWindowProc);
  if (FEarlier) FEarlier->FLater = this;
  FControl->SetWindowProc(MakeEvent<&TControlSubClass::WndProc>(this));
}

TControlSubClass::~TControlSubClass() {
  // A hook freed while a later one still leads to it is taken out of the middle of the chain:
  // the later one is handed what this one replaced, and the control keeps its outermost hook.
  if (FLater) {
    FLater->FDefWindowProc = FDefWindowProc;
    FLater->FEarlier = FEarlier;
  } else {
    FControl->SetWindowProc(FDefWindowProc);
  }
  if (FEarlier) FEarlier->FLater = FLater;
}

void TControlSubClass::WndProc(TMessage& Message) {
  // Without a callback the hook is transparent rather than a call through nil.
  if (FWindowProc)
    FWindowProc(Message, FDefWindowProc);
  else
    FDefWindowProc(Message);
}
