#include "runtime/Classes.h"

#include <algorithm>

#include "runtime/ComponentStream.h"
#include "runtime/Lists.h"
#include "runtime/TypInfo.h"

namespace {

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

[[noreturn]] void ListIndexError(Integer index) { throw EListError(SListIndexError, {index}); }

}  // namespace

bool IsValidIdent(std::string_view name) {
  if (name.empty() || !IsIdentStart(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), IsIdentChar);
}

// ---- TPersistent ----

const TClassInfo& TPersistent::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPersistent>();
  return info;
}

void TPersistent::Assign(TPersistent* Source) {
  if (Source != nullptr)
    Source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
  std::string sourceName = Source != nullptr ? Source->ClassName() : "nil";
  throw EConvertError(SAssignError, {sourceName, ClassName()});
}

std::string TPersistent::GetNamePath() {
  std::string path = ClassName();
  if (TPersistent* owner = GetOwner()) {
    std::string ownerPath = owner->GetNamePath();
    if (!ownerPath.empty()) path = ownerPath + "." + path;
  }
  return path;
}

void TPersistent::DefineProperties(TFiler&) {}

// ---- TComponent ----

const TClassInfo& TComponent::StaticClassInfo() {
  // Name is written by the stream as the component's header, never as a property.
  static const TClassInfo info = DefineClass<TComponent>({
      Property("Name", &TComponent::Name, &TComponent::SetName).Stored(false),
      Property("Tag", &TComponent::FTag, &TComponent::FTag).Default(0),
  });
  return info;
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Everyone who asked to be told is told before the owned components go.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    RemoveFromBack(other->FFreeNotifies, this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(Integer Index) const {
  if (Index < 0 || Index >= ComponentCount()) ListIndexError(Index);
  return FComponents[Index];
}

Integer TComponent::ComponentIndex() const {
  if (FOwner == nullptr) return -1;
  auto found = std::find(FOwner->FComponents.begin(), FOwner->FComponents.end(), this);
  return static_cast<Integer>(found - FOwner->FComponents.begin());
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  std::string wanted = AnsiUpperCase(AName);
  for (TComponent* component : FComponents)
    if (AnsiUpperCase(component->FName) == wanted) return component;
  return nullptr;
}

void TComponent::SetName(const std::string& NewName) {
  if (FName == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName)) throw EComponentError(SInvalidName, {NewName});
  if (FOwner != nullptr)
    FOwner->ValidateRename(this, FName, NewName);
  else
    ValidateRename(nullptr, FName, NewName);
  FName = NewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName) {
  if (AComponent == nullptr || AnsiUpperCase(CurName) == AnsiUpperCase(NewName)) return;
  TComponent* holder = FindComponent(NewName);
  if (holder != nullptr && holder != AComponent) throw EComponentError(SDuplicateName, {NewName});
}

void TComponent::SetDesigning(bool Value) {
  if (Value)
    FComponentState.Include(csDesigning);
  else
    FComponentState.Exclude(csDesigning);
  for (TComponent* component : FComponents) component->SetDesigning(Value);
}

void TComponent::SetLoading(bool Value) {
  if (Value)
    FComponentState.Include(csLoading);
  else
    FComponentState.Exclude(csLoading);
}

void TComponent::SetReading(bool Value) {
  if (Value)
    FComponentState.Include(csReading);
  else
    FComponentState.Exclude(csReading);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  ValidateRename(AComponent, "", AComponent->FName);
  if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  Notification(AComponent, opRemove);
  RemoveFromBack(FComponents, AComponent);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* last = FComponents.back();
    FComponents.pop_back();
    last->FOwner = nullptr;
    delete last;
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (TComponent* component : FComponents) component->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (FOwner != nullptr && AComponent->FOwner == FOwner) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(AComponent);
    AComponent->FFreeNotifies.push_back(this);
  }
  FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  RemoveFromBack(FFreeNotifies, AComponent);
  RemoveFromBack(AComponent->FFreeNotifies, this);
}

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent != nullptr) RemoveFreeNotification(AComponent);
  // Owned components may free siblings while being told; walk down and re-check the bound.
  for (size_t i = FComponents.size(); i-- > 0;) {
    if (i >= FComponents.size()) {
      if (FComponents.empty()) break;
      i = FComponents.size() - 1;
    }
    FComponents[i]->Notification(AComponent, Operation);
  }
}

void TComponent::DefineProperties(TFiler& Filer) {
  // The design position older streams carry; kept so that it survives a round trip.
  Filer.DefineProperty(
      "Left", [this](TReader& Reader) { FDesignLeft = Reader.ReadInteger(); },
      [this](TWriter& Writer) { Writer.WriteInteger(FDesignLeft); }, FDesignLeft != 0);
  Filer.DefineProperty(
      "Top", [this](TReader& Reader) { FDesignTop = Reader.ReadInteger(); },
      [this](TWriter& Writer) { Writer.WriteInteger(FDesignTop); }, FDesignTop != 0);
}

// ---- TCollectionItem ----

const TClassInfo& TCollectionItem::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCollectionItem>();
  return info;
}

TCollectionItem::TCollectionItem(TCollection* Collection) { SetCollection(Collection); }

TCollectionItem::~TCollectionItem() { SetCollection(nullptr); }

void TCollectionItem::SetCollection(TCollection* Value) {
  if (FCollection == Value) return;
  if (FCollection != nullptr) FCollection->RemoveItem(this);
  if (Value != nullptr) Value->InsertItem(this);
}

Integer TCollectionItem::Index() const {
  if (FCollection == nullptr) return -1;
  auto& items = FCollection->FItems;
  return static_cast<Integer>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(Integer Value) {
  Integer current = Index();
  if (current < 0 || current == Value) return;
  auto& items = FCollection->FItems;
  if (Value < 0 || Value >= static_cast<Integer>(items.size())) ListIndexError(Value);
  items.erase(items.begin() + current);
  items.insert(items.begin() + Value, this);
  Changed(true);
}

void TCollectionItem::SetDisplayName(const std::string&) { Changed(false); }

std::string TCollectionItem::GetDisplayName() { return ClassName(); }

std::string TCollectionItem::GetNamePath() {
  if (FCollection == nullptr) return ClassName();
  return Format("%s[%d]", {FCollection->GetNamePath(), Index()});
}

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection != nullptr && FCollection->FUpdateCount == 0)
    FCollection->Update(AllItems ? nullptr : this);
}

// ---- TCollection ----

const TClassInfo& TCollection::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCollection>();
  return info;
}

const TClassInfo& TOwnedCollection::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TOwnedCollection>();
  return info;
}

TCollection::TCollection(TClass ItemClass) : FItemClass(ItemClass) {}

TCollection::~TCollection() {
  // No update notifications while the collection goes away.
  FUpdateCount = 1;
  Clear();
}

TCollectionItem* TCollection::Add() {
  if (FItemClass == nullptr || FItemClass->NewCollectionItem == nullptr)
    throw EInvalidOperation(Format("%s: the item class cannot make items", {ClassName()}));
  return FItemClass->NewCollectionItem(this);
}

TCollectionItem* TCollection::Insert(Integer Index) {
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  // Destructors do not throw, so the update always ends.
  while (!FItems.empty()) delete FItems.back();
  EndUpdate();
}

void TCollection::Delete(Integer Index) { delete Items(Index); }

TCollectionItem* TCollection::Items(Integer Index) const {
  if (Index < 0 || Index >= Count()) ListIndexError(Index);
  return FItems[Index];
}

TCollectionItem* TCollection::FindItemID(Integer ID) const {
  for (TCollectionItem* item : FItems)
    if (item->FID == ID) return item;
  return nullptr;
}

void TCollection::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TCollection*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : source->FItems) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  --FUpdateCount;
  Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

std::string TCollection::PropName() {
  TPersistent* owner = GetOwner();
  if (owner == nullptr) return "";
  for (const TPropInfo* prop : GetPropList(owner->ClassType())) {
    if (prop->Kind() != tkClass) continue;
    TPropValue value = prop->Get(owner);
    if (std::get<TObject*>(value) == this) return prop->Name;
  }
  return "";
}

std::string TCollection::GetNamePath() {
  TPersistent* owner = GetOwner();
  if (owner == nullptr) return ClassName();
  std::string ownerPath = owner->GetNamePath();
  if (ownerPath.empty()) return ClassName();
  std::string propName = PropName();
  if (propName.empty()) return ClassName();
  return ownerPath + "." + propName;
}

void TCollection::InsertItem(TCollectionItem* Item) {
  FItems.push_back(Item);
  Item->FCollection = this;
  Item->FID = FNextID++;
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  Notify(Item, cnExtracting);
  RemoveFromBack(FItems, Item);
  Item->FCollection = nullptr;
  Changed();
}
