// The registry: a small in-memory store of string values. It starts empty; tests fill it.
#pragma once

#include <string>

#include "platform/kernel/WinTypes.h"

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});

using REGSAM = DWORD;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_READ = 0x20019;

constexpr DWORD REG_SZ = 1;
constexpr LONG ERROR_MORE_DATA = 234;

// The result is an error code: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a missing key or value,
// ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, or ERROR_MORE_DATA when the buffer is short
// (the size needed is stored then).
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegCloseKey(HKEY key);

// Test control: creates the key path as needed and stores a string value (REG_SZ).
void RegistrySetString(HKEY root, const std::string& subKey, const std::string& valueName,
                       const std::string& value);
// Test control: empties the registry and closes every open key.
void RegistryClear();
