// The reference counting every platform object shares: an object starts with the one reference
// its creator hands out and deletes itself when the last one is released.
#pragma once

#include "platform/kernel/WinTypes.h"

template <class Interface>
class CountedObject : public Interface {
 public:
  ULONG AddRef() override { return ++references_; }

  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  CountedObject() = default;
  ~CountedObject() override = default;

  // QueryInterface for an object that offers only IUnknown and its own interface `own`.
  HRESULT QueryOwnInterface(REFIID iid, REFIID own, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown) && !(iid == own)) return E_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }

 private:
  ULONG references_ = 1;
};
