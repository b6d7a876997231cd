// The rasteriser's driver: the stages of a batch, and the one place that chooses who paints it.
//
// A batch goes through these stages, each filling the working memory kept from batch to batch:
//  1. texture decoding (TextureSampling.h): each texture once, all at once on the workers;
//  2. triangle set-up (Triangle.h): each strip's triangles, all at once on the workers, into
//     their places in batch order, keyed ones narrowed to where their texture's opaque texels
//     reach, with their pixel boxes kept apart;
//  3. the choice of painter and shader, from the table below;
//  4. band binning (BandBinning.h): each triangle listed, with its box, in the bands of rows its
//     box reaches, pieces of the batch at once on the workers;
//  5. painting (Painters.h): every band at once on the workers, each by the painter chosen, the
//     bands with the longest lists taken first (a few bands, in pieces of columns).
// A batch may also be drawn a few bands at a time (DrawRows), each stage going on from where it
// was left.
#include "platform/d3d/Rasterizer.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <iterator>
#include <optional>
#include <vector>

#include "platform/d3d/BandBinning.h"
#include "platform/d3d/FourPixelShader.h"
#include "platform/d3d/Painters.h"
#include "platform/d3d/TextureSampling.h"
#include "platform/d3d/Triangle.h"
#include "platform/ddraw/PixelFormats.h"
#include "platform/kernel/ParallelFor.h"

namespace {

// Who paints a batch and how its pixels are shaded: the chain from the plain way, which defines
// the result, to the fastest. Every way gives the very pixels of the plain one; the file of each
// says why.
//
//  0. The plain way: triangle after triangle in batch order, pixel by pixel, each with the
//     one-pixel shader (OnePixelShader.h) and blended over what the pixel holds: PaintInOrder.
//  1. A batch with a texture that is also its target reads pixels it writes, anywhere on the
//     target: it is painted the plain way on this thread, a triangle at a time, and that texture
//     is decoded afresh before each triangle reading it, so it reads what the triangles before
//     left.
//  2. A batch where some primitive blends: a pixel's colour depends on what it held, so pixels
//     are painted in batch order, but bands of rows share no pixel: PaintInOrder, the bands at
//     once on the workers.
//  3. A batch that does not blend: the colour a triangle gives a pixel depends on the triangle
//     alone, so each band is painted from the last triangle to the first, a pixel settled by the
//     first that gives it a colour, and triangles over settled pixels passed over:
//     PaintLastToFirst, the bands at once on the workers. Shaded four pixels at once when the
//     device asks for the widest shading and the processor has AVX2, else one at a time.
//  4. Within PaintLastToFirst with four pixels at once, from coarse to fine, the one-pixel shader
//     takes over
//     a. for a triangle whose texture's sides are not powers of two, or whose texels are too
//        many for 32-bit indices (FourPixelShaderHandles);
//     b. for a span whose edge values are not exact as doubles (ExactAsDoubles in
//        FourPixelShader.cpp): the span is shaded one pixel at a time;
//     c. for a group of four where bilinear sampling meets a position that is not finite or is
//        beyond the farthest texel position: the group's pixels are shaded one at a time.
//     The rest is shaded four pixels at a time (PaintSpanFourAtOnce).
enum class Painter { InOrderOnThisThread, InOrderByBands, LastToFirstByBands };
enum class Shader { OnePixel, FourPixels };

// Fewer bands than this, painted from last to first, are painted in pieces of columns, about this
// many to a band.
constexpr size_t kFewBands = 16;
constexpr int64_t kColumnPieces = 8;

// What the chain asks of a batch.
struct BatchTraits {
  bool readsTarget;  // some texture is the target itself
  bool blends;       // some primitive blends
  bool fourPixels;   // the widest shading asked for, and the processor has AVX2
};

struct Way {
  Painter painter;
  Shader shader;
  bool (*applies)(const BatchTraits& batch);
};

// Steps 1 to 3 of the chain, in order: the first way that applies paints the batch.
constexpr Way kWays[] = {
    {Painter::InOrderOnThisThread, Shader::OnePixel,
     [](const BatchTraits& batch) { return batch.readsTarget; }},
    {Painter::InOrderByBands, Shader::OnePixel,
     [](const BatchTraits& batch) { return batch.blends; }},
    {Painter::LastToFirstByBands, Shader::FourPixels,
     [](const BatchTraits& batch) { return batch.fourPixels; }},
    {Painter::LastToFirstByBands, Shader::OnePixel, [](const BatchTraits&) { return true; }},
};

const Way& ChooseWay(const BatchTraits& batch) {
  return *std::find_if(std::begin(kWays), std::end(kWays),
                       [&](const Way& way) { return way.applies(batch); });
}

bool IsTarget(const TextureSource& texture, const LockedPixels& target) {
  return texture.pixels.bits == target.bits;
}

BatchTraits Traits(std::span<const StripToDraw> strips, std::span<const TextureSource> textures,
                   const LockedPixels& target, ShadingWidth shading) {
  BatchTraits batch{false, false,
                    shading == ShadingWidth::Widest && __builtin_cpu_supports("avx2")};
  for (const StripToDraw& strip : strips) {
    batch.blends = batch.blends || strip.states.alphaBlend;
    batch.readsTarget = batch.readsTarget || (strip.states.texture != kNoTexture &&
                                              IsTarget(textures[strip.states.texture], target));
  }
  return batch;
}

}  // namespace

// The working memory of a batch, and the stages that fill it. A batch may be drawn a few rows at
// a time, as whatever reads its target asks for them, and then the rest: what the stages made
// for it stays until the batch is drawn throughout, and each stage goes on from where it was.
struct Rasterizer::Work {
  std::deque<DecodedTexture> decoded;   // never shrunk, so each keeps its memory too
  std::deque<TextureSampler> samplers;  // per texture, key off then on; triangles point here
  size_t texturesDecoded = 0;
  std::vector<size_t> firstTriangle = {0};  // per strip set up, and the end
  size_t stripsSetUp = 0;
  const StripToDraw* stripsSetUpFrom = nullptr;  // where those strips' states were
  std::vector<Triangle> triangles;      // never shrunk: growing it again would clear it again
  std::vector<PixelBox> boxes;          // never shrunk either; the batch's come first
  BandBins bands;
  // The triangles the bands list (the batch's first), and the bands that list them.
  static constexpr size_t kNoneBinned = SIZE_MAX;
  size_t trianglesBinned = kNoneBinned;
  size_t firstBandBinned = 0, lastBandBinned = 0;
  std::vector<uint32_t> paintedThrough;  // per band: the triangles painted there, from the first
  std::vector<Band> bandsToPaint;        // their unpainted triangles, in the order they are taken

  void DecodeTextures(std::span<const TextureSource> textures);
  std::span<Triangle> SetUpTriangles(std::span<const D3DTLVERTEX> vertices,
                                     std::span<const StripToDraw> strips,
                                     std::span<const TextureSource> textures,
                                     const LockedPixels& target);
  void Draw(std::span<const D3DTLVERTEX> vertices, std::span<const StripToDraw> strips,
            std::span<const TextureSource> textures, const LockedPixels& target,
            ShadingWidth shading, int64_t top, int64_t bottom);
  void PaintReadingTarget(const Canvas& canvas, std::span<const Triangle> triangles,
                          std::span<const TextureSource> textures);
  void PaintBands(const Canvas& canvas, std::span<const Triangle> triangles, const Way& way,
                  size_t firstBand, size_t lastBand);
  void Forget();
};

// Each texture is decoded once for the batch, all of them at once, and read with the key on or
// off.
void Rasterizer::Work::DecodeTextures(std::span<const TextureSource> textures) {
  if (decoded.size() < textures.size()) decoded.resize(textures.size());
  ParallelFor<size_t>(texturesDecoded, textures.size(), 1,
                      [&](size_t i) { Decode(textures[i], decoded[i]); });
  for (; texturesDecoded < textures.size(); ++texturesDecoded) {
    samplers.emplace_back(decoded[texturesDecoded], false);
    samplers.emplace_back(decoded[texturesDecoded], true);
  }
}

// Every triangle is set up once, on whatever worker is free; strip triangle k lands at
// firstTriangle[strip] + k, so the batch order stays the order of the array. A triangle keyed
// from a texture other than the target is narrowed to where its opaque texels reach (the target
// changes as the batch is painted).
std::span<Triangle> Rasterizer::Work::SetUpTriangles(std::span<const D3DTLVERTEX> vertices,
                                                     std::span<const StripToDraw> strips,
                                                     std::span<const TextureSource> textures,
                                                     const LockedPixels& target) {
  // The strips set up before keep their triangles; the states those point to may have moved with
  // the strips given since.
  if (stripsSetUpFrom != strips.data())
    for (size_t i = 0; i < stripsSetUp; ++i)
      for (size_t at = firstTriangle[i]; at < firstTriangle[i + 1]; ++at)
        triangles[at].states = &strips[i].states;
  stripsSetUpFrom = strips.data();
  firstTriangle.resize(strips.size() + 1);
  for (size_t i = stripsSetUp; i < strips.size(); ++i)
    firstTriangle[i + 1] = firstTriangle[i] + strips[i].vertexCount - 2;
  const size_t triangleCount = firstTriangle.back();
  if (triangles.size() < triangleCount) triangles.resize(triangleCount);
  // Kept apart from the triangles, so binning reads a few bytes a triangle (and lists them beside
  // the triangles of each band, for passing over hidden ones).
  if (boxes.size() < triangleCount) boxes.resize(triangleCount);
  ParallelFor<size_t>(stripsSetUp, strips.size(), 256, [&](size_t i) {
    const StripToDraw& strip = strips[i];
    const RasterStates& states = strip.states;
    const TextureSource* texture =
        states.texture == kNoTexture ? nullptr : &textures[states.texture];
    const TextureSampler* sampler =
        texture ? &samplers[static_cast<size_t>(states.texture) * 2 + states.colorKey] : nullptr;
    const bool fixedTexture = texture && !IsTarget(*texture, target);
    const D3DTLVERTEX* corners = &vertices[strip.firstVertex];
    for (size_t k = 0; k + 2 < strip.vertexCount; ++k) {
      // Every second triangle of a strip runs the other way round; swapping two corners keeps
      // the whole strip facing one way.
      const D3DTLVERTEX& first = corners[k % 2 == 0 ? k : k + 1];
      const D3DTLVERTEX& second = corners[k % 2 == 0 ? k + 1 : k];
      const size_t at = firstTriangle[i] + k;
      const bool drawn =
          SetUp(first, second, corners[k + 2], states, texture, sampler, triangles[at]) &&
          (!fixedTexture || NarrowToOpaqueTexels(triangles[at]));
      boxes[at] = drawn ? triangles[at].Box() : PixelBox{};
    }
  });
  stripsSetUp = strips.size();
  return std::span(triangles.data(), triangleCount);
}

// Way 1 of the chain, for every row: a triangle is painted into the runs of bands where it has
// not been painted yet.
void Rasterizer::Work::PaintReadingTarget(const Canvas& canvas,
                                          std::span<const Triangle> triangles,
                                          std::span<const TextureSource> textures) {
  const int64_t height = static_cast<int64_t>(canvas.pixels.height);
  for (uint32_t i = 0; i < triangles.size(); ++i) {
    if (boxes[i].top > boxes[i].bottom) continue;
    const int texture = triangles[i].states->texture;
    if (texture != kNoTexture && IsTarget(textures[texture], canvas.pixels))
      Decode(textures[texture], decoded[texture]);
    for (size_t band = 0; band < paintedThrough.size();) {
      if (paintedThrough[band] > i) {
        ++band;
        continue;
      }
      const size_t first = band;
      while (band < paintedThrough.size() && paintedThrough[band] <= i) ++band;
      PaintInOrder(canvas, triangles,
                   Band{std::span(&i, 1), std::span(&boxes[i], 1),
                        static_cast<int64_t>(first) * kBandRows,
                        std::min(height, static_cast<int64_t>(band) * kBandRows)});
    }
  }
  std::fill(paintedThrough.begin(), paintedThrough.end(), static_cast<uint32_t>(triangles.size()));
}

// Ways 2 and 3 of the chain, for bands [firstBand, lastBand]: each with the triangles not painted
// there yet, which come last in its list.
void Rasterizer::Work::PaintBands(const Canvas& canvas, std::span<const Triangle> triangles,
                                  const Way& way, size_t firstBand, size_t lastBand) {
  std::optional<QuadEncoder> fourAtOnce;
  if (way.shader == Shader::FourPixels) fourAtOnce.emplace(canvas.codec);
  // A swarm piles its triangles into a few bands; one of those started last would keep every
  // other worker waiting, so the bands with the longest lists are taken first. Bands share no
  // pixel, so the order they are painted in changes none.
  bandsToPaint.clear();
  for (size_t band = firstBand; band <= lastBand; ++band) {
    const Band whole = bands[band];
    const size_t painted = static_cast<size_t>(
        std::lower_bound(whole.triangles.begin(), whole.triangles.end(), paintedThrough[band]) -
        whole.triangles.begin());
    bandsToPaint.push_back(Band{whole.triangles.subspan(painted), whole.boxes.subspan(painted),
                                whole.top, whole.bottom});
  }
  std::stable_sort(bandsToPaint.begin(), bandsToPaint.end(), [](const Band& a, const Band& b) {
    return a.triangles.size() > b.triangles.size();
  });
  // The few bands of a line of text are too few to keep the workers busy: painted from last to
  // first, each is cut into columns (whole words of the settled mask), which share no pixel
  // either.
  const int64_t width = static_cast<int64_t>(canvas.pixels.width);
  const int64_t columns =
      way.painter == Painter::LastToFirstByBands && bandsToPaint.size() < kFewBands
          ? std::max<int64_t>((width / kColumnPieces + 63) / 64 * 64, 64)
          : width;
  const size_t pieces = static_cast<size_t>((width + columns - 1) / columns);
  // Each call paints one piece of a band, the next not taken yet.
  std::atomic<size_t> taken = 0;
  ParallelFor<size_t>(0, bandsToPaint.size() * pieces, 1, [&](size_t) {
    const size_t next = taken.fetch_add(1, std::memory_order_relaxed);
    const Band& band = bandsToPaint[next / pieces];
    const int64_t left = static_cast<int64_t>(next % pieces) * columns;
    if (way.painter == Painter::InOrderByBands)
      PaintInOrder(canvas, triangles, band);
    else
      PaintLastToFirst(canvas, triangles, band, fourAtOnce ? &*fourAtOnce : nullptr,
                       left, left + columns);
  });
  for (size_t band = firstBand; band <= lastBand; ++band)
    paintedThrough[band] = static_cast<uint32_t>(triangles.size());
}

void Rasterizer::Work::Draw(std::span<const D3DTLVERTEX> vertices,
                            std::span<const StripToDraw> strips,
                            std::span<const TextureSource> textures, const LockedPixels& target,
                            ShadingWidth shading, int64_t top, int64_t bottom) {
  const int64_t height = static_cast<int64_t>(target.height);
  top = std::max<int64_t>(top, 0);
  bottom = std::min(bottom, height);
  if (top >= bottom) return;
  DecodeTextures(textures);
  const std::span<const Triangle> triangles = SetUpTriangles(vertices, strips, textures, target);
  paintedThrough.resize(static_cast<size_t>((height + kBandRows - 1) / kBandRows), 0);
  const Canvas canvas{target, PixelCodec(target.format), BytesPerPixel(target.format)};
  const Way& way = ChooseWay(Traits(strips, textures, target, shading));
  if (way.painter == Painter::InOrderOnThisThread) {
    PaintReadingTarget(canvas, triangles, textures);
    return;
  }
  const size_t firstBand = static_cast<size_t>(top / kBandRows),
               lastBand = static_cast<size_t>((bottom - 1) / kBandRows);
  if (trianglesBinned != triangles.size() || firstBand < firstBandBinned ||
      lastBand > lastBandBinned) {
    bands.Bin(std::span(boxes.data(), triangles.size()), height, firstBand, lastBand);
    trianglesBinned = triangles.size();
    firstBandBinned = firstBand;
    lastBandBinned = lastBand;
  }
  PaintBands(canvas, triangles, way, firstBand, lastBand);
}

void Rasterizer::Work::Forget() {
  samplers.clear();
  texturesDecoded = 0;
  firstTriangle.assign(1, 0);
  stripsSetUp = 0;
  stripsSetUpFrom = nullptr;
  trianglesBinned = kNoneBinned;
  paintedThrough.clear();
}

Rasterizer::Rasterizer() : work_(std::make_unique<Work>()) {}
Rasterizer::~Rasterizer() = default;

void Rasterizer::DrawStrips(std::span<const D3DTLVERTEX> vertices,
                            std::span<const StripToDraw> strips,
                            std::span<const TextureSource> textures, const LockedPixels& target,
                            ShadingWidth shading) {
  work_->Draw(vertices, strips, textures, target, shading, 0, static_cast<int64_t>(target.height));
  work_->Forget();
}

void Rasterizer::DrawRows(std::span<const D3DTLVERTEX> vertices,
                          std::span<const StripToDraw> strips,
                          std::span<const TextureSource> textures, const LockedPixels& target,
                          ShadingWidth shading, int64_t top, int64_t bottom) {
  work_->Draw(vertices, strips, textures, target, shading, top, bottom);
}
