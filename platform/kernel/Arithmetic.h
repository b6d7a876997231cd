// Integer helpers of the platform.
#pragma once

#include "platform/kernel/WinTypes.h"

// number * numerator / denominator with a 64-bit intermediate, rounded to nearest with halves
// away from zero. -1 when the denominator is 0 or the result does not fit 32 bits.
INT MulDiv(INT number, INT numerator, INT denominator);
