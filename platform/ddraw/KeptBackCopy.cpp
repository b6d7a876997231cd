#include "platform/ddraw/KeptBackCopy.h"

KeptBackCopy::KeptBackCopy(SurfaceMemory& dest, SurfaceMemory& source,
                           const BlitGeometry& geometry, const std::optional<SourceColorKey>& key)
    : dest_(dest), source_(source), geometry_(geometry), key_(key) {
  dest_.FinishDeferredDrawing();
  dest_.AddDeferredDrawing(this, true);
  // The source's drawing is not finished here: it is being drawn, and the copy waits for it
  // when it is made.
  source_.AddDeferredDrawing(this, false);
}

KeptBackCopy::~KeptBackCopy() { Finish(); }

void KeptBackCopy::Finish() {
  if (!kept_) return;
  kept_ = false;
  dest_.RemoveDeferredDrawing(this);
  source_.RemoveDeferredDrawing(this);
  // Whatever was kept back on the destination before the copy was finished when it was made;
  // what came since only reads the destination, and reads what the copy leaves.
  CopyPixels(dest_.PixelsByRows(), source_.PixelsToRead(*this), geometry_,
             key_ ? &*key_ : nullptr);
}
