// The settled-pixel mask the last-to-first painter keeps for each band.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

// Which pixels of a band are already settled (have their final colour), a bit each, with a count
// per row still open.
class SettledPixels {
 public:
  SettledPixels(int64_t rows, int64_t width)
      : width_(width),
        wordsPerRow_((width + 63) / 64),
        bits_(static_cast<size_t>(rows * wordsPerRow_)),
        openPerRow_(static_cast<size_t>(rows), width),
        open_(rows * width) {}

  // Settles every pixel outside columns [left, right) (multiples of 64, or the width), so that
  // only those are painted.
  void SettleAllBut(int64_t left, int64_t right) {
    const int64_t rows = static_cast<int64_t>(openPerRow_.size());
    const int64_t open = std::max<int64_t>(std::min(right, width_) - left, 0);
    for (int64_t row = 0; row < rows; ++row) {
      uint64_t* words = &bits_[static_cast<size_t>(row * wordsPerRow_)];
      for (int64_t word = 0; word < wordsPerRow_; ++word)
        if (word * 64 < left || word * 64 >= right) words[word] = ~uint64_t{0};
      openPerRow_[row] = open;
    }
    open_ = rows * open;
  }

  bool AllSettled() const { return open_ == 0; }
  bool RowSettled(int64_t row) const { return openPerRow_[row] == 0; }

  // Whether every pixel of [first, last] in the row is settled (clipped to the band's width).
  bool Settled(int64_t row, int64_t first, int64_t last) const {
    if (openPerRow_[row] == 0) return true;
    first = std::max<int64_t>(first, 0);
    last = std::min(last, width_ - 1);
    const uint64_t* words = &bits_[static_cast<size_t>(row * wordsPerRow_)];
    for (int64_t word = first / 64; word <= last / 64; ++word) {
      const uint64_t wanted = PixelsOfWord(word, first, last);
      if ((words[word] & wanted) != wanted) return false;
    }
    return true;
  }

  // Calls open(x) for each pixel of [first, last] in the row not settled yet, lowest first.
  template <class Visit>
  void ForOpen(int64_t row, int64_t first, int64_t last, Visit open) const {
    for (int64_t word = first / 64; word <= last / 64; ++word) {
      uint64_t candidates = OpenInWord(row, word, first, last);
      for (; candidates; candidates &= candidates - 1)
        open(word * 64 + std::countr_zero(candidates));
    }
  }

  void Settle(int64_t row, int64_t x) {
    bits_[static_cast<size_t>(row * wordsPerRow_ + x / 64)] |= uint64_t{1} << (x % 64);
    --openPerRow_[row];
    --open_;
  }

  // The pixels of [first, last] in the row's word not settled yet, a bit each.
  uint64_t OpenInWord(int64_t row, int64_t word, int64_t first, int64_t last) const {
    return ~bits_[static_cast<size_t>(row * wordsPerRow_ + word)] &
           PixelsOfWord(word, first, last);
  }

  // Settles pixels of the four from x0 (a multiple of four, so they lie in one word), given a bit
  // each from the lowest, none settled yet.
  void SettleGroup(int64_t row, int64_t x0, int pixels) {
    bits_[static_cast<size_t>(row * wordsPerRow_ + x0 / 64)] |=
        static_cast<uint64_t>(pixels) << (x0 % 64);
    // The bits set in each 4-bit value, a hex digit each from 0 up: not std::popcount, which
    // the four-pixel shader's file, built for AVX2, would build as an instruction older
    // processors lack, in a copy the linker may then use everywhere.
    const int count = static_cast<int>((0x4332322132212110 >> (pixels * 4)) & 0xF);
    openPerRow_[row] -= count;
    open_ -= count;
  }

 private:
  // The bits of a row's word that stand for pixels of [first, last].
  static uint64_t PixelsOfWord(int64_t word, int64_t first, int64_t last) {
    uint64_t bits = ~uint64_t{0};
    if (word == first / 64) bits &= ~uint64_t{0} << (first % 64);
    if (word == last / 64 && last % 64 != 63) bits &= (uint64_t{1} << (last % 64 + 1)) - 1;
    return bits;
  }

  int64_t width_;
  int64_t wordsPerRow_;
  std::vector<uint64_t> bits_;
  std::vector<int64_t> openPerRow_;
  int64_t open_;
};
