// A copy between surfaces kept back while its source has drawing kept back on it that is being
// drawn on other threads (a frame's primitives, started when the copy is made). A program that
// blits its back surface to the surface on show every frame thus goes on without waiting for the
// frame to be drawn: presenting the copy starts nothing new, and the copy is made when somebody
// reads or changes the destination, or changes the source, or the copy goes.
#pragma once

#include <optional>

#include "platform/ddraw/SurfaceMemory.h"
#include "platform/ddraw/SurfacePixels.h"

class KeptBackCopy final : public DeferredDrawing {
 public:
  // Whatever is kept back on the destination is finished first; the drawing kept back on the
  // source must have been started (SurfaceMemory::StartDeferredDrawing), so that nothing more
  // is added to it before the copy is made.
  KeptBackCopy(SurfaceMemory& dest, SurfaceMemory& source, const BlitGeometry& geometry,
               const std::optional<SourceColorKey>& key);
  ~KeptBackCopy();
  KeptBackCopy(const KeptBackCopy&) = delete;
  KeptBackCopy& operator=(const KeptBackCopy&) = delete;

  void Finish() override;
  // Drawn once the source's drawing is: the copy itself is made on the thread that finishes it.
  bool Drawn() const override { return source_.DeferredDrawingDrawn(this); }

 private:
  SurfaceMemory& dest_;
  SurfaceMemory& source_;
  BlitGeometry geometry_;
  std::optional<SourceColorKey> key_;
  bool kept_ = true;  // not made yet
};
