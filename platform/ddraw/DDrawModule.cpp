// The entry points of "DDraw.dll" and their offer in the kernel's module table.
#include "platform/ddraw/DirectDrawObject.h"
#include "platform/ddraw/DisplayDevice.h"
#include "platform/kernel/Modules.h"

namespace {

// The special driver identities callers may pass instead of an enumerated GUID; they name the
// primary display driver too and must never be read through.
GUID* const kHardwareOnly = reinterpret_cast<GUID*>(1);
GUID* const kEmulationOnly = reinterpret_cast<GUID*>(2);

HRESULT CreateObject(GUID* guid, IUnknown* outer, DirectDrawObject** object) {
  *object = nullptr;
  if (const HRESULT refused = DisplayDevice::Get().TakeRefusal(DDrawCall::DirectDrawCreate))
    return refused;
  if (outer) return CLASS_E_NOAGGREGATION;
  // The only driver is enumerated without a GUID, so no other GUID names one.
  if (guid && guid != kHardwareOnly && guid != kEmulationOnly) return DDERR_INVALIDDIRECTDRAWGUID;
  *object = new DirectDrawObject();
  return DD_OK;
}

char kDriverDescription[] = "Primary Display Driver";
char kDriverName[] = "display";

}  // namespace

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  DirectDrawObject* object;
  if (const HRESULT result = CreateObject(guid, outer, &object)) return result;
  *directDraw = object;
  return DD_OK;
}

HRESULT DirectDrawCreateEx(GUID* guid, void** directDraw, REFIID iid, IUnknown* outer) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (!(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  DirectDrawObject* object;
  if (const HRESULT result = CreateObject(guid, outer, &object)) return result;
  *directDraw = static_cast<IDirectDraw7*>(object);
  return DD_OK;
}

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  callback(nullptr, kDriverDescription, kDriverName, context);
  return DD_OK;
}

void SetDirectDrawInterfaceProviders(DirectDrawInterfaceProvider directDrawProvider,
                                     DirectDrawSurfaceInterfaceProvider surfaceProvider) {
  DisplayDevice& device = DisplayDevice::Get();
  device.directDrawProvider = directDrawProvider;
  device.surfaceProvider = surfaceProvider;
}

void RegisterDirectDrawModule() {
  RegisterBuiltinModule(
      "DDraw.dll", {
                       {"DirectDrawCreate", reinterpret_cast<FARPROC>(&DirectDrawCreate)},
                       {"DirectDrawCreateEx", reinterpret_cast<FARPROC>(&DirectDrawCreateEx)},
                       {"DirectDrawEnumerateA", reinterpret_cast<FARPROC>(&DirectDrawEnumerateA)},
                   });
}
