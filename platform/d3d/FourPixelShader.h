// The four-pixel shader: four neighbouring pixels of a span shaded at once with AVX2, each
// getting exactly the colour the one-pixel shader gives it. FourPixelShader.cpp alone is built
// for AVX2; nothing here may be called before the processor is known to have it, except
// FourPixelShaderHandles.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "platform/d3d/Painters.h"
#include "platform/d3d/TextureSampling.h"
#include "platform/d3d/Triangle.h"

class SettledPixels;

// Whether the four-pixel shader can shade the triangle at all: untextured, or with a texture whose
// sides are powers of two and whose texel indices fit 32-bit lanes.
inline bool FourPixelShaderHandles(const Triangle& triangle) {
  if (!triangle.sampler) return true;
  const DecodedTexture& texture = triangle.sampler->Texture();
  auto powerOfTwo = [](int64_t side) { return side > 0 && (side & (side - 1)) == 0; };
  return powerOfTwo(texture.width) && powerOfTwo(texture.height) &&
         texture.stride * texture.height <= (int64_t{1} << 30);
}

// Four pixels' colours, a 32-bit lane each.
struct ColorQuad {
  __m128i r, g, b, a;
};

// PixelCodec::Encode for four pixels at once, worked out once for a batch.
class QuadEncoder {
 public:
  explicit QuadEncoder(const PixelCodec& codec);

  __m128i Encode(const ColorQuad& color) const;

 private:
  __m128i rightShifts_[4], leftShifts_[4], masks_[4];
  // Whether every channel of the target is 8 bits at a whole byte, or missing; then where each
  // byte of the four encoded pixels comes from, among the channels' bytes packed red first.
  bool bytewise_ = true;
  __m128i bytePlaces_;
};

// Paints the open pixels of the span four at a time, as the one-pixel shader would one at a time;
// false, having painted nothing, when the span's edge values are too large for it.
bool PaintSpanFourAtOnce(const Canvas& canvas, const QuadEncoder& encoder,
                         const Triangle& triangle, SettledPixels& settled, const Span& span);
