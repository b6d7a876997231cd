// The pixel memory of a surface: shared by duplicates of the surface, handed between the
// buffers of a flipping chain, counted against the video memory budget while it lives there.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ddraw/SurfacePixels.h"

class SurfaceMemory;

// Drawing kept back to be done later (the Direct3D device keeps a frame's primitives and draws
// them together). It names itself to every memory it will read or write; whatever else reads or
// changes those pixels has it finished first, so nobody can tell it was late.
class DeferredDrawing {
 public:
  virtual void Finish() = 0;
  // Finishes what it keeps back on rows [top, bottom) of the memory, at least: all of it, or, on
  // a memory it only draws into, those rows alone, the rest kept back.
  virtual void FinishRows(const SurfaceMemory& memory, int32_t top, int32_t bottom) = 0;

 protected:
  ~DeferredDrawing() = default;
};

class SurfaceMemory {
 public:
  // Zeroed pixels, rows aligned to 16 bytes as display hardware lays them out. Video memory
  // beyond the budget is DDERR_OUTOFVIDEOMEMORY; absurd sizes are DDERR_OUTOFMEMORY.
  static HRESULT Create(int32_t width, int32_t height, const DDPIXELFORMAT& format,
                        bool videoMemory, std::shared_ptr<SurfaceMemory>& memory);
  ~SurfaceMemory();
  SurfaceMemory(const SurfaceMemory&) = delete;
  SurfaceMemory& operator=(const SurfaceMemory&) = delete;

  // The pixels, with all drawing kept back on them finished. Every read and write of the pixels
  // goes through here, or through RowsInUse, which is what makes keeping drawing back safe.
  PixelBlock Pixels() const;
  // The pixels for a drawing kept back on them: everybody else's finished.
  PixelBlock PixelsFor(const DeferredDrawing& drawing) const;
  // The pixels with the drawing kept back on them kept back still, for one who calls RowsInUse
  // before reading or writing any row.
  PixelBlock PixelsByRows() const;
  // Finishes the drawing kept back on rows [top, bottom), at least.
  void RowsInUse(int32_t top, int32_t bottom) const;
  const DDPIXELFORMAT& Format() const { return format_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Pitch() const { return pitch_; }
  bool InVideoMemory() const { return videoMemory_; }

  // Lost memory keeps its size and place; restoring it gives zeroed pixels back.
  bool IsLost() const { return lost_; }
  void Lose() { lost_ = true; }
  void Restore();

  // Drawing kept back that reads or writes these pixels; naming it twice is naming it once.
  void AddDeferredDrawing(DeferredDrawing* drawing);
  void RemoveDeferredDrawing(DeferredDrawing* drawing);
  // Finishes the drawing kept back on these pixels, all but the one given.
  void FinishDeferredDrawing(const DeferredDrawing* except = nullptr) const;

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
  // Finishing drawing changes no pixel anyone has seen, so it is allowed on a const memory.
  mutable std::vector<DeferredDrawing*> deferredDrawing_;
};
