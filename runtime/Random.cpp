#include "runtime/Random.h"

uint32_t RandSeed = 0;

Integer Random(Integer n) {
  RandSeed = RandSeed * 134775813u + 1u;
  uint64_t product = static_cast<uint64_t>(RandSeed) * static_cast<uint32_t>(n);
  return static_cast<Integer>(product >> 32);
}
