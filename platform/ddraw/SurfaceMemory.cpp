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
  memory.reset(new SurfaceMemory(width, height, pitch, format, videoMemory, videoMemory));
  return DD_OK;
}

std::shared_ptr<SurfaceMemory> SurfaceMemory::CreateSpare(const SurfaceMemory& like) {
  return std::shared_ptr<SurfaceMemory>(new SurfaceMemory(
      like.width_, like.height_, like.pitch_, like.format_, like.videoMemory_, false));
}

SurfaceMemory::SurfaceMemory(int32_t width, int32_t height, int32_t pitch,
                             const DDPIXELFORMAT& format, bool videoMemory, bool counted)
    : width_(width),
      height_(height),
      pitch_(pitch),
      format_(format),
      videoMemory_(videoMemory),
      counted_(counted),
      bits_(new uint8_t[static_cast<size_t>(pitch) * height]()) {
  DisplayDevice::Get().AddMemory(this);
}

SurfaceMemory::~SurfaceMemory() {
  FinishDeferredDrawing();
  DisplayDevice::Get().RemoveMemory(this);
  if (counted_) DisplayDevice::Get().ReturnVideoMemory(static_cast<uint64_t>(pitch_) * height_);
}

PixelBlock SurfaceMemory::Pixels() const {
  FinishDeferredDrawing();
  return PixelsByRows();
}

PixelBlock SurfaceMemory::PixelsFor(const DeferredDrawing& drawing) const {
  FinishDeferredDrawing(&drawing);
  return PixelsByRows();
}

PixelBlock SurfaceMemory::PixelsToRead(const DeferredDrawing& reader) const {
  FinishDeferredWriting(&reader);
  return PixelsByRows();
}

PixelBlock SurfaceMemory::PixelsByRows() const {
  return PixelBlock{bits_.get(), width_, height_, pitch_,
                    static_cast<int32_t>(BytesPerPixel(format_))};
}

template <typename Ask>
void SurfaceMemory::AskEachDeferredDrawing(const Ask& ask) const {
  // Asking one drawing may finish others, or take them off the list: each still on it is asked
  // once.
  const std::vector<Kept> pending = deferredDrawing_;
  for (const Kept& kept : pending)
    if (std::ranges::find(deferredDrawing_, kept.drawing, &Kept::drawing) != deferredDrawing_.end())
      ask(*kept.drawing);
}

void SurfaceMemory::RowsInUse(int32_t top, int32_t bottom) const {
  AskEachDeferredDrawing(
      [&](DeferredDrawing& drawing) { drawing.FinishRows(*this, top, bottom); });
}

void SurfaceMemory::Restore() {
  FinishDeferredDrawing();
  std::memset(bits_.get(), 0, static_cast<size_t>(pitch_) * height_);
  lost_ = false;
}

void SurfaceMemory::AddDeferredDrawing(DeferredDrawing* drawing, bool writes) {
  const auto named = std::ranges::find(deferredDrawing_, drawing, &Kept::drawing);
  if (named == deferredDrawing_.end())
    deferredDrawing_.push_back({drawing, writes});
  else
    named->writes |= writes;
}

void SurfaceMemory::RemoveDeferredDrawing(DeferredDrawing* drawing) {
  std::erase_if(deferredDrawing_, [drawing](const Kept& kept) { return kept.drawing == drawing; });
}

template <typename Test>
void SurfaceMemory::FinishDeferredDrawingWhere(const Test& test) const {
  // Finishing takes a drawing off this list (and may take others off), so look afresh each time.
  for (;;) {
    const auto pending = std::ranges::find_if(deferredDrawing_, test);
    if (pending == deferredDrawing_.end()) return;
    pending->drawing->Finish();
  }
}

void SurfaceMemory::FinishDeferredDrawing(const DeferredDrawing* except) const {
  FinishDeferredDrawingWhere([except](const Kept& kept) { return kept.drawing != except; });
}

void SurfaceMemory::FinishDeferredWriting(const DeferredDrawing* except) const {
  FinishDeferredDrawingWhere(
      [except](const Kept& kept) { return kept.writes && kept.drawing != except; });
}

void SurfaceMemory::StartDeferredDrawing() const {
  AskEachDeferredDrawing([](DeferredDrawing& drawing) { drawing.Start(); });
}

bool SurfaceMemory::DeferredDrawingDrawn(const DeferredDrawing* except) const {
  return std::ranges::all_of(deferredDrawing_, [except](const Kept& kept) {
    return kept.drawing == except || kept.drawing->Drawn();
  });
}
