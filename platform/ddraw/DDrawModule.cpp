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
  DisplayDevice& device = DisplayDevice::Get();
  if (const HRESULT refused = device.TakeRefusal(DDrawCall::DirectDrawCreate)) return refused;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (guid == kHardwareOnly || guid == kEmulationOnly) guid = nullptr;
  uint32_t driver;
  if (!device.FindDriver(guid, driver)) return DDERR_INVALIDDIRECTDRAWGUID;
  *object = new DirectDrawObject(driver);
  return DD_OK;
}

constexpr const char* kDriverDescription = "Primary Display Driver";
constexpr const char* kDriverName = "display";

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
  // A copy, so a callback that changes the list does not pull it from under the loop.
  std::vector<DDrawTestDriver> drivers = DisplayDevice::Get().ListedDrivers();
  if (drivers.empty()) drivers.push_back(TestDDrawDefaultDriver());
  for (DDrawTestDriver& driver : drivers)
    if (!callback(driver.hasGuid ? &driver.guid : nullptr, driver.description.data(),
                  driver.name.data(), context))
      break;
  return DD_OK;
}

uint32_t DirectDrawDriverOf(IDirectDraw7* directDraw) {
  return static_cast<DirectDrawObject*>(directDraw)->Driver();
}

DDrawTestDriver TestDDrawDefaultDriver() {
  DDrawTestDriver driver;
  driver.description = kDriverDescription;
  driver.name = kDriverName;
  driver.driverCaps.dwSize = sizeof(DDCAPS);
  driver.emulationCaps.dwSize = sizeof(DDCAPS);
  DirectDrawObject::DescribeDefaultDriver(driver.driverCaps, false);
  DirectDrawObject::DescribeDefaultDriver(driver.emulationCaps, true);
  return driver;
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
