// Image lists: named pictures for one display, each cut into equal patterns (the frames of a
// sprite sheet) that live in DirectDraw surfaces while the display is initialised and are drawn
// one at a time, plainly or scaled and rotated. A list follows its display through the display's
// notifications; its pictures come from image-list files (".dxg": a component resource holding a
// TPictureCollectionComponent whose List is the collection).
#pragma once

#include <string>
#include <vector>

#include "display/DXDraw.h"
#include "display/DirectDrawSurface.h"
#include "display/HashCollection.h"
#include "images/ColorTable.h"
#include "runtime/Graphics.h"
#include "runtime/Streams.h"

class TPictureCollection;

// One pattern: a rectangle on one of its item's surfaces.
class TPictureCollectionItemPattern : public TCollectionItem {
  ORVALIS_CLASS(TPictureCollectionItemPattern, TCollectionItem)

  explicit TPictureCollectionItemPattern(TCollection* Collection) : TCollectionItem(Collection) {}

  const TRect& Rect() const { return FRect; }
  // One of the item's surfaces; the item owns it.
  TDirectDrawSurface* Surface() const { return FSurface; }

 private:
  friend class TPictureCollectionItem;
  TRect FRect{};
  TDirectDrawSurface* FSurface = nullptr;
};

class TPictureCollectionItem : public THashCollectionItem {
  ORVALIS_CLASS(TPictureCollectionItem, THashCollectionItem)

  // Joins Collection with an empty picture, drawn colour-keyed with black as the key.
  explicit TPictureCollectionItem(TCollection* Collection);
  ~TPictureCollectionItem() override;

  // From another item: everything but the name; an initialised item is rebuilt at once.
  void Assign(TPersistent* Source) override;

  // Pattern PatternIndex with its top-left at (X, Y). An uninitialised item or a pattern index
  // out of range draws nothing.
  void Draw(TDirectDrawSurface* Dest, Integer X, Integer Y, Integer PatternIndex);
  // Pattern PatternIndex scaled to Width x Height and turned by Angle (1/256 turns, clockwise)
  // about the point at the fractions CenterX, CenterY of the drawn rectangle, which lands on
  // (X, Y).
  void DrawRotate(TDirectDrawSurface* Dest, Integer X, Integer Y, Integer Width, Integer Height,
                  Integer PatternIndex, double CenterX, double CenterY, Single Angle);
  // The pattern's rectangle on its surface; (0, 0, 0, 0) for an index out of range.
  TRect GetPatternRect(Integer Index) const;

  // Binds the item to its collection's display (when that is initialised); makes no surfaces.
  void Initialize();
  // Unbinds the item and drops its surfaces.
  void Finalize();
  void ClearSurface();
  // Cuts the picture into patterns on new surfaces of the display. A surface that cannot be made
  // raises; the item keeps what was made before.
  void Restore();

  TPictureCollection* PictureCollection() const;
  bool Initialized() const { return FInitialized; }
  TPicture* Picture() const { return FPicture; }
  // Copies Value; the patterns follow at the next Restore.
  void SetPicture(TPicture* Value);
  // 0 or less: the picture's own size.
  Integer PatternWidth() const { return FPatternWidth; }
  void SetPatternWidth(Integer Value) { FPatternWidth = Value; }
  Integer PatternHeight() const { return FPatternHeight; }
  void SetPatternHeight(Integer Value) { FPatternHeight = Value; }
  // The gaps between pattern columns and rows in the picture.
  Integer SkipWidth() const { return FSkipWidth; }
  void SetSkipWidth(Integer Value) { FSkipWidth = Value; }
  Integer SkipHeight() const { return FSkipHeight; }
  void SetSkipHeight(Integer Value) { FSkipHeight = Value; }
  // One system-memory surface for the whole picture instead of video-memory blocks.
  bool SystemMemory() const { return FSystemMemory; }
  void SetSystemMemory(bool Value) { FSystemMemory = Value; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value) { FTransparent = Value; }
  TColor TransparentColor() const { return FTransparentColor; }
  // Re-keys the existing surfaces at once.
  void SetTransparentColor(TColor Value);

  // The size of one pattern.
  Integer Width() const;
  Integer Height() const;

  Integer PatternCount() const { return FPatterns->Count(); }
  // Raises the list-index error for an index out of range.
  TPictureCollectionItemPattern* Patterns(Integer Index) const;
  Integer SurfaceCount() const { return static_cast<Integer>(FSurfaceList.size()); }
  TDirectDrawSurface* Surfaces(Integer Index) const { return FSurfaceList.at(Index); }

 private:
  // The display of the collection, nil when there is none.
  TCustomDXDraw* DXDraw() const;
  // The display when it draws sprites as textured quads instead of blitting them, else nil.
  TCustomDXDraw* DisplayRequesting3D() const;
  TD2D* SpriteRenderer() const;
  // The pattern of that index, nil when there is none or the item is not initialised.
  TPictureCollectionItemPattern* DrawablePattern(Integer Index) const;
  // A new surface holding the picture's part Area, keyed with the transparent colour.
  TDirectDrawSurface* AddSurface(const TRect& Area);
  void AddPattern(const TRect& Area, TDirectDrawSurface* Surface);
  void CutSystemMemory();
  bool CutVideoMemory();

  TPicture* FPicture;
  bool FInitialized = false;
  Integer FPatternHeight = 0;
  Integer FPatternWidth = 0;
  TCollection* FPatterns;
  Integer FSkipHeight = 0;
  Integer FSkipWidth = 0;
  std::vector<TDirectDrawSurface*> FSurfaceList;
  bool FSystemMemory = false;
  bool FTransparent = true;
  TColor FTransparentColor = clBlack;
};

// The items of an image list. Its binding to a display is driven by the display's notifications
// (the image list forwards them); a display finalised behind the collection's back would free
// the items' surfaces under them.
class TPictureCollection final : public THashCollection {
  ORVALIS_CLASS(TPictureCollection, THashCollection)

  // AOwner (the image list) starts the name paths of the items.
  explicit TPictureCollection(TPersistent* AOwner);
  ~TPictureCollection() override;

  TPictureCollectionItem* Add() { return static_cast<TPictureCollectionItem*>(THashCollection::Add()); }
  // Raises EListError "Listenindex überschreitet das Maximum (%d)" outside 0..Count-1.
  TPictureCollectionItem* Items(Integer Index) const {
    return static_cast<TPictureCollectionItem*>(THashCollection::Items(Index));
  }

  // Binds every item to ADXDraw; raises EPictureCollectionError "TPictureCollection cannot be
  // initialized" (keeping ADXDraw) when that display is missing or not initialised.
  void Initialize(TCustomDXDraw* ADXDraw);
  void Finalize();
  void Restore();
  bool Initialized() const;
  TCustomDXDraw* DXDraw() const { return FDXDraw; }

  // Replaces the items with those of an image-list file; an initialised collection gives them
  // their surfaces at once. A failure keeps the items read so far and leaves them unbound.
  void LoadFromFile(const std::string& FileName);
  void LoadFromStream(TStream& Stream);
  // Writes the collection as an image-list file, for tools and tests: the game only reads them.
  void SaveToFile(const std::string& FileName);
  void SaveToStream(TStream& Stream);

  // Stored with the collection; nothing draws with it.
  TColorTable& ColorTable() { return FColorTable; }

 protected:
  TPersistent* GetOwner() override { return FOwner; }
  // The colour table as the binary value "ColorTable", exactly 1024 bytes.
  void DefineProperties(TFiler& Filer) override;

 private:
  TCustomDXDraw* FDXDraw = nullptr;
  TPersistent* FOwner;
  TColorTable FColorTable{};
};

// The component of an image-list file: its List is the collection being read or written.
class TPictureCollectionComponent : public TComponent {
  ORVALIS_CLASS(TPictureCollectionComponent, TComponent)

  using TComponent::TComponent;

  TPictureCollection* List() const { return FList; }
  void SetList(TPictureCollection* Value) { FList = Value; }

 private:
  TPictureCollection* FList = nullptr;
};

// The image list component: its items follow the display DXDraw.
class TCustomDXImageList : public TComponent {
  ORVALIS_CLASS(TCustomDXImageList, TComponent)

  explicit TCustomDXImageList(TComponent* AOwner);
  ~TCustomDXImageList() override;

  TCustomDXDraw* DXDraw() const { return FDXDraw; }
  // Leaves the old display's listeners and joins the new one's, which tells the list its state.
  void SetDXDraw(TCustomDXDraw* Value);
  TPictureCollection* Items() const { return FItems; }
  // Copies Value's items; the list's own items stay as they are.
  void SetItems(TPictureCollection* Value) {
    if (Value != FItems) FItems->Assign(Value);
  }

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void DXDrawNotifyEvent(TCustomDXDraw* Sender, TDisplayNotifyCode NotifyCode);
  TDisplayNotifyEvent Listener() { return MakeEvent<&TCustomDXImageList::DXDrawNotifyEvent>(this); }

  TCustomDXDraw* FDXDraw = nullptr;
  TPictureCollection* FItems;
};

// Publishes DXDraw and Items; registered so that streams (a form's stored settings) create it
// by name.
class TDXImageList : public TCustomDXImageList {
  ORVALIS_CLASS(TDXImageList, TCustomDXImageList)

  using TCustomDXImageList::TCustomDXImageList;
};
