#include "platform/d3d/BandBinning.h"

#include <algorithm>
#include <utility>

#include "platform/kernel/ParallelFor.h"

namespace {

// Triangles one task bins: a fixed count, so the cut into pieces does not depend on the workers.
constexpr size_t kTrianglesPerPiece = 1024;

bool IsEmpty(const PixelBox& box) { return box.top > box.bottom; }

// The first and last band a box reaches into.
std::pair<size_t, size_t> BandsOf(const PixelBox& box) {
  return {static_cast<size_t>(box.top / kBandRows), static_cast<size_t>(box.bottom / kBandRows)};
}

// Calls visit(i, band) for every triangle i of the piece and every band of [first, last] its box
// reaches into, in batch order.
template <class Visit>
void ForEachBandOfPiece(std::span<const PixelBox> boxes, size_t piece, size_t first, size_t last,
                        Visit visit) {
  const size_t end = std::min(boxes.size(), (piece + 1) * kTrianglesPerPiece);
  for (size_t i = piece * kTrianglesPerPiece; i < end; ++i) {
    if (IsEmpty(boxes[i])) continue;
    const auto [from, to] = BandsOf(boxes[i]);
    for (size_t band = std::max(from, first); band <= std::min(to, last); ++band) visit(i, band);
  }
}

}  // namespace

// A counting sort on the workers: each piece of the batch counts its triangles in every band,
// then fills its own stretch of every band's list. A band's list holds the first piece's
// triangles, then the second's, and so on, each piece's in batch order: the whole batch in batch
// order, as binning triangle after triangle on one thread lists it.
void BandBins::Bin(std::span<const PixelBox> boxes, int64_t height, size_t first, size_t last) {
  height_ = height;
  const size_t bandCount = static_cast<size_t>((height + kBandRows - 1) / kBandRows);
  const size_t pieceCount = (boxes.size() + kTrianglesPerPiece - 1) / kTrianglesPerPiece;
  pieceFill_.assign(pieceCount * bandCount, 0);
  ParallelFor<size_t>(0, pieceCount, 1, [&](size_t piece) {
    size_t* counts = &pieceFill_[piece * bandCount];
    ForEachBandOfPiece(boxes, piece, first, last,
                       [counts](size_t, size_t band) { ++counts[band]; });
  });
  bandStart_.assign(bandCount + 1, 0);
  size_t listed = 0;
  for (size_t band = 0; band < bandCount; ++band) {
    bandStart_[band] = listed;
    for (size_t piece = 0; piece < pieceCount; ++piece)
      listed += std::exchange(pieceFill_[piece * bandCount + band], listed);
  }
  bandStart_[bandCount] = listed;
  // Never shrunk: growing them again would fill them again, on this thread.
  if (triangles_.size() < listed) {
    triangles_.resize(listed);
    boxes_.resize(listed);
  }
  ParallelFor<size_t>(0, pieceCount, 1, [&](size_t piece) {
    size_t* fill = &pieceFill_[piece * bandCount];
    ForEachBandOfPiece(boxes, piece, first, last, [&](size_t i, size_t band) {
      triangles_[fill[band]] = static_cast<uint32_t>(i);
      boxes_[fill[band]++] = boxes[i];
    });
  });
}

Band BandBins::operator[](size_t band) const {
  const int64_t top = static_cast<int64_t>(band) * kBandRows;
  const size_t start = bandStart_[band], count = bandStart_[band + 1] - start;
  return {std::span(triangles_.data() + start, count), std::span(boxes_.data() + start, count), top,
          std::min(height_, top + kBandRows)};
}
