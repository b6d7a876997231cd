// Page-granular memory with access protection, for code generated at run time: written while
// readable and writable, then switched to executable before it runs.
#pragma once

#include <cstddef>

#include "platform/kernel/WinTypes.h"

constexpr DWORD MEM_COMMIT = 0x00001000;
constexpr DWORD MEM_RESERVE = 0x00002000;
constexpr DWORD MEM_RELEASE = 0x00008000;

constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD PAGE_EXECUTE = 0x10;
constexpr DWORD PAGE_EXECUTE_READ = 0x20;
constexpr DWORD PAGE_EXECUTE_READWRITE = 0x40;

// A new region of whole pages, zero-filled (address must be null: placing is not offered).
// Null with ERROR_INVALID_PARAMETER or ERROR_NOT_ENOUGH_MEMORY.
void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect);
// Only MEM_RELEASE of a whole region (size 0, the address VirtualAlloc returned).
BOOL VirtualFree(void* address, size_t size, DWORD freeType);
// Changes the protection of the pages covering [address, address + size) inside one region.
BOOL VirtualProtect(void* address, size_t size, DWORD newProtect, DWORD* oldProtect);
