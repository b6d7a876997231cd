// The pixel memory of a surface: shared by duplicates of the surface, handed between the
// buffers of a flipping chain, counted against the video memory budget while it lives there.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ddraw/SurfacePixels.h"

class SurfaceMemory;

// Drawing kept back to be done later (the Direct3D device keeps a frame's primitives and draws
// them together). It names itself to every memory it will read or write, saying which; whatever
// else changes those pixels has it finished first, and whatever else reads pixels it writes, so
// nobody can tell it was late.
class DeferredDrawing {
 public:
  virtual void Finish() = 0;
  // Finishes what it keeps back on rows [top, bottom) of the memory, at least: all of it, or, on
  // a memory it only draws into, those rows alone, the rest kept back.
  virtual void FinishRows(const SurfaceMemory&, int32_t, int32_t) { Finish(); }
  // Starts drawing what it keeps back on other threads, if it can, while this one goes on;
  // Finish then waits for that drawing to end.
  virtual void Start() {}
  // Whether what it keeps back has been drawn on other threads already, without waiting: then
  // Finish has nothing left to wait for.
  virtual bool Drawn() const { return false; }

 protected:
  ~DeferredDrawing() = default;
};

class SurfaceMemory {
 public:
  // Zeroed pixels, rows aligned to 16 bytes as display hardware lays them out. Video memory
  // beyond the budget is DDERR_OUTOFVIDEOMEMORY; absurd sizes are DDERR_OUTOFMEMORY.
  static HRESULT Create(int32_t width, int32_t height, const DDPIXELFORMAT& format,
                        bool videoMemory, std::shared_ptr<SurfaceMemory>& memory);
  // Memory like the given one that a surface keeps beside its own to change places with: the
  // budget counts a surface once, so this memory is not counted against it.
  static std::shared_ptr<SurfaceMemory> CreateSpare(const SurfaceMemory& like);
  ~SurfaceMemory();
  SurfaceMemory(const SurfaceMemory&) = delete;
  SurfaceMemory& operator=(const SurfaceMemory&) = delete;

  // The pixels, with all drawing kept back on them finished. Every read and write of the pixels
  // goes through here, or through RowsInUse, which is what makes keeping drawing back safe.
  PixelBlock Pixels() const;
  // The pixels for a drawing kept back on them: everybody else's finished.
  PixelBlock PixelsFor(const DeferredDrawing& drawing) const;
  // The pixels for a drawing kept back on them that only reads them: the drawing of all others
  // that write them finished, those that also only read them left kept back.
  PixelBlock PixelsToRead(const DeferredDrawing& reader) const;
  // The pixels with the drawing kept back on them kept back still: for one who calls RowsInUse
  // before reading or writing any row, or for drawing kept back on them that all the rest waits
  // for.
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

  // Drawing kept back that reads these pixels, and writes them if it says so; naming it twice
  // is naming it once, a writer staying one.
  void AddDeferredDrawing(DeferredDrawing* drawing, bool writes);
  void RemoveDeferredDrawing(DeferredDrawing* drawing);
  // Finishes the drawing kept back on these pixels, all but the one given.
  void FinishDeferredDrawing(const DeferredDrawing* except = nullptr) const;
  // Finishes the drawing kept back that writes these pixels, all but the one given.
  void FinishDeferredWriting(const DeferredDrawing* except) const;
  // Starts the drawing kept back on these pixels on other threads, where it can be.
  void StartDeferredDrawing() const;
  // Whether drawing is kept back on these pixels.
  bool HasDeferredDrawing() const { return !deferredDrawing_.empty(); }
  // Whether the drawing kept back on these pixels, all but the given one, has been drawn on
  // other threads already (without waiting).
  bool DeferredDrawingDrawn(const DeferredDrawing* except) const;

 private:
  SurfaceMemory(int32_t width, int32_t height, int32_t pitch, const DDPIXELFORMAT& format,
                bool videoMemory, bool counted);

  int32_t width_;
  int32_t height_;
  int32_t pitch_;
  DDPIXELFORMAT format_;
  bool videoMemory_;
  bool counted_;  // against the video memory budget
  bool lost_ = false;
  std::unique_ptr<uint8_t[]> bits_;
  struct Kept {
    DeferredDrawing* drawing;
    bool writes;
  };
  // Finishes the kept-back drawing on the list that passes the test, one at a time.
  template <typename Test>
  void FinishDeferredDrawingWhere(const Test& test) const;
  // Calls `ask` with each kept-back drawing on the list, as long as it is still on it.
  template <typename Ask>
  void AskEachDeferredDrawing(const Ask& ask) const;

  // Finishing drawing changes no pixel anyone has seen, so it is allowed on a const memory.
  mutable std::vector<Kept> deferredDrawing_;
};
