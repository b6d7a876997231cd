#include "platform/ddraw/DisplayDevice.h"

#include <algorithm>

#include "platform/ddraw/SurfaceMemory.h"

namespace {

constexpr uint32_t kDefaultVideoMemory = 64u << 20;

// The sizes cards and monitors of the time offered, up to the largest layout of the game.
constexpr DDrawDisplayMode kCommonSizes[] = {
    {640, 480, 0},   {800, 600, 0},   {1024, 768, 0}, {1152, 864, 0},  {1280, 720, 0},
    {1280, 768, 0},  {1280, 800, 0},  {1280, 960, 0}, {1280, 1024, 0}, {1360, 768, 0},
    {1366, 768, 0},  {1440, 900, 0},  {1600, 900, 0}, {1600, 1200, 0}, {1680, 1050, 0},
    {1920, 1080, 0}, {1920, 1200, 0},
};

bool ModeLess(const DDrawDisplayMode& a, const DDrawDisplayMode& b) {
  if (a.width != b.width) return a.width < b.width;
  if (a.height != b.height) return a.height < b.height;
  return a.bitCount < b.bitCount;
}

}  // namespace

DisplayDevice& DisplayDevice::Get() {
  static DisplayDevice device;
  return device;
}

DisplayDevice::DisplayDevice() : videoMemoryTotal_(kDefaultVideoMemory) {}

void DisplayDevice::AddRefusal(DDrawCall call, HRESULT result, uint32_t times) {
  refusals_[static_cast<size_t>(call)] = Refusal{result, times};
}

const std::vector<DDrawDisplayMode>& DisplayDevice::Modes() {
  if (!modesReady_) {
    modesReady_ = true;
    const DDrawDisplayMode desktop = DesktopMode();
    for (int32_t bits : {16, 32}) {
      for (const DDrawDisplayMode& size : kCommonSizes)
        modes_.push_back({size.width, size.height, bits});
      if (std::none_of(std::begin(kCommonSizes), std::end(kCommonSizes),
                       [&](const DDrawDisplayMode& size) {
                         return size.width == desktop.width && size.height == desktop.height;
                       }))
        modes_.push_back({desktop.width, desktop.height, bits});
    }
    std::sort(modes_.begin(), modes_.end(), ModeLess);
  }
  return modes_;
}

void DisplayDevice::SetModes(const std::vector<DDrawDisplayMode>& modes) {
  modes_ = modes;
  modesReady_ = true;
}

bool DisplayDevice::IsListed(const DDrawDisplayMode& mode) {
  const auto& modes = Modes();
  return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

DDrawDisplayMode DisplayDevice::DesktopMode() {
  DDrawDisplayMode mode{0, 0, 32};
  ScreenSize(&mode.width, &mode.height);
  return mode;
}

DDrawDisplayMode DisplayDevice::CurrentMode() {
  if (!haveCurrentMode_) {
    currentMode_ = DesktopMode();
    haveCurrentMode_ = true;
  }
  return currentMode_;
}

void DisplayDevice::ChangeMode(const DDrawDisplayMode& mode) {
  if (mode == CurrentMode()) return;
  currentMode_ = mode;
  LoseMemory(false);
  // Screen metrics follow the mode; the desktop's is the host's own.
  const bool desktop = mode.width == DesktopMode().width && mode.height == DesktopMode().height;
  ScreenSetMode(desktop ? 0 : mode.width, desktop ? 0 : mode.height);
}

bool DisplayDevice::ReserveVideoMemory(uint64_t bytes) {
  if (videoMemoryUsed_ + bytes > videoMemoryTotal_) return false;
  videoMemoryUsed_ += bytes;
  return true;
}

void DisplayDevice::ReturnVideoMemory(uint64_t bytes) { videoMemoryUsed_ -= bytes; }

void DisplayDevice::LoseMemory(bool systemMemoryToo) {
  for (SurfaceMemory* memory : memories_)
    if (systemMemoryToo || memory->InVideoMemory()) memory->Lose();
}

bool DisplayDevice::FindDriver(const GUID* guid, uint32_t& index) const {
  index = 0;
  for (uint32_t i = 0; i < drivers_.size(); ++i) {
    const DDrawTestDriver& driver = drivers_[i];
    if (guid ? driver.hasGuid && driver.guid == *guid : !driver.hasGuid) {
      index = i;
      return true;
    }
  }
  // The built-in driver, or a list without a primary display driver, answers for no GUID.
  return !guid;
}

void DisplayDevice::Reset() {
  refusals_ = {};
  drivers_.clear();
  modes_.clear();
  modesReady_ = false;
  haveCurrentMode_ = false;
  ScreenSetMode(0, 0);
  videoMemoryTotal_ = kDefaultVideoMemory;
  verticalBlankWaits_ = 0;
  lastCooperativeLevel_ = 0;
  mipmapsOffered_ = true;
}

// Test controls.

void TestDDrawRefuseNext(DDrawCall call, HRESULT result, uint32_t times) {
  DisplayDevice::Get().AddRefusal(call, result, times);
}

void TestDDrawSetVideoMemory(uint32_t bytes) { DisplayDevice::Get().SetVideoMemoryTotal(bytes); }

uint32_t TestDDrawVideoMemoryUsed() { return DisplayDevice::Get().VideoMemoryUsed(); }

void TestDDrawSetDisplayModes(const std::vector<DDrawDisplayMode>& modes) {
  DisplayDevice::Get().SetModes(modes);
}

std::vector<DDrawDisplayMode> TestDDrawDisplayModes() { return DisplayDevice::Get().Modes(); }

DDrawDisplayMode TestDDrawCurrentDisplayMode() { return DisplayDevice::Get().CurrentMode(); }

void TestDDrawOfferMipmaps(bool offered) { DisplayDevice::Get().SetMipmapsOffered(offered); }

void TestDDrawLoseAllSurfaces() { DisplayDevice::Get().LoseMemory(true); }

uint32_t TestDDrawLiveSurfaces() { return DisplayDevice::Get().LiveSurfaces(); }

uint32_t TestDDrawVerticalBlankWaits() { return DisplayDevice::Get().VerticalBlankWaits(); }

DWORD TestDDrawLastCooperativeLevel() { return DisplayDevice::Get().LastCooperativeLevel(); }

void TestDDrawSetDrivers(const std::vector<DDrawTestDriver>& drivers) {
  DisplayDevice::Get().ListedDrivers() = drivers;
}

void TestDDrawReset() { DisplayDevice::Get().Reset(); }
