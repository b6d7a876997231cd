#include "display/ImageList.h"

#include <algorithm>
#include <memory>

#include "display/D2D.h"
#include "dxbase/DXConsts.h"
#include "dxbase/ScopeExit.h"
#include "platform/kernel/FinalCast.h"
#include "runtime/ComponentStream.h"
#include "runtime/TypInfo.h"

namespace {

// Video-memory surfaces are cut into blocks about this many pixels wide and tall, which every
// driver accepts.
constexpr Int64 kMaxBlockSide = 2048;

// The number of whole pattern steps of Step pixels (a pattern and its gap) in a picture Side
// pixels long: the last pattern needs no trailing gap.
Int64 StepCount(Int64 Side, Int64 Skip, Int64 Step) { return (Side + Skip) / Step; }

}  // namespace

// ---- TPictureCollectionItemPattern ----

const TClassInfo& TPictureCollectionItemPattern::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPictureCollectionItemPattern>();
  return info;
}

// ---- TPictureCollectionItem ----

const TClassInfo& TPictureCollectionItem::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPictureCollectionItem>({
      Property("PatternHeight", &TPictureCollectionItem::PatternHeight, &TPictureCollectionItem::SetPatternHeight),
      Property("PatternWidth", &TPictureCollectionItem::PatternWidth, &TPictureCollectionItem::SetPatternWidth),
      Property("Picture", &TPictureCollectionItem::Picture, &TPictureCollectionItem::SetPicture),
      Property("SkipHeight", &TPictureCollectionItem::SkipHeight, &TPictureCollectionItem::SetSkipHeight).Default(0),
      Property("SkipWidth", &TPictureCollectionItem::SkipWidth, &TPictureCollectionItem::SetSkipWidth).Default(0),
      Property("SystemMemory", &TPictureCollectionItem::SystemMemory, &TPictureCollectionItem::SetSystemMemory),
      Property("Transparent", &TPictureCollectionItem::Transparent, &TPictureCollectionItem::SetTransparent),
      Property("TransparentColor", ColorTypeInfo(), &TPictureCollectionItem::TransparentColor,
               &TPictureCollectionItem::SetTransparentColor),
  });
  return info;
}

TPictureCollectionItem::TPictureCollectionItem(TCollection* Collection)
    : THashCollectionItem(Collection),
      FPicture(new TPicture()),
      FPatterns(new TCollection(&TPictureCollectionItemPattern::StaticClassInfo())) {}

TPictureCollectionItem::~TPictureCollectionItem() {
  Finalize();
  delete FPicture;
  delete FPatterns;
}

void TPictureCollectionItem::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TPictureCollectionItem*>(Source);
  if (source == nullptr) {
    THashCollectionItem::Assign(Source);
    return;
  }
  const bool wasInitialized = FInitialized;
  Finalize();
  FPatternHeight = source->FPatternHeight;
  FPatternWidth = source->FPatternWidth;
  FSkipHeight = source->FSkipHeight;
  FSkipWidth = source->FSkipWidth;
  FSystemMemory = source->FSystemMemory;
  FTransparent = source->FTransparent;
  FTransparentColor = source->FTransparentColor;
  FPicture->Assign(source->FPicture);
  if (wasInitialized) Restore();
}

TPictureCollection* TPictureCollectionItem::PictureCollection() const {
  return FinalCast<TPictureCollection>(Collection());
}

TCustomDXDraw* TPictureCollectionItem::DXDraw() const {
  TPictureCollection* collection = PictureCollection();
  return collection ? collection->DXDraw() : nullptr;
}

TCustomDXDraw* TPictureCollectionItem::DisplayRequesting3D() const {
  TCustomDXDraw* display = DXDraw();
  return display && display->Options().Contains(do3D) ? display : nullptr;
}

TD2D* TPictureCollectionItem::SpriteRenderer() const {
  TCustomDXDraw* display = DisplayRequesting3D();
  return display ? display->D2D() : nullptr;
}

void TPictureCollectionItem::SetPicture(TPicture* Value) { FPicture->Assign(Value); }

Integer TPictureCollectionItem::Width() const {
  return FPatternWidth > 0 ? FPatternWidth : FPicture->Width();
}

Integer TPictureCollectionItem::Height() const {
  return FPatternHeight > 0 ? FPatternHeight : FPicture->Height();
}

TPictureCollectionItemPattern* TPictureCollectionItem::Patterns(Integer Index) const {
  return static_cast<TPictureCollectionItemPattern*>(FPatterns->Items(Index));
}

TRect TPictureCollectionItem::GetPatternRect(Integer Index) const {
  if (Index < 0 || Index >= PatternCount()) return Rect(0, 0, 0, 0);
  return Patterns(Index)->Rect();
}

void TPictureCollectionItem::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  for (TDirectDrawSurface* surface : FSurfaceList) {
    try {
      surface->SetTransparentColor(surface->ColorMatch(Value));
    } catch (const Exception&) {
      // One surface that cannot be keyed must not keep the others from their new key.
    }
  }
}

// ---- Binding and surfaces ----

void TPictureCollectionItem::Initialize() {
  Finalize();
  TPictureCollection* collection = PictureCollection();
  FInitialized = collection && collection->Initialized();
}

void TPictureCollectionItem::Finalize() {
  if (!FInitialized) return;
  FInitialized = false;
  ClearSurface();
}

void TPictureCollectionItem::ClearSurface() {
  FPatterns->Clear();
  for (TDirectDrawSurface* surface : FSurfaceList) delete surface;
  FSurfaceList.clear();
}

TDirectDrawSurface* TPictureCollectionItem::AddSurface(const TRect& Area) {
  auto* surface = new TDirectDrawSurface(DXDraw()->DDraw());
  FSurfaceList.push_back(surface);
  surface->SetSystemMemory(FSystemMemory);
  surface->LoadFromGraphicRect(FPicture->Graphic(), 0, 0, Area);
  // Keyed even when the item is opaque: Transparent only decides whether drawing uses the key.
  surface->SetTransparentColor(surface->ColorMatch(FTransparentColor));
  return surface;
}

void TPictureCollectionItem::AddPattern(const TRect& Area, TDirectDrawSurface* Surface) {
  auto* pattern = static_cast<TPictureCollectionItemPattern*>(FPatterns->Add());
  pattern->FRect = Area;
  pattern->FSurface = Surface;
}

void TPictureCollectionItem::Restore() {
  if (FPicture->Graphic() == nullptr) return;
  if (!FInitialized) {
    TPictureCollection* collection = PictureCollection();
    if (collection && collection->Initialized()) Initialize();
    if (!FInitialized) return;
  }
  ClearSurface();
  const Integer pictureWidth = FPicture->Width();
  const Integer pictureHeight = FPicture->Height();
  if (Width() == pictureWidth && Height() == pictureHeight) {
    const TRect whole = Rect(0, 0, pictureWidth, pictureHeight);
    AddPattern(whole, AddSurface(whole));
  } else if (FSystemMemory) {
    CutSystemMemory();
  } else if (!CutVideoMemory()) {
    return;
  }
  // Textures were made from the old picture; the next draw makes them anew.
  if (TD2D* renderer = SpriteRenderer()) renderer->ClearTextures();
}

// One surface for the whole picture; the patterns lie on it where they lie in the picture.
void TPictureCollectionItem::CutSystemMemory() {
  TDirectDrawSurface* surface = AddSurface(Rect(0, 0, FPicture->Width(), FPicture->Height()));
  const Int64 stepX = Int64{Width()} + FSkipWidth;
  const Int64 stepY = Int64{Height()} + FSkipHeight;
  // Gaps that swallow whole patterns leave nothing to cut.
  if (stepX <= 0 || stepY <= 0) return;
  const Int64 rows = StepCount(FPicture->Height(), FSkipHeight, stepY);
  const Int64 columns = StepCount(FPicture->Width(), FSkipWidth, stepX);
  for (Int64 row = 0; row < rows; ++row)
    for (Int64 column = 0; column < columns; ++column)
      AddPattern(Bounds(static_cast<Integer>(column * stepX), static_cast<Integer>(row * stepY), Width(), Height()),
                 surface);
}

// Blocks of whole pattern steps, each the smallest such block that reaches kMaxBlockSide (or the
// whole picture when that is smaller), so that no surface is much larger than a driver takes.
// False when the picture holds no whole pattern step, so nothing was cut.
bool TPictureCollectionItem::CutVideoMemory() {
  const Int64 pictureWidth = FPicture->Width();
  const Int64 pictureHeight = FPicture->Height();
  const Int64 stepX = Int64{Width()} + FSkipWidth;
  const Int64 stepY = Int64{Height()} + FSkipHeight;
  if (stepX <= 0 || stepY <= 0) return false;
  const Int64 columns = StepCount(pictureWidth, FSkipWidth, stepX);
  const Int64 rows = StepCount(pictureHeight, FSkipHeight, stepY);
  const Int64 blockWidth = std::min((kMaxBlockSide + stepX - 1) / stepX, columns) * stepX;
  const Int64 blockHeight = std::min((kMaxBlockSide + stepY - 1) / stepY, rows) * stepY;
  if (blockWidth <= 0 || blockHeight <= 0) return false;

  const Int64 blocksAcross = (pictureWidth + blockWidth - 1) / blockWidth;
  const Int64 blocksDown = (pictureHeight + blockHeight - 1) / blockHeight;
  std::vector<TDirectDrawSurface*> blocks;
  for (Int64 by = 0; by < blocksDown; ++by) {
    for (Int64 bx = 0; bx < blocksAcross; ++bx) {
      const Int64 left = bx * blockWidth;
      const Int64 top = by * blockHeight;
      Int64 width = std::min(blockWidth, std::max<Int64>(pictureWidth - left, 0));
      Int64 height = std::min(blockHeight, std::max<Int64>(pictureHeight - top, 0));
      if (width == 0) width = blockWidth;
      if (height == 0) height = blockHeight;
      blocks.push_back(AddSurface(Bounds(static_cast<Integer>(left), static_cast<Integer>(top),
                                         static_cast<Integer>(width), static_cast<Integer>(height))));
    }
  }
  for (Int64 row = 0; row < rows; ++row) {
    for (Int64 column = 0; column < columns; ++column) {
      const Int64 x = column * stepX;
      const Int64 y = row * stepY;
      AddPattern(Bounds(static_cast<Integer>(x % blockWidth), static_cast<Integer>(y % blockHeight), Width(), Height()),
                 blocks[static_cast<size_t>(x / blockWidth + (y / blockHeight) * blocksAcross)]);
    }
  }
  return true;
}

// ---- Drawing ----

TPictureCollectionItemPattern* TPictureCollectionItem::DrawablePattern(Integer Index) const {
  if (!FInitialized || Index < 0 || Index >= PatternCount()) return nullptr;
  return Patterns(Index);
}

// A display that requests 3D takes sprites only on its back surface, where its sprite renderer
// draws them as textured quads; other surfaces get nothing from such an item.
void TPictureCollectionItem::Draw(TDirectDrawSurface* Dest, Integer X, Integer Y, Integer PatternIndex) {
  TPictureCollectionItemPattern* pattern = DrawablePattern(PatternIndex);
  if (pattern == nullptr || Dest == nullptr) return;
  if (TCustomDXDraw* display = DisplayRequesting3D()) {
    if (display->D2D() && Dest == display->Surface())
      display->D2D()->RenderItem(this, Bounds(X, Y, Width(), Height()), PatternIndex);
    return;
  }
  Dest->Draw(X, Y, pattern->Rect(), pattern->Surface(), FTransparent);
}

void TPictureCollectionItem::DrawRotate(TDirectDrawSurface* Dest, Integer X, Integer Y, Integer Width,
                                        Integer Height, Integer PatternIndex, double CenterX, double CenterY,
                                        Single Angle) {
  TPictureCollectionItemPattern* pattern = DrawablePattern(PatternIndex);
  if (pattern == nullptr || Dest == nullptr) return;
  if (TCustomDXDraw* display = DisplayRequesting3D()) {
    if (display->D2D() && Dest == display->Surface())
      display->D2D()->RenderItemRotate(this, X, Y, Width, Height, PatternIndex, CenterX, CenterY, Angle);
    return;
  }
  Dest->DrawRotate(X, Y, Width, Height, pattern->Rect(), pattern->Surface(), CenterX, CenterY, FTransparent,
                   Angle);
}

// ---- TPictureCollection ----

const TClassInfo& TPictureCollection::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPictureCollection>();
  return info;
}

TPictureCollection::TPictureCollection(TPersistent* AOwner)
    : THashCollection(&TPictureCollectionItem::StaticClassInfo()), FOwner(AOwner) {}

TPictureCollection::~TPictureCollection() {
  Finalize();
  // The items go while they can still see the collection they belong to.
  Clear();
}

bool TPictureCollection::Initialized() const { return FDXDraw && FDXDraw->Initialized(); }

void TPictureCollection::Initialize(TCustomDXDraw* ADXDraw) {
  Finalize();
  FDXDraw = ADXDraw;
  if (!Initialized()) throw EPictureCollectionError(Format(MsgCannotBeInitialized, {ClassName()}));
  for (Integer i = 0; i < Count(); ++i) Items(i)->Initialize();
}

void TPictureCollection::Finalize() {
  const ScopeExit unbound([this] { FDXDraw = nullptr; });
  for (Integer i = 0; i < Count(); ++i) Items(i)->Finalize();
}

void TPictureCollection::Restore() {
  for (Integer i = 0; i < Count(); ++i) Items(i)->Restore();
}

void TPictureCollection::DefineProperties(TFiler& Filer) {
  THashCollection::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "ColorTable",
      [this](TStream& Stream) { Stream.ReadBuffer(FColorTable.data(), sizeof FColorTable); },
      [this](TStream& Stream) { Stream.WriteBuffer(FColorTable.data(), sizeof FColorTable); }, true);
}

void TPictureCollection::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TPictureCollection::LoadFromStream(TStream& Stream) {
  Clear();
  const auto reader = std::make_unique<TPictureCollectionComponent>(nullptr);
  reader->SetList(this);
  ReadComponentRes(Stream, reader.get());
  if (Initialized()) {
    Initialize(FDXDraw);
    Restore();
  }
}

void TPictureCollection::SaveToFile(const std::string& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(stream);
}

void TPictureCollection::SaveToStream(TStream& Stream) {
  const auto writer = std::make_unique<TPictureCollectionComponent>(nullptr);
  writer->SetList(this);
  WriteComponentRes(Stream, writer->ClassName(), writer.get());
}

// ---- TPictureCollectionComponent ----

const TClassInfo& TPictureCollectionComponent::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPictureCollectionComponent>({
      Property("List", &TPictureCollectionComponent::List, &TPictureCollectionComponent::SetList),
  });
  return info;
}

// ---- TCustomDXImageList / TDXImageList ----

const TClassInfo& TCustomDXImageList::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomDXImageList>();
  return info;
}

const TClassInfo& TDXImageList::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDXImageList>({
      Property("DXDraw", &TCustomDXImageList::DXDraw, &TCustomDXImageList::SetDXDraw),
      Property("Items", &TCustomDXImageList::Items, &TCustomDXImageList::SetItems),
  });
  return info;
}

namespace {
// Forms store their image lists by class name.
[[maybe_unused]] const bool kImageListRegistered = (RegisterClass(&TDXImageList::StaticClassInfo()), true);
}  // namespace

TCustomDXImageList::TCustomDXImageList(TComponent* AOwner)
    : TComponent(AOwner), FItems(new TPictureCollection(this)) {}

TCustomDXImageList::~TCustomDXImageList() {
  SetDXDraw(nullptr);
  delete FItems;
}

void TCustomDXImageList::SetDXDraw(TCustomDXDraw* Value) {
  if (FDXDraw) FDXDraw->RemoveNotifyListener(Listener());
  FDXDraw = Value;
  if (FDXDraw) FDXDraw->AddNotifyListener(Listener());
}

void TCustomDXImageList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDXDraw) SetDXDraw(nullptr);
}

void TCustomDXImageList::DXDrawNotifyEvent(TCustomDXDraw* Sender, TDisplayNotifyCode NotifyCode) {
  switch (NotifyCode) {
    case ncDestroying:
      SetDXDraw(nullptr);
      break;
    case ncInitialize:
      FItems->Initialize(Sender);
      break;
    case ncFinalize:
      FItems->Finalize();
      break;
    case ncRestore:
      FItems->Restore();
      break;
    default:
      break;
  }
}
