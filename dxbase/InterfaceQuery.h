// Asking one platform interface for another of the same object, as the wrappers do for every
// interface version they keep.
#pragma once

#include "platform/kernel/ComPtr.h"

// Fills target with source's interface iid; target is left as it was when source lacks it.
template <class T>
void QueryInto(IUnknown* source, REFIID iid, ComPtr<T>& target) {
  void* object = nullptr;
  if (source->QueryInterface(iid, &object) == S_OK)
    target = ComPtr<T>::Attach(static_cast<T*>(object));
}
