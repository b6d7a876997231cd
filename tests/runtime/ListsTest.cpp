#include "runtime/Lists.h"

#include <gtest/gtest.h>

#include "tests/MessageOf.h"

namespace {

int cells[6];
void* P(int i) { return &cells[i]; }

std::string ListIndexText(Integer index) {
  return "Listenindex überschreitet das Maximum (" + std::to_string(index) + ")";
}

template <class F>
void ExpectListError(F action, const std::string& text) {
  EXPECT_EQ(MessageOf<EListError>(action), text);
}

std::vector<void*> Entries(const TList& list) { return list.List(); }

}  // namespace

TEST(TList, AddInsertDeleteKeepOrder) {
  TList list;
  EXPECT_EQ(list.ClassName(), "TList");
  EXPECT_EQ(list.Add(P(1)), 0);
  EXPECT_EQ(list.Add(P(3)), 1);
  list.Insert(1, P(2));
  list.Insert(0, P(0));
  list.Insert(4, P(4));
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(1), P(2), P(3), P(4)}));
  list.Delete(0);
  list.Delete(3);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(1), P(2), P(3)}));
  EXPECT_EQ(list.First(), P(1));
  EXPECT_EQ(list.Last(), P(3));
  list.SetItems(1, P(5));
  EXPECT_EQ(list.Items(1), P(5));
}

TEST(TList, RemoveIndexOfAndExtractFindTheFirstOccurrence) {
  TList list;
  for (int i : {1, 2, 1, 3}) list.Add(P(i));
  EXPECT_EQ(list.IndexOf(P(1)), 0);
  EXPECT_EQ(list.IndexOf(P(4)), -1);
  EXPECT_EQ(list.Remove(P(1)), 0);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(2), P(1), P(3)}));
  EXPECT_EQ(list.Remove(P(4)), -1);
  EXPECT_EQ(list.Extract(P(1)), P(1));
  EXPECT_EQ(list.Extract(P(1)), nullptr);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(2), P(3)}));
}

TEST(TList, ExchangeMovePackAndSort) {
  TList list;
  for (int i : {0, 1, 2, 3}) list.Add(P(i));
  list.Exchange(0, 3);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(3), P(1), P(2), P(0)}));
  list.Move(0, 2);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(1), P(2), P(3), P(0)}));
  list.Move(3, 0);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(1), P(2), P(3)}));
  list.SetCount(6);
  list.SetItems(5, P(5));
  list.Pack();
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(1), P(2), P(3), P(5)}));
  // Sort by address descending; equal keys keep their order.
  list.Add(P(1));
  list.Sort([](void* a, void* b) -> Integer { return a < b ? 1 : a > b ? -1 : 0; });
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(5), P(3), P(2), P(1), P(1), P(0)}));
}

TEST(TList, CountAndCapacity) {
  TList list;
  list.SetCapacity(10);
  EXPECT_GE(list.Capacity(), 10);
  EXPECT_EQ(list.Count(), 0);
  list.SetCount(3);
  EXPECT_EQ(list.Items(2), nullptr);
  list.SetCount(1);
  EXPECT_EQ(list.Count(), 1);
  list.SetCapacity(1);
  EXPECT_EQ(list.Capacity(), 1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  ExpectListError([&] { list.SetCount(-1); }, "Listenanzahl überschreitet das Maximum (-1)");
  ExpectListError([&] { list.SetCount(MaxListSize + 1); },
                  "Listenanzahl überschreitet das Maximum (134217728)");
  list.Add(P(0));
  ExpectListError([&] { list.SetCapacity(0); }, "Listenkapazität überschreitet das Maximum (0)");
}

TEST(TList, IndicesOutsideTheListRaiseTheListIndexError) {
  TList list;
  list.Add(P(0));
  list.Add(P(1));
  ExpectListError([&] { list.Items(2); }, ListIndexText(2));
  ExpectListError([&] { list.Items(-1); }, ListIndexText(-1));
  ExpectListError([&] { list.SetItems(5, nullptr); }, ListIndexText(5));
  ExpectListError([&] { list.Delete(2); }, ListIndexText(2));
  ExpectListError([&] { list.Insert(3, nullptr); }, ListIndexText(3));
  ExpectListError([&] { list.Insert(-1, nullptr); }, ListIndexText(-1));
  ExpectListError([&] { list.Exchange(0, 2); }, ListIndexText(2));
  ExpectListError([&] { list.Move(-1, 0); }, ListIndexText(-1));
  ExpectListError([&] { list.Move(0, 2); }, ListIndexText(2));
  TList empty;
  ExpectListError([&] { empty.First(); }, ListIndexText(0));
  ExpectListError([&] { empty.Last(); }, ListIndexText(-1));
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(1)}));  // nothing changed on the way
}
