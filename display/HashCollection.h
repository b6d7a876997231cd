// A collection whose items carry a published Name and are kept in 256 buckets by the hash of
// that name; the base of the picture collections.
#pragma once

#include <array>
#include <string>

#include "runtime/Classes.h"

class THashCollectionItem;

// The bucket of a name: its length and two of its characters, case ignored; 0..255.
Integer NameHash(std::string_view Name);

class THashCollection : public TCollection {
  ORVALIS_CLASS(THashCollection, TCollection)

  explicit THashCollection(TClass ItemClass) : TCollection(ItemClass) {}

  // The head of bucket Index's chain; nil when the bucket is empty.
  THashCollectionItem* Buckets(Integer Index) const { return FBuckets.at(Index); }

 private:
  friend class THashCollectionItem;
  std::array<THashCollectionItem*, 256> FBuckets{};
};

class THashCollectionItem : public TCollectionItem {
  ORVALIS_CLASS(THashCollectionItem, TCollectionItem)

  // Joins Collection and the bucket of the empty name.
  explicit THashCollectionItem(TCollection* Collection);
  ~THashCollectionItem() override;

  void Assign(TPersistent* Source) override;
  void SetCollection(TCollection* Value) override;

  const std::string& Name() const { return FName; }
  // Case matters: "Ship" and "ship" are different names (in the same bucket).
  void SetName(const std::string& Value);

  Integer BucketIndex() const { return FBucketIndex; }
  THashCollectionItem* PrevInBucket() const { return FPrevInBucket; }
  THashCollectionItem* NextInBucket() const { return FNextInBucket; }

 protected:
  std::string GetDisplayName() override;

 private:
  // The collection's buckets, or nil while the item is in no hash collection.
  THashCollection* HashCollection() const;
  void LinkIntoBucket();
  void UnlinkFromBucket();

  Integer FBucketIndex = 0;
  THashCollectionItem* FPrevInBucket = nullptr;
  std::string FName;
  THashCollectionItem* FNextInBucket = nullptr;
};
