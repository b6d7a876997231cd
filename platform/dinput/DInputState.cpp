#include "platform/dinput/DInputState.h"

HRESULT DInputState::TakeRefusal(DInputCall call) {
  auto found = refusals.find(call);
  if (found == refusals.end()) return S_OK;
  const HRESULT result = found->second.result;
  if (--found->second.remaining == 0) refusals.erase(found);
  return result;
}

DInputState& DInputState::Get() {
  static DInputState state;
  return state;
}
