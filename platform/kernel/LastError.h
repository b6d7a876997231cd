// The per-thread error code of the last failing platform call.
#pragma once

#include "platform/kernel/WinTypes.h"

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

DWORD GetLastError();
void SetLastError(DWORD code);
