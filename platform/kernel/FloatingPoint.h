// The floating-point control word in the x87 layout: bits 0 to 5 mask the invalid-operation,
// denormal, zero-divide, overflow, underflow and precision exceptions. Setting it applies the
// masks to both the x87 unit and SSE, which does the program's double arithmetic here.
#pragma once

#include <cstdint>

constexpr uint16_t FP_MASK_INVALID = 0x0001;
constexpr uint16_t FP_MASK_DENORMAL = 0x0002;
constexpr uint16_t FP_MASK_ZERODIVIDE = 0x0004;
constexpr uint16_t FP_MASK_OVERFLOW = 0x0008;
constexpr uint16_t FP_MASK_UNDERFLOW = 0x0010;
constexpr uint16_t FP_MASK_PRECISION = 0x0020;

uint16_t GetFloatingPointControlWord();
void SetFloatingPointControlWord(uint16_t controlWord);
