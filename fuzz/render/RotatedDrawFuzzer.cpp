// Rotated draws over the whole range of every argument (positions, sizes, source rectangle,
// centres including NaN and infinities, angle, blend, alpha, key) between pixel blocks of every
// bit count, rows either way up, against guard pages: the generated code's accesses are not
// seen by the address sanitizer, so any access outside the pixels must fault instead.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "render/DXRRotate.h"
#include "tests/render/GuardedSurface.h"

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

// Format, layout and size (1 to 64 pixels a side) from four bytes.
std::unique_ptr<GuardedSurface> TakeSurface(const uint8_t*& data, size_t& size) {
  const auto format = Take<uint8_t>(data, size);
  const auto width = Take<uint8_t>(data, size), height = Take<uint8_t>(data, size);
  auto surface = std::make_unique<GuardedSurface>(AllFormats[format % std::size(AllFormats)], 1 + width % 64,
                                                  1 + height % 64, format & 0x40, format & 0x80);
  surface->Fill(Take<uint8_t>(data, size));
  return surface;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto dest = TakeSurface(data, size);
  const auto src = TakeSurface(data, size);
  const auto x = Take<int32_t>(data, size), y = Take<int32_t>(data, size);
  const auto width = Take<int32_t>(data, size), height = Take<int32_t>(data, size);
  const RECT rect = {Take<int32_t>(data, size), Take<int32_t>(data, size), Take<int32_t>(data, size),
                     Take<int32_t>(data, size)};
  const auto centerX = Take<double>(data, size), centerY = Take<double>(data, size);
  const auto angle = Take<int32_t>(data, size);
  const auto blend = static_cast<TDXRBlendMode>(Take<uint8_t>(data, size));  // invalid modes draw nothing
  const auto alpha = Take<int32_t>(data, size);
  const auto key = Take<uint32_t>(data, size);
  const auto options = Take<uint8_t>(data, size);
  SetRenderOption(1, options & 1);
  DrawRotatedBlend(*RenderMachine(), dest->desc, src->desc, x, y, width, height, rect, centerX, centerY, angle, blend,
                   alpha, options & 2, key);
  return 0;
}
