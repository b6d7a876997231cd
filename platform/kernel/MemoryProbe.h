// Asks whether memory can be read, without touching it.
#pragma once

#include <cstddef>

#include "platform/kernel/WinTypes.h"

// TRUE when some of the size bytes at address cannot be read; FALSE for size 0.
BOOL IsBadHugeReadPtr(const void* address, size_t size);
