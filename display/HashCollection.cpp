#include "display/HashCollection.h"

#include "runtime/TypInfo.h"

Integer NameHash(std::string_view Name) {
  std::string lower = AnsiLowerCase(Name);
  auto length = static_cast<Integer>(lower.size());
  Integer hash = length << 4;
  if (length >= 2)
    hash += static_cast<uint8_t>(lower[0]) + static_cast<uint8_t>(lower[length - 2]);
  return hash & 255;
}

const TClassInfo& THashCollection::StaticClassInfo() {
  static const TClassInfo info = DefineClass<THashCollection>();
  return info;
}

const TClassInfo& THashCollectionItem::StaticClassInfo() {
  static const TClassInfo info = DefineClass<THashCollectionItem>({
      Property("Name", &THashCollectionItem::Name, &THashCollectionItem::SetName),
  });
  return info;
}

THashCollectionItem::THashCollectionItem(TCollection* Collection) : TCollectionItem(Collection) {
  LinkIntoBucket();
}

THashCollectionItem::~THashCollectionItem() { UnlinkFromBucket(); }

void THashCollectionItem::Assign(TPersistent* Source) {
  if (auto* source = dynamic_cast<THashCollectionItem*>(Source))
    SetName(source->FName);
  else
    TCollectionItem::Assign(Source);
}

void THashCollectionItem::SetCollection(TCollection* Value) {
  if (Value == Collection()) return;
  UnlinkFromBucket();
  TCollectionItem::SetCollection(Value);
  LinkIntoBucket();
}

void THashCollectionItem::SetName(const std::string& Value) {
  if (Value == FName) return;
  FName = Value;
  UnlinkFromBucket();
  LinkIntoBucket();
}

std::string THashCollectionItem::GetDisplayName() {
  return FName.empty() ? TCollectionItem::GetDisplayName() : FName;
}

THashCollection* THashCollectionItem::HashCollection() const {
  return dynamic_cast<THashCollection*>(Collection());
}

void THashCollectionItem::LinkIntoBucket() {
  FBucketIndex = NameHash(FName);
  THashCollection* collection = HashCollection();
  if (collection == nullptr) return;
  THashCollectionItem*& head = collection->FBuckets[FBucketIndex];
  if (head != nullptr) head->FPrevInBucket = this;
  FNextInBucket = head;
  head = this;
}

void THashCollectionItem::UnlinkFromBucket() {
  THashCollection* collection = HashCollection();
  if (collection == nullptr) return;
  if (FPrevInBucket != nullptr) {
    FPrevInBucket->FNextInBucket = FNextInBucket;
    if (FNextInBucket != nullptr) FNextInBucket->FPrevInBucket = FPrevInBucket;
  } else if (collection->FBuckets[FBucketIndex] == this) {
    collection->FBuckets[FBucketIndex] = FNextInBucket;
    if (FNextInBucket != nullptr) FNextInBucket->FPrevInBucket = nullptr;
  }
  FPrevInBucket = nullptr;
  FNextInBucket = nullptr;
}
