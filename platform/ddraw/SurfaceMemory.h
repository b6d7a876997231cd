// The pixel memory of a surface: shared by duplicates of the surface, handed between the
// buffers of a flipping chain, counted against the video memory budget while it lives there.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ddraw/SurfacePixels.h"

class SurfaceMemory {
 public:
  // Zeroed pixels, rows aligned to 16 bytes as display hardware lays them out. Video memory
  // beyond the budget is DDERR_OUTOFVIDEOMEMORY; absurd sizes are DDERR_OUTOFMEMORY.
  static HRESULT Create(int32_t width, int32_t height, const DDPIXELFORMAT& format,
                        bool videoMemory, std::shared_ptr<SurfaceMemory>& memory);
  ~SurfaceMemory();
  SurfaceMemory(const SurfaceMemory&) = delete;
  SurfaceMemory& operator=(const SurfaceMemory&) = delete;

  PixelBlock Pixels() const;
  const DDPIXELFORMAT& Format() const { return format_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Pitch() const { return pitch_; }
  bool InVideoMemory() const { return videoMemory_; }

  // Lost memory keeps its size and place; restoring it gives zeroed pixels back.
  bool IsLost() const { return lost_; }
  void Lose() { lost_ = true; }
  void Restore();

 private:
  SurfaceMemory(int32_t width, int32_t height, int32_t pitch, const DDPIXELFORMAT& format,
                bool videoMemory);

  int32_t width_;
  int32_t height_;
  int32_t pitch_;
  DDPIXELFORMAT format_;
  bool videoMemory_;
  bool lost_ = false;
  std::unique_ptr<uint8_t[]> bits_;
};
