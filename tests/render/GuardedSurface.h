// Pixels that end (or start) exactly at a page nobody may touch. The address sanitizer does not
// see the loads and stores of generated code; against a guard page any access past the pixels
// faults at once.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/render/TestSurfaces.h"

class GuardedSurface {
 public:
  // Rows are exactly as long as their pixels, with no padding to hide an overrun in.
  // `againstEnd`: the last byte touches the following guard page, else the first byte touches
  // the preceding one.
  GuardedSurface(PixelFormat format, uint32_t width, uint32_t height, bool bottomUp, bool againstEnd) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t pitch = (static_cast<size_t>(width) * FormatBits(format) + 7) / 8;
    bytes_ = pitch * height;
    mappingSize_ = ((bytes_ + page - 1) / page + 2) * page;
    void* mapping = mmap(nullptr, mappingSize_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) std::abort();
    mapping_ = static_cast<uint8_t*>(mapping);
    if (mprotect(mapping_ + page, mappingSize_ - 2 * page, PROT_READ | PROT_WRITE) != 0) std::abort();
    pixels_ = againstEnd ? mapping_ + mappingSize_ - page - bytes_ : mapping_ + page;
    uint8_t* first = bottomUp ? pixels_ + pitch * (height - 1) : pixels_;
    const auto signedPitch = static_cast<int32_t>(bottomUp ? -static_cast<int64_t>(pitch) : pitch);
    InitFormat(desc, format, width, height, first, signedPitch);
  }
  ~GuardedSurface() { munmap(mapping_, mappingSize_); }
  GuardedSurface(const GuardedSurface&) = delete;
  GuardedSurface& operator=(const GuardedSurface&) = delete;

  // Pixels and palette from `seed`, so that colour keys and blends take every branch.
  void Fill(uint32_t seed) {
    for (size_t i = 0; i < bytes_; ++i) {
      seed = seed * 1664525u + 1013904223u;
      pixels_[i] = static_cast<uint8_t>(seed >> 24) & 0x0F;  // few values: keys match often
    }
    if (desc.ColorType == ColorTypeIndexed)
      for (auto& entry : desc.Indexed.Palette) entry = {static_cast<uint8_t>(seed), 0x80, 0x40, 0};
  }

  std::vector<uint8_t> Pixels() const { return {pixels_, pixels_ + bytes_}; }

  TDXRSurface desc{};

 private:
  uint8_t* mapping_ = nullptr;
  uint8_t* pixels_ = nullptr;
  size_t mappingSize_ = 0, bytes_ = 0;
};
