// The process-wide cache of platform palettes keyed by colour table, so that bitmaps with equal
// colours share one palette handle.
#pragma once

#include "images/ColorTable.h"
#include "runtime/Classes.h"

class TPaletteItem : public TCollectionItem {
  ORVALIS_CLASS(TPaletteItem, TCollectionItem)

  explicit TPaletteItem(TCollection* Collection) : TCollectionItem(Collection) {}
  // Deletes the palette handle and leaves the collection.
  ~TPaletteItem() override;

  void AddRef() { ++RefCount; }
  // Frees the item when no reference is left.
  void Release();

  Integer Checksum = 0;
  HPALETTE Palette = nullptr;
  Integer RefCount = 0;
  TColorTable ColorData{};  // the first Count entries are meaningful
  Integer Count = 0;
};

class TPaletteManager {
 public:
  TPaletteManager();
  TPaletteManager(const TPaletteManager&) = delete;
  TPaletteManager& operator=(const TPaletteManager&) = delete;
  ~TPaletteManager();

  // A palette of the first Count entries of ColorData (a full table), shared with every earlier
  // acquisition of the same colours.
  HPALETTE AcquirePalette(const TColorTable& ColorData, Integer Count);
  // Gives back one reference to a palette of the cache and clears Palette; a handle the cache
  // does not know is left as it is.
  void ReleasePalette(HPALETTE& Palette);

  Integer ItemCount() const { return FList.Count(); }

 private:
  TCollection FList;
};

// The one cache, made on first use.
TPaletteManager& PaletteManager();
// Frees the cache with whatever palettes remain (at the end of the image unit).
void FreePaletteManager();
