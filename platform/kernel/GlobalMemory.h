// Global memory blocks: fixed blocks whose handle is their address, and moveable blocks reached
// through GlobalLock. Blocks not freed by their owner are released at process exit.
#pragma once

#include <cstddef>

#include "platform/kernel/WinTypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Null (with ERROR_NOT_ENOUGH_MEMORY or ERROR_INVALID_PARAMETER) when the block cannot be had.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// Address of the block's memory; counts a lock on moveable blocks. Null for an unknown handle.
void* GlobalLock(HGLOBAL block);
// TRUE while the block stays locked; FALSE once unlocked (last error ERROR_SUCCESS), or on
// misuse (ERROR_NOT_LOCKED, ERROR_INVALID_HANDLE).
BOOL GlobalUnlock(HGLOBAL block);
// Size asked for at allocation; 0 for an unknown handle.
size_t GlobalSize(HGLOBAL block);
// Null on success, the handle back when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL block);
