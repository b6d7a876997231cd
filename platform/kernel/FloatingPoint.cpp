#include "platform/kernel/FloatingPoint.h"

#include <xmmintrin.h>

namespace {
constexpr uint16_t kExceptionMasks = 0x003F;
constexpr int kSseMaskShift = 7;  // SSE keeps the same six masks from bit 7 up
}  // namespace

uint16_t GetFloatingPointControlWord() {
  uint16_t controlWord = 0;
  asm volatile("fnstcw %0" : "=m"(controlWord));
  return controlWord;
}

void SetFloatingPointControlWord(uint16_t controlWord) {
  asm volatile("fnclex\n\tfldcw %0" : : "m"(controlWord));
  unsigned int csr = _mm_getcsr();
  csr &= ~(static_cast<unsigned int>(kExceptionMasks) << kSseMaskShift);
  csr |= static_cast<unsigned int>(controlWord & kExceptionMasks) << kSseMaskShift;
  // Clear pending flags too, or unmasking a flag already raised would trap at once.
  csr &= ~static_cast<unsigned int>(kExceptionMasks);
  _mm_setcsr(csr);
}
