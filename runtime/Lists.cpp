#include "runtime/Lists.h"

#include <algorithm>

#include "runtime/TypInfo.h"

const TClassInfo& TList::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TList>();
  return info;
}

void TList::CheckIndex(Integer index) const {
  if (index < 0 || index >= Count()) throw EListError(SListIndexError, {index});
}

Integer TList::Add(void* item) {
  FList.push_back(item);
  return Count() - 1;
}

void TList::Insert(Integer index, void* item) {
  if (index < 0 || index > Count()) throw EListError(SListIndexError, {index});
  FList.insert(FList.begin() + index, item);
}

void TList::Delete(Integer index) {
  CheckIndex(index);
  FList.erase(FList.begin() + index);
}

Integer TList::IndexOf(void* item) const {
  auto found = std::find(FList.begin(), FList.end(), item);
  return found == FList.end() ? -1 : static_cast<Integer>(found - FList.begin());
}

Integer TList::Remove(void* item) {
  Integer index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  return Remove(item) >= 0 ? item : nullptr;
}

void TList::Clear() {
  FList.clear();
  FList.shrink_to_fit();
}

void TList::Exchange(Integer index1, Integer index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(FList[index1], FList[index2]);
}

void TList::Move(Integer curIndex, Integer newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = FList[curIndex];
  FList.erase(FList.begin() + curIndex);
  FList.insert(FList.begin() + newIndex, item);
}

void TList::Pack() { std::erase(FList, nullptr); }

void TList::Sort(TListSortCompare compare) {
  std::stable_sort(FList.begin(), FList.end(),
                   [compare](void* a, void* b) { return compare(a, b) < 0; });
}

void* TList::Items(Integer index) const {
  CheckIndex(index);
  return FList[index];
}

void TList::SetItems(Integer index, void* item) {
  CheckIndex(index);
  FList[index] = item;
}

void TList::SetCount(Integer count) {
  if (count < 0 || count > MaxListSize) throw EListError(SListCountError, {count});
  FList.resize(count, nullptr);
}

void TList::SetCapacity(Integer capacity) {
  if (capacity < Count() || capacity > MaxListSize) throw EListError(SListCapacityError, {capacity});
  if (capacity > Capacity()) {
    FList.reserve(capacity);
  } else {
    std::vector<void*> shrunk;
    shrunk.reserve(capacity);
    shrunk.assign(FList.begin(), FList.end());
    FList.swap(shrunk);
  }
}
