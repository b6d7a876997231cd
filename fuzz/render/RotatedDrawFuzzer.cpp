// Rotated draws with arbitrary placement, size, source rectangle, centre, angle, blend and key
// onto and from exactly sized pixel blocks: nothing may be read or written outside them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/DXRRotate.h"

namespace {

template <class T>
T Take(const uint8_t*& data, size_t& size) {
  T value{};
  const size_t n = size < sizeof(T) ? size : sizeof(T);
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

struct Block {
  std::vector<uint8_t> pixels;
  TDXRSurface desc{};

  // A small surface of one of the formats the renderer meets, rows possibly bottom-up.
  Block(uint8_t format, uint8_t width, uint8_t height) {
    static const uint32_t bits[] = {8, 16, 16, 24, 32, 32, 4};
    const uint32_t bitCount = bits[format % 7];
    const uint32_t w = 1 + width % 40, h = 1 + height % 40;
    const uint32_t pitch = (w * bitCount + 31) / 32 * 4;
    pixels.assign(static_cast<size_t>(pitch) * h, 0x5A);
    const bool bottomUp = format & 0x80;
    uint8_t* first = bottomUp ? pixels.data() + static_cast<size_t>(pitch) * (h - 1) : pixels.data();
    const int32_t signedPitch = bottomUp ? -static_cast<int32_t>(pitch) : static_cast<int32_t>(pitch);
    switch (format % 7) {
      case 0: InitIndexedSurface(desc, w, h, 8, first, signedPitch, 0xFF, 0); break;
      case 1: InitRGBSurface(desc, w, h, 16, first, signedPitch, 0xF800, 0x07E0, 0x1F, 0); break;
      case 2: InitRGBSurface(desc, w, h, 16, first, signedPitch, 0x0F00, 0xF0, 0x0F, 0xF000); break;
      case 3: InitRGBSurface(desc, w, h, 24, first, signedPitch, 0xFF0000, 0xFF00, 0xFF, 0); break;
      case 4: InitRGBSurface(desc, w, h, 32, first, signedPitch, 0xFF0000, 0xFF00, 0xFF, 0); break;
      case 5: InitRGBSurface(desc, w, h, 32, first, signedPitch, 0xFF0000, 0xFF00, 0xFF, 0xFF000000); break;
      default: InitIndexedSurface(desc, w, h, 4, first, signedPitch, 0x0F, 0); break;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Block dest(Take<uint8_t>(data, size), Take<uint8_t>(data, size), Take<uint8_t>(data, size));
  Block src(Take<uint8_t>(data, size), Take<uint8_t>(data, size), Take<uint8_t>(data, size));
  const auto x = Take<int16_t>(data, size), y = Take<int16_t>(data, size);
  const auto width = Take<int16_t>(data, size), height = Take<int16_t>(data, size);
  const RECT rect = {Take<int8_t>(data, size), Take<int8_t>(data, size), Take<int8_t>(data, size),
                     Take<int8_t>(data, size)};
  const double centerX = Take<int16_t>(data, size) / 64.0, centerY = Take<int16_t>(data, size) / 64.0;
  const auto angle = Take<int32_t>(data, size);
  const auto blend = static_cast<TDXRBlendMode>(Take<uint8_t>(data, size) % BlendModeCount);
  const auto alpha = Take<int32_t>(data, size);
  const auto key = Take<uint32_t>(data, size);
  SetRenderOption(1, key & 1);
  DrawRotatedBlend(dest.desc, src.desc, x, y, width, height, rect, centerX, centerY, angle, blend, alpha, key & 2,
                   key >> 2);
  return 0;
}
