#include "platform/d3d/FourPixelShader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>

#include "platform/d3d/SettledPixels.h"

// Built with -mavx2 (and without FMA): the driver calls in here only once the processor is known
// to have AVX2. So that no copy of a function shared with other files is built for AVX2 here (the
// linker may keep any one copy of an inline function), this file calls no shared inline function
// that does floating-point or vector work; everything of its own has internal linkage.
//
// Four neighbouring pixels of a row are shaded at once, lane k being pixel x0 + k of a group whose
// x0 is a multiple of four (so a group never straddles two words of the settled mask).
//
// Why each pixel gets exactly the colour Shade gives it: every lane runs the very IEEE double
// operations Shade runs for that lane's pixel, in the same order. Packed adds, multiplies,
// divisions and comparisons round each lane as the scalar instructions round it, and nothing is
// fused: this file is built for AVX2 without FMA, and with -ffp-contract=off besides. Where the
// steps are not one-to-one translations:
//  - Edge values become doubles by adding them, as integers, to the bits of 2^52 + 2^51 and
//    subtracting that as a double. For whole numbers below 2^51 in magnitude both steps are
//    exact, as the plain conversion is; spans reaching larger edge values take the plain path.
//  - Whole: on a finite value, clamping, truncating and stepping down below a negative fraction
//    is the floor of the clamped value, which rounding towards minus infinity gives; where the
//    value is not finite the clamped value is replaced by 0 first, which Whole returns then.
//    Within +-1e9 the result fits a 32-bit lane, as do the texel after it, its wrap by a
//    power-of-two mask (the same low bits in two's complement) and the index of a texel in a
//    texture of at most 2^30 words. Textures of other sizes take the plain path.
//  - The whole position goes back to double by converting the 32-bit integer, as Shade converts
//    the 64-bit one: the same value, +0 for zero.
//  - RoundUp truncates value + 0.5 to 32 bits, as converting to int does.
//  - Modulate of channels x and y in [0, 255]: for n = x * y + 127 = 255q + r (0 <= r < 255,
//    n < 65536), n >> 8 is q when r >= q and q - 1 otherwise, so n + 1 + (n >> 8) lies in
//    [256q, 256q + 255] and shifting it right by 8 gives q, the quotient by 255.
//  - Encoding: see QuadEncoder.
//  - Bilinear sampling at a position that is not finite or lies beyond the farthest texel
//    position is Point(0, 0): a group where a pixel to be drawn meets that is shaded pixel by
//    pixel by Shade itself.
// Lanes beside the span or over settled pixels are worked out too and then dropped: every texel
// they read is wrapped into the texture, so they read nothing out of bounds, and nothing of
// theirs is written.
namespace {

inline __m256d Splat(double value) { return _mm256_set1_pd(value); }

// Whole numbers below 2^51 in magnitude as doubles.
inline __m256d ExactDoubles(__m256i whole) {
  const __m256i bias = _mm256_set1_epi64x(0x4338000000000000);  // the bits of 2^52 + 2^51
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(whole, bias)),
                       Splat(6755399441055744.0));
}

// All ones in the lanes holding a finite value.
inline __m256d FiniteLanes(__m256d value) {
  return _mm256_cmp_pd(_mm256_andnot_pd(Splat(-0.0), value), Splat(INFINITY), _CMP_LT_OQ);
}

// All ones in the lanes within the farthest texel position (so finite too).
inline __m256d NearLanes(__m256d value) {
  return _mm256_cmp_pd(_mm256_andnot_pd(Splat(-0.0), value), Splat(kFarthestTexelPosition),
                       _CMP_LT_OQ);
}

inline __m128i Whole4(__m256d position) {
  const __m256d clamped = _mm256_min_pd(
      _mm256_max_pd(position, Splat(-kFarthestTexelPosition)), Splat(kFarthestTexelPosition));
  const __m256d finite = _mm256_and_pd(clamped, FiniteLanes(position));
  return _mm256_cvttpd_epi32(_mm256_round_pd(finite, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}

inline __m128i RoundUp4(__m256d value) {
  return _mm256_cvttpd_epi32(_mm256_add_pd(value, Splat(0.5)));
}

inline __m256d ToDoubles(__m128i whole) { return _mm256_cvtepi32_pd(whole); }

// ba * first + bb * second + bc * third, with a lane per pixel.
inline __m256d Interpolate4(const __m256d weights[3], double first, double second,
                                         double third) {
  return _mm256_add_pd(
      _mm256_add_pd(_mm256_mul_pd(weights[0], Splat(first)),
                    _mm256_mul_pd(weights[1], Splat(second))),
      _mm256_mul_pd(weights[2], Splat(third)));
}

inline __m128i Modulate4(__m128i x, __m128i y) {
  const __m128i n = _mm_add_epi32(_mm_mullo_epi32(x, y), _mm_set1_epi32(127));
  return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(n, _mm_set1_epi32(1)), _mm_srli_epi32(n, 8)),
                        8);
}

inline ColorQuad Channels4(__m128i color) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  return {_mm_and_si128(color, byte), _mm_and_si128(_mm_srli_epi32(color, 8), byte),
          _mm_and_si128(_mm_srli_epi32(color, 16), byte), _mm_srli_epi32(color, 24)};
}

// The lanes of a 32-bit lane mask, a bit each.
inline int LaneBits(__m128i mask) { return _mm_movemask_ps(_mm_castsi128_ps(mask)); }

inline __m128i Broadcast(int64_t value) {
  return _mm_set1_epi32(static_cast<int>(value));
}

// Shades four pixels of a triangle at once.
class QuadShader {
 public:
  QuadShader(const Triangle& triangle, const QuadEncoder& encoder)
      : triangle_(triangle), encoder_(encoder) {}

  // What Shade gives the four pixels with these edge values: false when a lane among `wanted`
  // needs Shade itself; otherwise their raw target values and the lanes that get a colour.
  bool Shade(__m256i ea, __m256i eb, __m256i ec, int wanted, __m128i& raw, int& given) const {
    const Triangle& t = triangle_;
    const __m256d inverseArea = Splat(t.inverseArea);
    const __m256d weights[3] = {_mm256_mul_pd(ExactDoubles(ea), inverseArea),
                                _mm256_mul_pd(ExactDoubles(eb), inverseArea),
                                _mm256_mul_pd(ExactDoubles(ec), inverseArea)};
    ColorQuad color = VertexColor(weights);
    given = 0xF;
    if (t.sampler) {
      __m256d u, v;
      TextureCoordinates(weights, u, v);
      ColorQuad texel;
      if (t.linear ? !Linear(u, v, wanted, texel, given) : !Point(u, v, texel, given))
        return false;
      if (!(given & wanted)) {
        raw = _mm_setzero_si128();
        return true;
      }
      if (t.states->modulate && !t.white)
        color = {Modulate4(texel.r, color.r), Modulate4(texel.g, color.g),
                 Modulate4(texel.b, color.b), texel.a};
      else
        color = texel;
    }
    raw = encoder_.Encode(color);
    return true;
  }

 private:
  // Shade's colour from the corners.
  ColorQuad VertexColor(const __m256d weights[3]) const {
    const Color* corners = triangle_.color;
    if (triangle_.flatColor)
      return {_mm_set1_epi32(corners[0].r), _mm_set1_epi32(corners[0].g),
              _mm_set1_epi32(corners[0].b), _mm_set1_epi32(corners[0].a)};
    return {RoundUp4(Interpolate4(weights, corners[0].r, corners[1].r, corners[2].r)),
            RoundUp4(Interpolate4(weights, corners[0].g, corners[1].g, corners[2].g)),
            RoundUp4(Interpolate4(weights, corners[0].b, corners[1].b, corners[2].b)),
            RoundUp4(Interpolate4(weights, corners[0].a, corners[1].a, corners[2].a))};
  }

  // Shade's texture coordinates u and v.
  void TextureCoordinates(const __m256d weights[3], __m256d& u, __m256d& v) const {
    const Triangle& t = triangle_;
    if (t.affine) {
      u = Interpolate4(weights, t.tu[0], t.tu[1], t.tu[2]);
      v = Interpolate4(weights, t.tv[0], t.tv[1], t.tv[2]);
      return;
    }
    const __m256d perspective[3] = {_mm256_mul_pd(weights[0], Splat(t.w[0])),
                                    _mm256_mul_pd(weights[1], Splat(t.w[1])),
                                    _mm256_mul_pd(weights[2], Splat(t.w[2]))};
    const __m256d wSum = Interpolate4(weights, t.w[0], t.w[1], t.w[2]);
    u = _mm256_div_pd(Interpolate4(perspective, t.tu[0], t.tu[1], t.tu[2]), wSum);
    v = _mm256_div_pd(Interpolate4(perspective, t.tv[0], t.tv[1], t.tv[2]), wSum);
  }

  // The texels at four indices: their colours, and all ones in the lanes whose texel the key
  // takes (none with the key off).
  struct Texels {
    __m128i colors, keyed;
  };
  Texels Gather(const DecodedTexture& texture, __m128i at) const {
    return Split(_mm256_i32gather_epi64(
        reinterpret_cast<const long long*>(texture.texels.data()), at, 8));
  }

  // The texels at four indices and the ones right of them: two loads a lane, not gathers.
  void GatherPairs(const DecodedTexture& texture, __m128i at, Texels& here, Texels& right) const {
    const uint64_t* texels = texture.texels.data();
    alignas(16) int32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), at);
    auto pair = [texels](int32_t i) { return reinterpret_cast<const __m128i*>(texels + i); };
    // Lanes 0 and 1 (then 2 and 3) as colour and key here, colour and key right, of one lane and
    // then the other; regrouped so that each 64 bits hold one of those for both lanes.
    const __m256i byKind = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const __m256i low =
        _mm256_permutevar8x32_epi32(_mm256_loadu2_m128i(pair(index[1]), pair(index[0])), byKind);
    const __m256i high =
        _mm256_permutevar8x32_epi32(_mm256_loadu2_m128i(pair(index[3]), pair(index[2])), byKind);
    // The four colours here, then the four right; the same for the keys.
    const __m256i colors = _mm256_unpacklo_epi64(low, high);
    const __m256i keyed = triangle_.sampler->ColorKey() ? _mm256_unpackhi_epi64(low, high)
                                                         : _mm256_setzero_si256();
    here = {_mm256_castsi256_si128(colors), _mm256_castsi256_si128(keyed)};
    right = {_mm256_extracti128_si256(colors, 1), _mm256_extracti128_si256(keyed, 1)};
  }

  Texels Split(__m256i words) const {
    // Low halves to the low four lanes, high halves to the high four.
    const __m256i halves =
        _mm256_permutevar8x32_epi32(words, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    return {_mm256_castsi256_si128(halves), triangle_.sampler->ColorKey()
                                                ? _mm256_extracti128_si256(halves, 1)
                                                : _mm_setzero_si128()};
  }

  // For pixels known to get no colour before their texels are read.
  static bool NoColor(ColorQuad& texel) {
    texel = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    return true;
  }

  // SnappedTexel, wrapped.
  static __m128i SnappedTexel4(__m256d coordinate, int64_t size) {
    const __m256d scaled =
        _mm256_mul_pd(_mm256_mul_pd(coordinate, Splat(static_cast<double>(size))),
                      Splat(1 << kSubTexelBits));
    return _mm_and_si128(
        _mm_srai_epi32(Whole4(_mm256_add_pd(scaled, Splat(0.5))), kSubTexelBits),
        Broadcast(size - 1));
  }

  // TextureSampler::Point.
  bool Point(__m256d u, __m256d v, ColorQuad& texel, int& given) const {
    const DecodedTexture& texture = triangle_.sampler->Texture();
    const __m128i at = _mm_add_epi32(
        _mm_mullo_epi32(SnappedTexel4(v, texture.height), Broadcast(texture.stride)),
        SnappedTexel4(u, texture.width));
    const Texels texels = Gather(texture, at);
    texel = Channels4(texels.colors);
    given &= ~LaneBits(texels.keyed);
    return true;
  }

  // TextureSampler::Linear.
  bool Linear(__m256d u, __m256d v, int wanted, ColorQuad& texel, int& given) const {
    const DecodedTexture& texture = triangle_.sampler->Texture();
    const __m256d x =
        _mm256_sub_pd(_mm256_mul_pd(u, Splat(static_cast<double>(texture.width))), Splat(0.5));
    const __m256d y =
        _mm256_sub_pd(_mm256_mul_pd(v, Splat(static_cast<double>(texture.height))), Splat(0.5));
    if ((_mm256_movemask_pd(_mm256_and_pd(NearLanes(x), NearLanes(y))) & wanted) != wanted)
      return false;
    const __m128i left = Whole4(x), top = Whole4(y);
    const __m128i one = _mm_set1_epi32(1);
    const __m128i columnMask = Broadcast(texture.width - 1);
    const __m128i rowMask = Broadcast(texture.height - 1);
    const __m128i columns[2] = {_mm_and_si128(left, columnMask),
                                _mm_and_si128(_mm_add_epi32(left, one), columnMask)};
    const __m128i rows[2] = {_mm_and_si128(top, rowMask),
                             _mm_and_si128(_mm_add_epi32(top, one), rowMask)};
    if (triangle_.sampler->ColorKey()) {
      // A footprint keyed throughout weighs nothing, which is less than half: no colour, and
      // nothing to read when that holds for every pixel wanted.
      given &= OpaqueFootprints(texture, columns[0], rows[0]);
      if (!(given & wanted)) return NoColor(texel);
    }
    const __m256d fx = _mm256_sub_pd(x, ToDoubles(left)), fy = _mm256_sub_pd(y, ToDoubles(top));
    const __m256d restX = _mm256_sub_pd(Splat(1), fx), restY = _mm256_sub_pd(Splat(1), fy);
    const __m256d weights[4] = {_mm256_mul_pd(restX, restY), _mm256_mul_pd(fx, restY),
                                _mm256_mul_pd(restX, fy), _mm256_mul_pd(fx, fy)};
    // The second column is the word after the first in each row.
    const __m128i stride = Broadcast(texture.stride);
    Texels texels[4];
    GatherPairs(texture, _mm_add_epi32(_mm_mullo_epi32(rows[0], stride), columns[0]), texels[0],
                texels[1]);
    GatherPairs(texture, _mm_add_epi32(_mm_mullo_epi32(rows[1], stride), columns[0]), texels[2],
                texels[3]);
    texel = WeightedAverage(texels, weights, given);
    return true;
  }

  // The lanes whose footprint from texel (column, row) holds a texel the key leaves, a bit each.
  static int OpaqueFootprints(const DecodedTexture& texture, __m128i column, __m128i row) {
    const __m128i word = _mm_add_epi32(_mm_mullo_epi32(row, Broadcast(texture.footprintWords)),
                                       _mm_srli_epi32(column, 6));
    const __m256i words = _mm256_i32gather_epi64(
        reinterpret_cast<const long long*>(texture.footprints.data()), word, 8);
    const __m256i bits = _mm256_and_si256(
        _mm256_srlv_epi64(words, _mm256_cvtepi32_epi64(_mm_and_si128(column, _mm_set1_epi32(63)))),
        _mm256_set1_epi64x(1));
    return _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_sub_epi64(_mm256_setzero_si256(), bits)));
  }

  // The weighted average of the footprint's texels not keyed, as in TextureSampler::Linear; no
  // colour (taken from `given`) where they weigh less than half.
  static ColorQuad WeightedAverage(const Texels texels[4], const __m256d weights[4], int& given) {
    __m256d weightSum = _mm256_setzero_pd(), r = weightSum, g = weightSum, b = weightSum,
            a = weightSum;
    for (int i = 0; i < 4; ++i) {
      // A keyed texel weighs +0 and is added all the same, as in TextureSampler::Linear.
      const __m256d weight = _mm256_andnot_pd(
          _mm256_castsi256_pd(_mm256_cvtepi32_epi64(texels[i].keyed)), weights[i]);
      const ColorQuad channels = Channels4(texels[i].colors);
      weightSum = _mm256_add_pd(weightSum, weight);
      r = _mm256_add_pd(r, _mm256_mul_pd(weight, ToDoubles(channels.r)));
      g = _mm256_add_pd(g, _mm256_mul_pd(weight, ToDoubles(channels.g)));
      b = _mm256_add_pd(b, _mm256_mul_pd(weight, ToDoubles(channels.b)));
      a = _mm256_add_pd(a, _mm256_mul_pd(weight, ToDoubles(channels.a)));
    }
    given &= ~_mm256_movemask_pd(_mm256_cmp_pd(weightSum, Splat(0.5), _CMP_LT_OQ));
    const __m256d scale = _mm256_div_pd(Splat(1), weightSum);
    return {RoundUp4(_mm256_mul_pd(r, scale)), RoundUp4(_mm256_mul_pd(g, scale)),
            RoundUp4(_mm256_mul_pd(b, scale)), RoundUp4(_mm256_mul_pd(a, scale))};
  }

  const Triangle& triangle_;
  const QuadEncoder& encoder_;
};

// Whether ExactDoubles converts every edge value of the span's groups of four, from the first
// group's first pixel to the last group's last. They lie furthest from zero at the ends.
bool ExactAsDoubles(const Triangle& triangle, const Span& span) {
  constexpr int64_t kLimit = int64_t{1} << 51;
  auto exact = [](int64_t value) { return value > -kLimit && value < kLimit; };
  const int64_t start = span.first & ~int64_t{3}, end = span.last | 3;
  const int64_t edges[3] = {span.atFirst.bc, span.atFirst.ca, span.atFirst.ab};
  const int64_t steps[3] = {triangle.stepBC, triangle.stepCA, triangle.stepAB};
  for (int i = 0; i < 3; ++i)
    if (!exact(edges[i] - (start - span.first) * steps[i]) ||
        !exact(edges[i] - (end - span.first) * steps[i]))
      return false;
  return true;
}

// Writes the lanes `given` (a bit each) of raw as the pixels from x0 of the span's row.
void StoreGroup(const Canvas& canvas, const Span& span, int64_t x0, __m128i raw, int given) {
  if (canvas.bytesPerPixel == 4) {
    BYTE* pixels = span.pixels + x0 * 4;
    if (given == 0xF) {  // the most common case, and a plain store is the cheapest
      _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), raw);
      return;
    }
    // One store of the lanes given; the others, beyond the row's end included, are not touched.
    const __m128i laneBits = _mm_setr_epi32(1, 2, 4, 8);
    const __m128i store =
        _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(given), laneBits), laneBits);
    _mm_maskstore_epi32(reinterpret_cast<int*>(pixels), store, raw);
    return;
  }
  alignas(16) uint32_t values[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(values), raw);
  for (int lanesLeft = given; lanesLeft; lanesLeft &= lanesLeft - 1) {
    const int lane = std::countr_zero(static_cast<unsigned>(lanesLeft));
    WriteRawPixel(span.pixels, x0 + lane, canvas.bytesPerPixel, values[lane]);
  }
}

}  // namespace

QuadEncoder::QuadEncoder(const PixelCodec& codec) {
  alignas(16) int8_t bytePlaces[16];
  std::fill(std::begin(bytePlaces), std::end(bytePlaces), -1);  // a zero byte
  for (int i = 0; i < 4; ++i) {
    const Channel& channel = *codec.Channels()[i];
    // Channel::From8: wide channels shift up to their place, narrow ones lose their low bits
    // first; a missing channel has no mask bits.
    const bool wide = channel.bits >= 8;
    rightShifts_[i] = _mm_cvtsi32_si128(wide ? 0 : 8 - channel.bits);
    leftShifts_[i] = _mm_cvtsi32_si128(wide ? channel.wideShift : channel.shift);
    masks_[i] = _mm_set1_epi32(static_cast<int>(channel.mask));
    if (channel.mask == 0) continue;
    bytewise_ = bytewise_ && channel.bits == 8 && channel.shift % 8 == 0;
    if (channel.bits == 8 && channel.shift % 8 == 0)
      for (int lane = 0; lane < 4; ++lane)
        bytePlaces[lane * 4 + channel.shift / 8] = static_cast<int8_t>(i * 4 + lane);
  }
  bytePlaces_ = _mm_load_si128(reinterpret_cast<const __m128i*>(bytePlaces));
}

__m128i QuadEncoder::Encode(const ColorQuad& color) const {
  if (bytewise_) {
    // Every channel a whole byte in its place, or missing. Saturating to 16 bits with sign
    // and then to unsigned bytes clamps to [0, 255] as From8 does; the shuffle puts each
    // channel's byte where its mask is and zeros elsewhere.
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(color.r, color.g),
                                           _mm_packs_epi32(color.b, color.a));
    return _mm_shuffle_epi8(bytes, bytePlaces_);
  }
  const __m128i channels[4] = {color.r, color.g, color.b, color.a};
  __m128i raw = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    const __m128i clamped =
        _mm_min_epi32(_mm_max_epi32(channels[i], _mm_setzero_si128()), _mm_set1_epi32(255));
    const __m128i placed =
        _mm_sll_epi32(_mm_srl_epi32(clamped, rightShifts_[i]), leftShifts_[i]);
    raw = _mm_or_si128(raw, _mm_and_si128(placed, masks_[i]));
  }
  return raw;
}

bool PaintSpanFourAtOnce(const Canvas& canvas, const QuadEncoder& encoder,
                         const Triangle& triangle, SettledPixels& settled, const Span& span) {
  if (!ExactAsDoubles(triangle, span)) return false;
  const QuadShader shader(triangle, encoder);
  const int64_t edges[3] = {span.atFirst.bc, span.atFirst.ca, span.atFirst.ab};
  const int64_t steps[3] = {triangle.stepBC, triangle.stepCA, triangle.stepAB};
  // A lane's edge values from the group's first pixel's.
  __m256i laneSteps[3];
  for (int i = 0; i < 3; ++i)
    laneSteps[i] = _mm256_setr_epi64x(0, -steps[i], -2 * steps[i], -3 * steps[i]);
  // Only groups with open pixels are visited: in a crowded frame many are settled already.
  for (int64_t word = span.first / 64; word <= span.last / 64; ++word) {
    for (uint64_t open = settled.OpenInWord(span.row, word, span.first, span.last); open;) {
      const int64_t x0 = word * 64 + (std::countr_zero(open) & ~3);
      const int wanted = static_cast<int>(open >> (x0 % 64)) & 0xF;
      open &= ~(uint64_t{0xF} << (x0 % 64));
      __m256i lanes[3];
      for (int i = 0; i < 3; ++i)
        lanes[i] = _mm256_add_epi64(_mm256_set1_epi64x(edges[i] - (x0 - span.first) * steps[i]),
                                    laneSteps[i]);
      __m128i raw;
      int given;
      if (shader.Shade(lanes[0], lanes[1], lanes[2], wanted, raw, given)) {
        given &= wanted;
        if (!given) continue;  // in a crowded frame, most groups the key leaves alone
        StoreGroup(canvas, span, x0, raw, given);
        settled.SettleGroup(span.row, x0, given);
      } else {
        PaintLanesOnePixelAtATime(canvas, triangle, settled, span, x0, wanted);
      }
    }
  }
  return true;
}
