// The kernel services in one include.
#pragma once

#include "platform/kernel/Arithmetic.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/FloatingPoint.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/kernel/LastError.h"
#include "platform/kernel/MemoryProbe.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Registry.h"
#include "platform/kernel/VirtualMemory.h"
