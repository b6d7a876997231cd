#include "platform/kernel/CountedObject.h"

#include <gtest/gtest.h>

namespace {

constexpr GUID IID_ITestThing = {0x1234, 0x5678, 0x9ABC, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID IID_IOtherThing = {0x1234, 0x5678, 0x9ABC, {8, 7, 6, 5, 4, 3, 2, 1}};

struct ITestThing : IUnknown {};

class TestThing final : public CountedObject<ITestThing> {
 public:
  explicit TestThing(bool& gone) : gone_(gone) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface(iid, IID_ITestThing, object);
  }

 private:
  ~TestThing() override { gone_ = true; }
  bool& gone_;
};

TEST(CountedObject, LivesUntilTheLastReferenceIsReleased) {
  bool gone = false;
  auto* thing = new TestThing(gone);
  EXPECT_EQ(thing->AddRef(), 2u);
  EXPECT_EQ(thing->Release(), 1u);
  EXPECT_FALSE(gone);
  EXPECT_EQ(thing->Release(), 0u);
  EXPECT_TRUE(gone);
}

TEST(CountedObject, AnswersForIUnknownAndItsOwnInterfaceOnly) {
  bool gone = false;
  auto* thing = new TestThing(gone);
  void* found = reinterpret_cast<void*>(1);
  EXPECT_EQ(thing->QueryInterface(IID_IOtherThing, &found), E_NOINTERFACE);
  EXPECT_EQ(found, nullptr) << "a refused query leaves no stale pointer behind";
  EXPECT_EQ(thing->QueryInterface(IID_ITestThing, nullptr), E_POINTER);

  ASSERT_EQ(thing->QueryInterface(IID_ITestThing, &found), S_OK);
  EXPECT_EQ(found, static_cast<ITestThing*>(thing));
  ASSERT_EQ(thing->QueryInterface(IID_IUnknown, &found), S_OK);
  // Each answer holds a reference of its own: two more releases before the object goes.
  EXPECT_EQ(thing->Release(), 2u);
  EXPECT_EQ(thing->Release(), 1u);
  EXPECT_FALSE(gone);
  thing->Release();
  EXPECT_TRUE(gone);
}

}  // namespace
