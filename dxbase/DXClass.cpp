#include "dxbase/DXClass.h"

#include <utility>
#include <vector>

#include "dxbase/DXConsts.h"
#include "runtime/TypInfo.h"

// ---- Library loader ----

namespace {

// The loaded libraries in the order of their first use: lower-cased name and module.
std::vector<std::pair<std::string, HMODULE>>& LibraryCache() {
  static std::vector<std::pair<std::string, HMODULE>> cache;
  return cache;
}

}  // namespace

FARPROC LoadLibraryProc(const std::string& dllName, const std::string& procName) {
  std::string key = AnsiLowerCase(dllName);
  HMODULE module = nullptr;
  for (const auto& [name, handle] : LibraryCache())
    if (name == key) module = handle;
  if (module == nullptr) {
    module = LoadLibraryA(dllName.c_str());
    if (module == nullptr) throw Exception(MsgNotLoaded, {dllName});
    LibraryCache().emplace_back(key, module);
  }
  FARPROC proc = GetProcAddress(module, procName.c_str());
  if (proc == nullptr) throw Exception(MsgNotLoaded, {dllName});
  return proc;
}

void FreeLoadedLibraries() {
  for (const auto& entry : LibraryCache()) FreeLibrary(entry.second);
  LibraryCache().clear();
}

// ---- Helpers ----

DWORD PackColorRGBf(Single r, Single g, Single b) {
  auto component = [](Single value) {
    return static_cast<DWORD>(Round(static_cast<Extended>(value) * 255));
  };
  return 0xFF000000u | (component(r) << 16) | (component(g) << 8) | component(b);
}

// ---- TDirectX ----

const TClassInfo& TDirectX::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDirectX>();
  return info;
}

void TDirectX::SetDXResult(HRESULT value) {
  FDXResult = value;
  if (value != 0) Check();
}
