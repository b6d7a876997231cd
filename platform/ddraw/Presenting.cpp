#include "platform/ddraw/Presenting.h"

#include <array>
#include <optional>

#include "platform/ddraw/SurfacePixels.h"
#include "platform/user/Screen.h"

namespace {

void PresentNow(const SurfaceMemory& memory, const PALETTEENTRY* palette) {
  ScreenPresentDrawn(memory.Width(), memory.Height(), [&](uint32_t* frame) {
    ConvertToScreenPixels(memory.Pixels(), memory.Format(), palette, frame);
  });
}

// A frame whose pixels are being drawn on other threads. It is kept back on the memory as one who
// reads it, so whoever changes the pixels first has it presented (Finish); the screen keeps it
// until then, and at most one is kept at a time.
class FrameDrawnLater final : public FrameInDrawing, public DeferredDrawing {
 public:
  FrameDrawnLater(SurfaceMemory& memory, const Palette* palette) : memory_(memory) {
    if (palette) std::copy_n(palette->Entries(), palette_.emplace().size(), palette_->data());
    memory_.AddDeferredDrawing(this, false);
  }
  ~FrameDrawnLater() override { memory_.RemoveDeferredDrawing(this); }

  bool Ready() const override { return memory_.DeferredDrawingDrawn(this); }
  void Present() override {
    memory_.RemoveDeferredDrawing(this);
    PresentNow(memory_, palette_ ? palette_->data() : nullptr);
  }

  void Finish() override {
    memory_.RemoveDeferredDrawing(this);
    ScreenPresentWaiting();  // this frame, which goes with it
  }

 private:
  SurfaceMemory& memory_;
  std::optional<std::array<PALETTEENTRY, 256>> palette_;
};

}  // namespace

void PresentMemory(SurfaceMemory& memory, const Palette* palette) {
  memory.StartDeferredDrawing();
  // The frame before goes first, and off this memory if it was on it, so this frame is the only
  // one kept back there.
  ScreenPresentWaiting();
  if (memory.HasDeferredDrawing())
    ScreenPresentWhenReady(std::make_unique<FrameDrawnLater>(memory, palette));
  else
    PresentNow(memory, palette ? palette->Entries() : nullptr);
}
