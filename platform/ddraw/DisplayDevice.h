// The one display adapter behind every DirectDraw object: its display modes, the mode it is
// in, the video memory budget, which object holds exclusive use, the memory of all surfaces
// (so a mode change can lose it) and the refusals tests have asked for.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "platform/ddraw/DDrawTestControl.h"

class SurfaceMemory;

class DisplayDevice {
 public:
  static DisplayDevice& Get();

  // The pending refusal for this kind of call, used up by asking; DD_OK when there is none.
  // Inline: every lock and primitive asks.
  HRESULT TakeRefusal(DDrawCall call) {
    Refusal& refusal = refusals_[static_cast<size_t>(call)];
    if (refusal.remaining == 0) return DD_OK;
    --refusal.remaining;
    return refusal.result;
  }
  void AddRefusal(DDrawCall call, HRESULT result, uint32_t times);

  const std::vector<DDrawDisplayMode>& Modes();
  void SetModes(const std::vector<DDrawDisplayMode>& modes);
  bool IsListed(const DDrawDisplayMode& mode);
  DDrawDisplayMode CurrentMode();
  DDrawDisplayMode DesktopMode();
  // Switching to another mode loses the memory of every surface in video memory.
  void ChangeMode(const DDrawDisplayMode& mode);

  bool ReserveVideoMemory(uint64_t bytes);
  void ReturnVideoMemory(uint64_t bytes);
  uint32_t VideoMemoryTotal() const { return videoMemoryTotal_; }
  uint32_t VideoMemoryUsed() const { return static_cast<uint32_t>(videoMemoryUsed_); }
  void SetVideoMemoryTotal(uint32_t bytes) { videoMemoryTotal_ = bytes; }

  // The object (any of its interfaces) that set an exclusive cooperative level, or null.
  const void* ExclusiveOwner() const { return exclusiveOwner_; }
  void SetExclusiveOwner(const void* owner) { exclusiveOwner_ = owner; }

  void AddMemory(SurfaceMemory* memory) { memories_.insert(memory); }
  void RemoveMemory(SurfaceMemory* memory) { memories_.erase(memory); }
  void LoseMemory(bool systemMemoryToo);

  void SurfaceCreated() { ++liveSurfaces_; }
  void SurfaceDestroyed() { --liveSurfaces_; }
  uint32_t LiveSurfaces() const { return liveSurfaces_; }

  // Whether the driver offers mipmapped textures.
  bool MipmapsOffered() const { return mipmapsOffered_; }
  void SetMipmapsOffered(bool offered) { mipmapsOffered_ = offered; }

  // The drivers tests listed; empty while the one built-in driver is offered.
  std::vector<DDrawTestDriver>& ListedDrivers() { return drivers_; }
  // The position of the driver guid names (null: the primary display driver); false for a GUID
  // no listed driver has.
  bool FindDriver(const GUID* guid, uint32_t& index) const;

  void CountVerticalBlankWait() { ++verticalBlankWaits_; }
  uint32_t VerticalBlankWaits() const { return verticalBlankWaits_; }

  void RecordCooperativeLevel(DWORD flags) { lastCooperativeLevel_ = flags; }
  DWORD LastCooperativeLevel() const { return lastCooperativeLevel_; }

  // Direct3D's answers to interface queries on DirectDraw objects and surfaces.
  DirectDrawInterfaceProvider directDrawProvider = nullptr;
  DirectDrawSurfaceInterfaceProvider surfaceProvider = nullptr;

  void Reset();

 private:
  DisplayDevice();

  struct Refusal {
    HRESULT result = DD_OK;
    uint32_t remaining = 0;
  };
  static constexpr size_t kCallKinds = static_cast<size_t>(DDrawCall::SetHWnd) + 1;

  std::array<Refusal, kCallKinds> refusals_{};
  std::vector<DDrawDisplayMode> modes_;
  bool modesReady_ = false;
  bool haveCurrentMode_ = false;
  DDrawDisplayMode currentMode_{};
  uint32_t videoMemoryTotal_;
  uint64_t videoMemoryUsed_ = 0;
  const void* exclusiveOwner_ = nullptr;
  std::set<SurfaceMemory*> memories_;
  std::vector<DDrawTestDriver> drivers_;
  uint32_t liveSurfaces_ = 0;
  uint32_t verticalBlankWaits_ = 0;
  DWORD lastCooperativeLevel_ = 0;
  bool mipmapsOffered_ = true;
};
