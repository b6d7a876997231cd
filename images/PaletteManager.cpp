#include "images/PaletteManager.h"

#include <cstring>
#include <vector>

#include "runtime/TypInfo.h"

const TClassInfo& TPaletteItem::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPaletteItem>();
  return info;
}

TPaletteItem::~TPaletteItem() {
  if (Palette) DeleteObject(Palette);
}

void TPaletteItem::Release() {
  if (--RefCount <= 0) delete this;
}

TPaletteManager::TPaletteManager() : FList(&TPaletteItem::StaticClassInfo()) {}

TPaletteManager::~TPaletteManager() = default;

HPALETTE TPaletteManager::AcquirePalette(const TColorTable& ColorData, Integer Count) {
  Integer checksum = Count;
  for (Integer i = 0; i < Count; ++i)
    checksum += ColorData[i].rgbBlue + ColorData[i].rgbGreen + ColorData[i].rgbRed;

  for (Integer i = 0; i < FList.Count(); ++i) {
    auto* item = static_cast<TPaletteItem*>(FList.Items(i));
    if (item->Checksum == checksum && item->Count == Count &&
        std::memcmp(item->ColorData.data(), ColorData.data(), Count * sizeof(RGBQUAD)) == 0) {
      item->AddRef();
      return item->Palette;
    }
  }

  auto* item = static_cast<TPaletteItem*>(FList.Add());
  item->Checksum = checksum;
  item->Count = Count;
  std::memcpy(item->ColorData.data(), ColorData.data(), Count * sizeof(RGBQUAD));

  // A logical palette: version and count, then the entries of the whole table.
  std::vector<BYTE> block(offsetof(LOGPALETTE, palPalEntry) + sizeof(TPaletteEntryTable));
  auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = static_cast<WORD>(Count);
  TPaletteEntryTable entries;
  ColorTableToPalette(ColorData, entries);
  std::memcpy(block.data() + offsetof(LOGPALETTE, palPalEntry), entries.data(), sizeof entries);
  item->Palette = CreatePalette(logical);
  item->RefCount = 1;
  return item->Palette;
}

void TPaletteManager::ReleasePalette(HPALETTE& Palette) {
  if (!Palette) return;
  for (Integer i = 0; i < FList.Count(); ++i) {
    auto* item = static_cast<TPaletteItem*>(FList.Items(i));
    if (item->Palette == Palette) {
      Palette = nullptr;
      item->Release();
      return;
    }
  }
}

namespace {

TPaletteManager*& ManagerInstance() {
  static TPaletteManager* manager = nullptr;
  return manager;
}

}  // namespace

TPaletteManager& PaletteManager() {
  TPaletteManager*& manager = ManagerInstance();
  if (!manager) manager = new TPaletteManager();
  return *manager;
}

void FreePaletteManager() { FreeAndNil(ManagerInstance()); }
