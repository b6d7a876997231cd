#include <gtest/gtest.h>

#include <cstring>

#include "platform/kernel/GlobalMemory.h"
#include "platform/kernel/LastError.h"

namespace {

TEST(GlobalMemoryTest, FixedBlockIsItsOwnAddress) {
  HGLOBAL block = GlobalAlloc(GPTR, 64);
  ASSERT_NE(block, nullptr);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  EXPECT_EQ(static_cast<void*>(bytes), static_cast<void*>(block));
  for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], 0);
  EXPECT_EQ(GlobalSize(block), 64u);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemoryTest, MoveableBlockCountsLocksAndKeepsItsContent) {
  HGLOBAL block = GlobalAlloc(GHND, 10);
  ASSERT_NE(block, nullptr);
  void* first = GlobalLock(block);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, static_cast<void*>(block));
  std::memcpy(first, "0123456789", 10);
  void* second = GlobalLock(block);
  EXPECT_EQ(std::memcmp(second, "0123456789", 10), 0);
  EXPECT_TRUE(GlobalUnlock(block)) << "one lock remains";
  SetLastError(12345);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "unlocked for good";
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_EQ(GlobalSize(block), 10u);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemoryTest, UnknownOrFreedHandlesAreRejected) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalFree(block), block) << "freed twice";
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  EXPECT_EQ(GlobalAlloc(0x8000, 4), nullptr) << "unknown flag";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GlobalMemoryTest, EmptyBlocksExistButHaveNoMemoryToLock) {
  HGLOBAL moveable = GlobalAlloc(GMEM_MOVEABLE, 0);
  HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 0);
  ASSERT_NE(moveable, nullptr);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(GlobalLock(moveable), nullptr);
  EXPECT_EQ(GlobalSize(moveable), 0u);
  EXPECT_EQ(GlobalSize(fixed), 0u);
  EXPECT_EQ(GlobalFree(moveable), nullptr);
  EXPECT_EQ(GlobalFree(fixed), nullptr);
}

}  // namespace
