#include "platform/kernel/Arithmetic.h"

#include <cstdint>
#include <limits>

INT MulDiv(INT number, INT numerator, INT denominator) {
  if (denominator == 0) return -1;
  const int64_t product = int64_t{number} * int64_t{numerator};
  const bool negative = (product < 0) != (denominator < 0);
  // Both magnitudes fit unsigned 64 bits: |product| <= 2^62 and |denominator| <= 2^31.
  const uint64_t magnitude = product < 0 ? 0 - static_cast<uint64_t>(product)
                                         : static_cast<uint64_t>(product);
  const uint64_t divisor = denominator < 0 ? 0 - static_cast<uint64_t>(int64_t{denominator})
                                           : static_cast<uint64_t>(denominator);
  const uint64_t rounded = (magnitude + divisor / 2) / divisor;
  const uint64_t limit = negative ? uint64_t{1} << 31 : uint64_t{std::numeric_limits<INT>::max()};
  if (rounded > limit) return -1;
  return negative ? static_cast<INT>(-static_cast<int64_t>(rounded)) : static_cast<INT>(rounded);
}
