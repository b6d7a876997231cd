// The class library's list of untyped pointers.
#pragma once

#include <algorithm>
#include <vector>

#include "runtime/Object.h"
#include "runtime/SysUtils.h"

// The most entries a list may hold; a larger count or capacity is a list error.
inline constexpr Integer MaxListSize = 134217727;

// Compares two items for Sort: negative, zero or positive.
using TListSortCompare = Integer (*)(void* item1, void* item2);

class TList : public TObject {
  ORVALIS_CLASS(TList, TObject)

  Integer Add(void* item);
  void Insert(Integer index, void* item);
  void Delete(Integer index);
  // Removes the first occurrence; returns its former index or -1.
  Integer Remove(void* item);
  // Removes the first occurrence and returns the item, or nullptr when it is not there.
  void* Extract(void* item);
  Integer IndexOf(void* item) const;
  void Clear();
  void Exchange(Integer index1, Integer index2);
  void Move(Integer curIndex, Integer newIndex);
  // Removes the nil entries.
  void Pack();
  // A stable sort, so equal items keep their order.
  void Sort(TListSortCompare compare);

  void* Items(Integer index) const;
  void SetItems(Integer index, void* item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }

  Integer Count() const { return static_cast<Integer>(FList.size()); }
  // Growing fills with nil entries.
  void SetCount(Integer count);
  Integer Capacity() const { return static_cast<Integer>(FList.capacity()); }
  // Below Count raises EListError.
  void SetCapacity(Integer capacity);

  // The entries in order, for range-for loops and algorithms.
  const std::vector<void*>& List() const { return FList; }

 private:
  void CheckIndex(Integer index) const;
  std::vector<void*> FList;
};

// Removes one entry equal to item from a list of unique entries, searching from the back: owners
// free what they own last first, and each entry leaving is then found at once.
template <class T>
void RemoveFromBack(std::vector<T*>& list, const T* item) {
  auto found = std::find(list.rbegin(), list.rend(), item);
  if (found != list.rend()) list.erase(std::next(found).base());
}
