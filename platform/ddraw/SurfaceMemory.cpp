#include "platform/ddraw/SurfaceMemory.h"

#include <algorithm>
#include <cstring>

#include "platform/ddraw/DisplayDevice.h"
#include "platform/ddraw/PixelFormats.h"

namespace {

constexpr int32_t kMaxSide = 16384;
constexpr uint64_t kMaxBytes = uint64_t{256} << 20;
constexpr int32_t kRowAlignment = 16;

}  // namespace

HRESULT SurfaceMemory::Create(int32_t width, int32_t height, const DDPIXELFORMAT& format,
                              bool videoMemory, std::shared_ptr<SurfaceMemory>& memory) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
    return DDERR_INVALIDPARAMS;
  const int32_t rowBytes = static_cast<int32_t>((int64_t{width} * BitsPerPixel(format) + 7) / 8);
  const int32_t pitch = (rowBytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  const uint64_t bytes = static_cast<uint64_t>(pitch) * height;
  if (bytes > kMaxBytes) return DDERR_OUTOFMEMORY;
  if (videoMemory && !DisplayDevice::Get().ReserveVideoMemory(bytes)) return DDERR_OUTOFVIDEOMEMORY;
  memory.reset(new SurfaceMemory(width, height, pitch, format, videoMemory));
  return DD_OK;
}

SurfaceMemory::SurfaceMemory(int32_t width, int32_t height, int32_t pitch,
                             const DDPIXELFORMAT& format, bool videoMemory)
    : width_(width),
      height_(height),
      pitch_(pitch),
      format_(format),
      videoMemory_(videoMemory),
      bits_(new uint8_t[static_cast<size_t>(pitch) * height]()) {
  DisplayDevice::Get().AddMemory(this);
}

SurfaceMemory::~SurfaceMemory() {
  FinishDeferredDrawing();
  DisplayDevice::Get().RemoveMemory(this);
  if (videoMemory_) DisplayDevice::Get().ReturnVideoMemory(static_cast<uint64_t>(pitch_) * height_);
}

PixelBlock SurfaceMemory::Pixels() const {
  FinishDeferredDrawing();
  return PixelsByRows();
}

PixelBlock SurfaceMemory::PixelsFor(const DeferredDrawing& drawing) const {
  FinishDeferredDrawing(&drawing);
  return PixelsByRows();
}

PixelBlock SurfaceMemory::PixelsByRows() const {
  return PixelBlock{bits_.get(), width_, height_, pitch_,
                    static_cast<int32_t>(BytesPerPixel(format_))};
}

void SurfaceMemory::RowsInUse(int32_t top, int32_t bottom) const {
  // Finishing one drawing may finish others, or take them off the list: each still on it is
  // asked once.
  const std::vector<DeferredDrawing*> pending = deferredDrawing_;
  for (DeferredDrawing* drawing : pending)
    if (std::find(deferredDrawing_.begin(), deferredDrawing_.end(), drawing) !=
        deferredDrawing_.end())
      drawing->FinishRows(*this, top, bottom);
}

void SurfaceMemory::Restore() {
  FinishDeferredDrawing();
  std::memset(bits_.get(), 0, static_cast<size_t>(pitch_) * height_);
  lost_ = false;
}

void SurfaceMemory::AddDeferredDrawing(DeferredDrawing* drawing) {
  if (std::find(deferredDrawing_.begin(), deferredDrawing_.end(), drawing) ==
      deferredDrawing_.end())
    deferredDrawing_.push_back(drawing);
}

void SurfaceMemory::RemoveDeferredDrawing(DeferredDrawing* drawing) {
  std::erase(deferredDrawing_, drawing);
}

void SurfaceMemory::FinishDeferredDrawing(const DeferredDrawing* except) const {
  // Finishing takes a drawing off this list (and may take others off), so look afresh each time.
  for (;;) {
    const auto pending =
        std::find_if(deferredDrawing_.begin(), deferredDrawing_.end(),
                     [except](const DeferredDrawing* drawing) { return drawing != except; });
    if (pending == deferredDrawing_.end()) return;
    (*pending)->Finish();
  }
}
