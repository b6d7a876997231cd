// Pixel blocks of every format the renderer handles, with random content.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "render/DXRSurface.h"

enum class PixelFormat { Indexed1, Indexed2, Indexed4, Indexed8, RGB565, RGB1555, RGB4444, RGB24, RGB32, ARGB32 };

inline const PixelFormat AllFormats[] = {
    PixelFormat::Indexed1, PixelFormat::Indexed2, PixelFormat::Indexed4, PixelFormat::Indexed8, PixelFormat::RGB565,
    PixelFormat::RGB1555,  PixelFormat::RGB4444,  PixelFormat::RGB24,    PixelFormat::RGB32,    PixelFormat::ARGB32};

inline std::string FormatName(PixelFormat f) {
  static const char* names[] = {"Indexed1", "Indexed2", "Indexed4", "Indexed8", "RGB565",
                                "RGB1555",  "RGB4444",  "RGB24",    "RGB32",    "ARGB32"};
  return names[static_cast<int>(f)];
}

inline uint32_t FormatBits(PixelFormat f) {
  static const uint32_t bits[] = {1, 2, 4, 8, 16, 16, 16, 24, 32, 32};
  return bits[static_cast<int>(f)];
}

// Describes pixels of the given format at `first` (the top row's first byte).
inline void InitFormat(TDXRSurface& desc, PixelFormat format, uint32_t width, uint32_t height, void* first,
                       int32_t pitch) {
  const uint32_t bits = FormatBits(format);
  switch (format) {
    case PixelFormat::Indexed1:
    case PixelFormat::Indexed2:
    case PixelFormat::Indexed4:
    case PixelFormat::Indexed8:
      InitIndexedSurface(desc, width, height, bits, first, pitch, (1u << bits) - 1, 0);
      break;
    case PixelFormat::RGB565:
      InitRGBSurface(desc, width, height, 16, first, pitch, 0xF800, 0x07E0, 0x1F, 0);
      break;
    case PixelFormat::RGB1555:
      InitRGBSurface(desc, width, height, 16, first, pitch, 0x7C00, 0x03E0, 0x1F, 0x8000);
      break;
    case PixelFormat::RGB4444:
      InitRGBSurface(desc, width, height, 16, first, pitch, 0x0F00, 0x00F0, 0x0F, 0xF000);
      break;
    case PixelFormat::RGB24:
      InitRGBSurface(desc, width, height, 24, first, pitch, 0xFF0000, 0xFF00, 0xFF, 0);
      break;
    case PixelFormat::RGB32:
      InitRGBSurface(desc, width, height, 32, first, pitch, 0xFF0000, 0xFF00, 0xFF, 0);
      break;
    case PixelFormat::ARGB32:
      InitRGBSurface(desc, width, height, 32, first, pitch, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
      break;
  }
}

// Owns its memory; `desc` describes it. Rows may be stored bottom-up (negative pitch) and may
// carry padding beyond the pixels.
struct TestSurface {
  std::vector<uint8_t> memory;
  TDXRSurface desc{};

  TestSurface() = default;
  TestSurface(PixelFormat format, uint32_t width, uint32_t height, bool bottomUp = false, uint32_t padding = 0) {
    const uint32_t bits = FormatBits(format);
    const uint32_t pitch = ((width * bits + 31) / 32) * 4 + padding;
    memory.assign(static_cast<size_t>(pitch) * height, 0);
    uint8_t* first = bottomUp ? memory.data() + static_cast<size_t>(pitch) * (height - 1) : memory.data();
    const int32_t signedPitch = bottomUp ? -static_cast<int32_t>(pitch) : static_cast<int32_t>(pitch);
    InitFormat(desc, format, width, height, first, signedPitch);
  }

  TestSurface(const TestSurface& other) : memory(other.memory), desc(other.desc) { Rebase(other); }
  TestSurface& operator=(const TestSurface& other) {
    memory = other.memory;
    desc = other.desc;
    Rebase(other);
    return *this;
  }

  void Randomize(std::mt19937& rng) {
    for (auto& b : memory) b = static_cast<uint8_t>(rng());
    if (desc.ColorType == ColorTypeIndexed)
      for (auto& e : desc.Indexed.Palette)
        e = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), 0};
  }

 private:
  void Rebase(const TestSurface& other) {
    const auto offset = static_cast<uint8_t*>(other.desc.Bits) - other.memory.data();
    desc.Bits = memory.data() + offset;
  }
};
