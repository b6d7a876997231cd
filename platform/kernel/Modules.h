// Libraries: the platform offers its modules (DirectDraw, DirectInput, ...) from a table of
// built-in modules instead of files. Names compare without regard to case, and a trailing
// ".dll" may be left out; any directory part of the name is ignored.
#pragma once

#include <map>
#include <string>

#include "platform/kernel/WinTypes.h"

using FARPROC = void (*)();

// Offers a module under this name; exports maps export names (exact case) to their addresses.
// Registering a name again replaces its exports. Modules already loaded keep their handle.
void RegisterBuiltinModule(const std::string& name, const std::map<std::string, FARPROC>& exports);
// Withdraws a module; later loads fail. For tests.
void UnregisterBuiltinModule(const std::string& name);

// Loads (counts a reference on) a built-in module. Null, with ERROR_MOD_NOT_FOUND, for a name no
// module is offered under.
HMODULE LoadLibraryA(const char* fileName);
// Null, with ERROR_PROC_NOT_FOUND, when the module has no such export.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Drops one reference; the handle stays valid until the last one goes.
BOOL FreeLibrary(HMODULE module);
// References the module currently holds; 0 when not loaded. For tests.
int32_t ModuleReferenceCount(const char* name);
