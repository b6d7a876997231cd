#include "platform/d3d/BandBinning.h"

#include <algorithm>
#include <utility>

namespace {

bool IsEmpty(const PixelBox& box) { return box.top > box.bottom; }

// The first and last band a box reaches into.
std::pair<size_t, size_t> BandsOf(const PixelBox& box) {
  return {static_cast<size_t>(box.top / kBandRows), static_cast<size_t>(box.bottom / kBandRows)};
}

}  // namespace

// A counting sort: the bands' list lengths first, then each list filled in batch order.
void BandBins::Bin(std::span<const PixelBox> boxes, int64_t height) {
  height_ = height;
  const size_t bandCount = static_cast<size_t>((height + kBandRows - 1) / kBandRows);
  bandStart_.assign(bandCount + 1, 0);
  for (const PixelBox& box : boxes) {
    if (IsEmpty(box)) continue;
    const auto [from, to] = BandsOf(box);
    for (size_t band = from; band <= to; ++band) ++bandStart_[band + 1];
  }
  for (size_t band = 0; band < bandCount; ++band) bandStart_[band + 1] += bandStart_[band];
  triangles_.resize(bandStart_.back());
  filled_.assign(bandStart_.begin(), bandStart_.end() - 1);
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (IsEmpty(boxes[i])) continue;
    const auto [from, to] = BandsOf(boxes[i]);
    for (size_t band = from; band <= to; ++band)
      triangles_[filled_[band]++] = static_cast<uint32_t>(i);
  }
}

Band BandBins::operator[](size_t band) const {
  const int64_t top = static_cast<int64_t>(band) * kBandRows;
  return {std::span(triangles_.data() + bandStart_[band], bandStart_[band + 1] - bandStart_[band]),
          top, std::min(height_, top + kBandRows)};
}
