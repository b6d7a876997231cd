// The program's one random generator: a 32-bit linear congruential sequence, stepped before each
// draw, so a given seed always yields the same world.
#pragma once

#include <cstdint>

#include "runtime/SysUtils.h"

extern uint32_t RandSeed;

// Steps the seed (seed * 134775813 + 1, modulo 2^32) and returns the upper half of the 64-bit
// product of the new seed and n: a value in 0 .. n-1 for a positive n, 0 for n = 0. A negative
// n is taken as the unsigned 32-bit number of the same bits, as the original generator did.
Integer Random(Integer n);
