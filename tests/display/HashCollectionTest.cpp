#include "display/HashCollection.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

THashCollectionItem* AddNamed(THashCollection& collection, const std::string& name) {
  auto* item = static_cast<THashCollectionItem*>(collection.Add());
  item->SetName(name);
  return item;
}

// The chain of a bucket from its head, checking the back links on the way.
std::vector<THashCollectionItem*> Chain(const THashCollection& collection, Integer bucket) {
  std::vector<THashCollectionItem*> chain;
  THashCollectionItem* previous = nullptr;
  for (THashCollectionItem* item = collection.Buckets(bucket); item; item = item->NextInBucket()) {
    EXPECT_EQ(item->PrevInBucket(), previous);
    EXPECT_EQ(item->BucketIndex(), bucket);
    chain.push_back(item);
    previous = item;
  }
  return chain;
}

TEST(NameHash, UsesLengthAndTwoCharactersIgnoringCase) {
  EXPECT_EQ(NameHash("ab"), 226);
  EXPECT_EQ(NameHash("a"), 16);
  EXPECT_EQ(NameHash(""), 0);
  EXPECT_EQ(NameHash("Ship"), NameHash("ship"));
  // "ship": 4*16 + 's' + 'i' = 64 + 115 + 105 = 284, and 255 = 28.
  EXPECT_EQ(NameHash("SHIP"), 28);
}

TEST(HashCollection, NewItemsJoinTheBucketOfTheEmptyNameAsHead) {
  THashCollection collection(&THashCollectionItem::StaticClassInfo());
  auto* first = static_cast<THashCollectionItem*>(collection.Add());
  auto* second = static_cast<THashCollectionItem*>(collection.Add());
  EXPECT_EQ(Chain(collection, 0), (std::vector<THashCollectionItem*>{second, first}));
  EXPECT_EQ(collection.Count(), 2);
}

TEST(HashCollection, RenamingMovesTheItemOnlyWhenTheTextChanges) {
  THashCollection collection(&THashCollectionItem::StaticClassInfo());
  THashCollectionItem* ship = AddNamed(collection, "Ship");
  THashCollectionItem* other = AddNamed(collection, "ship2");
  AddNamed(collection, "Ship");  // a second "Ship", ahead of the first in the chain
  Integer bucket = NameHash("Ship");
  std::vector<THashCollectionItem*> before = Chain(collection, bucket);
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[1], ship);

  ship->SetName("Ship");  // same text: stays where it is
  EXPECT_EQ(Chain(collection, bucket), before);

  ship->SetName("ship");  // case differs: unlinked and relinked as head of the same bucket
  std::vector<THashCollectionItem*> after = Chain(collection, bucket);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], ship);
  EXPECT_EQ(ship->Name(), "ship");
  EXPECT_EQ(Chain(collection, NameHash("ship2")), (std::vector<THashCollectionItem*>{other}));
}

TEST(HashCollection, DestroyingHeadMiddleAndLastKeepsTheRestLinkedInOrder) {
  THashCollection collection(&THashCollectionItem::StaticClassInfo());
  // All of these share a bucket: same length, same first and second-to-last character.
  std::vector<THashCollectionItem*> items;
  for (const char* name : {"ax1", "ax2", "ax3", "ax4", "ax5", "ax6"}) items.push_back(AddNamed(collection, name));
  Integer bucket = NameHash("ax1");
  // Head first: ax6 ax5 ax4 ax3 ax2 ax1.
  delete items[5];  // the head
  EXPECT_EQ(Chain(collection, bucket), (std::vector<THashCollectionItem*>{items[4], items[3], items[2], items[1], items[0]}));
  delete items[2];  // a middle one
  EXPECT_EQ(Chain(collection, bucket), (std::vector<THashCollectionItem*>{items[4], items[3], items[1], items[0]}));
  delete items[0];  // the last
  EXPECT_EQ(Chain(collection, bucket), (std::vector<THashCollectionItem*>{items[4], items[3], items[1]}));
  EXPECT_EQ(collection.Count(), 3);
  collection.Clear();
  EXPECT_EQ(collection.Buckets(bucket), nullptr);
}

TEST(HashCollection, MovingAnItemToAnotherCollectionMovesItsBucketEntry) {
  THashCollection source(&THashCollectionItem::StaticClassInfo());
  THashCollection target(&THashCollectionItem::StaticClassInfo());
  THashCollectionItem* item = AddNamed(source, "Rock");
  item->SetCollection(&target);
  EXPECT_EQ(source.Buckets(NameHash("Rock")), nullptr);
  EXPECT_EQ(target.Buckets(NameHash("Rock")), item);
  EXPECT_EQ(source.Count(), 0);
  EXPECT_EQ(target.Count(), 1);
}

TEST(HashCollectionItem, AssignCopiesTheNameAndDisplayNameFallsBackToTheClassName) {
  THashCollection collection(&THashCollectionItem::StaticClassInfo());
  THashCollectionItem* source = AddNamed(collection, "Plasma");
  auto* copy = static_cast<THashCollectionItem*>(collection.Add());
  EXPECT_EQ(copy->DisplayName(), "THashCollectionItem");
  copy->Assign(source);
  EXPECT_EQ(copy->Name(), "Plasma");
  EXPECT_EQ(copy->DisplayName(), "Plasma");
  EXPECT_EQ(Chain(collection, NameHash("Plasma")).size(), 2u);

  THashCollection notAnItem(&THashCollectionItem::StaticClassInfo());
  try {
    copy->Assign(&notAnItem);
    FAIL() << "assigning a collection to an item must fail";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "THashCollection kann nicht zu THashCollectionItem zugewiesen werden");
  }
}

}  // namespace
