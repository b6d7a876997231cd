// Watching every message of another control (usually the enclosing form) without deriving from
// it: the control's WindowProc is replaced by ours, and each message goes to a callback together
// with the procedure it replaced, so the callback decides whether and when the control's own
// handling runs.
#pragma once

#include "runtime/Controls.h"
#include "runtime/Object.h"

// The callback: the message and the control's previous message procedure. Not calling that
// procedure keeps the message from the control.
using TSubClassWindowProc = TEvent<TMessage&, TWndMethod>;

class TControlSubClass : public TObject {
 public:
  // Installs the hook: saves Control's WindowProc and puts our own in its place.
  TControlSubClass(TControl* Control, TSubClassWindowProc WindowProc);
  // Puts back the procedure replaced at creation. Hooks stacked on one control are normally freed
  // in the reverse order of their creation; one freed earlier leaves the chain through it intact.
  ~TControlSubClass() override;

  TControl* Control() const { return FControl; }
  TWndMethod DefWindowProc() const { return FDefWindowProc; }
  TSubClassWindowProc WindowProc() const { return FWindowProc; }

  // The control's message procedure while the hook is installed: hands the message to the
  // callback (straight to the replaced procedure when there is no callback).
  void WndProc(TMessage& Message);

 private:
  // The hook whose message procedure Method is, or nil when it is some other procedure.
  static TControlSubClass* HookBehind(const TWndMethod& Method);

  TControl* FControl;
  TWndMethod FDefWindowProc;
  TSubClassWindowProc FWindowProc;
  // Neighbours in the chain of hooks on the same control: the one this hook replaced, and the
  // one that replaced this hook.
  TControlSubClass* FEarlier = nullptr;
  TControlSubClass* FLater = nullptr;
};
