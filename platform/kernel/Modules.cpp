#include "platform/kernel/Modules.h"

#include <cctype>
#include <memory>

#include "platform/kernel/LastError.h"

namespace {

struct BuiltinModule {
  std::map<std::string, FARPROC> exports;
  int32_t references = 0;
  bool offered = true;
};

// Keyed by the normalised name. Entries are never removed while loaded, so handles (the
// entry addresses) stay valid.
std::map<std::string, std::unique_ptr<BuiltinModule>>& Modules() {
  static std::map<std::string, std::unique_ptr<BuiltinModule>> modules;
  return modules;
}

// "C:\Windows\System\DDRAW.DLL" and "ddraw" both become "ddraw.dll".
std::string NormalisedName(const std::string& name) {
  std::string result = name.substr(name.find_last_of("\\/") == std::string::npos
                                       ? 0
                                       : name.find_last_of("\\/") + 1);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (result.find('.') == std::string::npos) result += ".dll";
  return result;
}

BuiltinModule* FromHandle(HMODULE module) {
  for (auto& entry : Modules())
    if (reinterpret_cast<HMODULE>(entry.second.get()) == module) return entry.second.get();
  return nullptr;
}

}  // namespace

void RegisterBuiltinModule(const std::string& name, const std::map<std::string, FARPROC>& exports) {
  std::unique_ptr<BuiltinModule>& slot = Modules()[NormalisedName(name)];
  if (!slot) slot = std::make_unique<BuiltinModule>();
  slot->exports = exports;
  slot->offered = true;
}

void UnregisterBuiltinModule(const std::string& name) {
  auto found = Modules().find(NormalisedName(name));
  if (found == Modules().end()) return;
  // A loaded module keeps its entry until its last reference goes, so its handle stays valid.
  found->second->offered = false;
  if (found->second->references == 0) Modules().erase(found);
}

HMODULE LoadLibraryA(const char* fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto found = Modules().find(NormalisedName(fileName));
  if (found == Modules().end() || !found->second->offered) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++found->second->references;
  return reinterpret_cast<HMODULE>(found->second.get());
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
  BuiltinModule* builtin = FromHandle(module);
  if (!builtin || builtin->references == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Exports are only found by name; a small number in place of a name asks by ordinal.
  const bool byName = reinterpret_cast<uintptr_t>(procName) >= 0x10000;
  auto found = byName ? builtin->exports.find(procName) : builtin->exports.end();
  if (found == builtin->exports.end()) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return found->second;
}

BOOL FreeLibrary(HMODULE module) {
  BuiltinModule* builtin = FromHandle(module);
  if (!builtin || builtin->references == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --builtin->references;
  if (builtin->references == 0 && !builtin->offered)
    for (auto entry = Modules().begin(); entry != Modules().end(); ++entry)
      if (entry->second.get() == builtin) {
        Modules().erase(entry);
        break;
      }
  return TRUE;
}

int32_t ModuleReferenceCount(const char* name) {
  auto found = Modules().find(NormalisedName(name ? name : ""));
  return found == Modules().end() ? 0 : found->second->references;
}
