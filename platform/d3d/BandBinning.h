// Band binning: the target cut into bands of rows, and each drawn triangle listed, in batch
// order, in every band its box reaches into. Bands share no pixel, so they can be painted at
// once on several threads, each with the batch in its own order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/d3d/Triangle.h"

// Rows of the target one worker paints at a time.
constexpr int64_t kBandRows = 8;

// Rows [top, bottom) of the target and the triangles reaching into them, as indices into the
// batch's triangles, in batch order, each with its box beside it: a painter passing over most
// triangles of a crowded band reads the list from first to last and nothing else.
struct Band {
  std::span<const uint32_t> triangles;
  std::span<const PixelBox> boxes;
  int64_t top = 0;
  int64_t bottom = 0;
};

// The bands of one batch, keeping their memory from one batch to the next.
class BandBins {
 public:
  // Lists every triangle whose box is not empty in bands [first, last] of a target `height` rows
  // high; the other bands' lists are left empty.
  void Bin(std::span<const PixelBox> boxes, int64_t height, size_t first, size_t last);

  size_t Count() const { return bandStart_.size() - 1; }
  Band operator[](size_t band) const;

 private:
  int64_t height_ = 0;
  std::vector<size_t> bandStart_ = {0};  // where each band's list starts, and the end
  // Per piece of the batch and band: the piece's triangles in the band, then where the piece's
  // stretch of the band's list starts, then how far it is filled, while binning.
  std::vector<size_t> pieceFill_;
  std::vector<uint32_t> triangles_;      // the lists, band after band
  std::vector<PixelBox> boxes_;          // the boxes of their triangles, in the same places
};
