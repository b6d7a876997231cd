#include "platform/d3d/Painters.h"

#include <algorithm>
#include <bit>
#include <optional>

#include "platform/d3d/FourPixelShader.h"
#include "platform/d3d/OnePixelShader.h"
#include "platform/d3d/SettledPixels.h"

void PaintInOrder(const Canvas& canvas, std::span<const Triangle> triangles, const Band& band) {
  for (const uint32_t index : band.triangles) {
    const Triangle& triangle = triangles[index];
    const RasterStates& states = *triangle.states;
    const int64_t lastRow = std::min(band.bottom - 1, triangle.maxY);
    for (int64_t y = std::max(band.top, triangle.minY); y <= lastRow; ++y) {
      int64_t first, last;
      if (!CoveredSpan(triangle, y, first, last)) continue;
      BYTE* row = canvas.Row(y);
      const EdgeValues atFirst = EdgesAt(triangle, first, y);
      int64_t ea = atFirst.bc, eb = atFirst.ca, ec = atFirst.ab;
      for (int64_t x = first; x <= last;
           ++x, ea -= triangle.stepBC, eb -= triangle.stepCA, ec -= triangle.stepAB) {
        std::optional<Color> color = Shade(triangle, ea, eb, ec);
        if (!color) continue;
        if (states.alphaBlend)
          color = Blend(states.sourceBlend, states.destinationBlend, *color,
                        canvas.codec.Decode(ReadRawPixel(row, x, canvas.bytesPerPixel)));
        WriteRawPixel(row, x, canvas.bytesPerPixel, canvas.codec.Encode(*color));
      }
    }
  }
}

namespace {

// Shades pixel x of the span with the one-pixel shader and, when it gets a colour, writes and
// settles it.
void PaintOpenPixel(const Canvas& canvas, const Triangle& triangle, SettledPixels& settled,
                    const Span& span, int64_t x) {
  // The same whole numbers the pixel-by-pixel stepping reaches.
  const int64_t along = x - span.first;
  const std::optional<Color> color =
      Shade(triangle, span.atFirst.bc - along * triangle.stepBC,
            span.atFirst.ca - along * triangle.stepCA, span.atFirst.ab - along * triangle.stepAB);
  if (!color) return;
  WriteRawPixel(span.pixels, x, canvas.bytesPerPixel, canvas.codec.Encode(*color));
  settled.Settle(span.row, x);
}

// Rows [firstRow, lastRow] of the band cut down at both ends to those where the triangle's box
// still holds an open pixel; lastRow below firstRow when the box is hidden wholly behind what is
// settled: most triangles of a crowded frame, passed over without finding their edges row by row,
// or even reading the triangle.
void TrimToOpenRows(const SettledPixels& settled, const PixelBox& box, int64_t top,
                    int64_t& firstRow, int64_t& lastRow) {
  auto open = [&](int64_t y) { return !settled.Settled(y - top, box.left, box.right); };
  while (firstRow <= lastRow && !open(firstRow)) ++firstRow;
  while (lastRow > firstRow && !open(lastRow)) --lastRow;
}

// Paints the triangle's pixels not settled yet in rows [firstRow, lastRow] of the band, and
// settles those it gives a colour.
void PaintOpenPixels(const Canvas& canvas, const Triangle& triangle, SettledPixels& settled,
                     int64_t top, int64_t firstRow, int64_t lastRow,
                     const QuadEncoder* fourAtOnce) {
  for (int64_t y = firstRow; y <= lastRow; ++y) {
    const int64_t row = y - top;
    int64_t first, last;
    if (settled.RowSettled(row)) continue;
    NarrowedRow(triangle, y, first, last);
    if (first > last || settled.Settled(row, first, last) ||
        !TrimToCovered(triangle, y, first, last))
      continue;
    const Span span{row, canvas.Row(y), first, last, EdgesAt(triangle, first, y)};
    if (fourAtOnce && PaintSpanFourAtOnce(canvas, *fourAtOnce, triangle, settled, span)) continue;
    settled.ForOpen(row, first, last,
                    [&](int64_t x) { PaintOpenPixel(canvas, triangle, settled, span, x); });
  }
}

}  // namespace

void PaintLanesOnePixelAtATime(const Canvas& canvas, const Triangle& triangle,
                               SettledPixels& settled, const Span& span, int64_t x0, int lanes) {
  for (int lanesLeft = lanes; lanesLeft; lanesLeft &= lanesLeft - 1)
    PaintOpenPixel(canvas, triangle, settled, span,
                   x0 + std::countr_zero(static_cast<unsigned>(lanesLeft)));
}

// Why this is the painter's result: with no blending, the colour a triangle gives a pixel does
// not depend on what the pixel held (Shade reads only the triangle and its texture), and a
// pixel drawn in order ends up with the colour of the last triangle that gave it one: the key
// leaves a pixel alone, it does not clear it. Walking the triangles backwards, the first one to
// give a pixel a colour is that last one, so once a pixel is settled nothing else may touch it.
// Triangles over settled pixels only are passed over without shading, and the band stops as soon
// as every pixel in it is settled.
void PaintLastToFirst(const Canvas& canvas, std::span<const Triangle> triangles, const Band& band,
                      const QuadEncoder* fourAtOnce, int64_t left, int64_t right) {
  const int64_t width = static_cast<int64_t>(canvas.pixels.width);
  SettledPixels settled(band.bottom - band.top, width);
  // Columns left out count as settled: nothing paints them, and triangles over them alone are
  // passed over.
  if (left > 0 || right < width) settled.SettleAllBut(left, right);
  for (size_t k = band.triangles.size(); k-- > 0 && !settled.AllSettled();) {
    const PixelBox& box = band.boxes[k];
    int64_t firstRow = std::max<int64_t>(band.top, box.top),
            lastRow = std::min<int64_t>(band.bottom - 1, box.bottom);
    TrimToOpenRows(settled, box, band.top, firstRow, lastRow);
    if (firstRow > lastRow) continue;
    const Triangle& triangle = triangles[band.triangles[k]];
    PaintOpenPixels(canvas, triangle, settled, band.top, firstRow, lastRow,
                    fourAtOnce && FourPixelShaderHandles(triangle) ? fourAtOnce : nullptr);
  }
}
