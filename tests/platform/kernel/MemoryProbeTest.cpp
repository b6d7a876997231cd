#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "platform/kernel/MemoryProbe.h"

namespace {

TEST(MemoryProbeTest, ReadableMemoryIsNotBad) {
  std::vector<char> buffer(100000, 'x');
  EXPECT_FALSE(IsBadHugeReadPtr(buffer.data(), buffer.size()));
  EXPECT_FALSE(IsBadHugeReadPtr(buffer.data() + 10, 16));
  EXPECT_FALSE(IsBadHugeReadPtr(nullptr, 0)) << "nothing to read";
}

TEST(MemoryProbeTest, NullSmallNumbersAndInaccessiblePagesAreBad) {
  EXPECT_TRUE(IsBadHugeReadPtr(nullptr, 16));
  EXPECT_TRUE(IsBadHugeReadPtr(reinterpret_cast<const void*>(uintptr_t{0x10}), 16));
  EXPECT_TRUE(IsBadHugeReadPtr(reinterpret_cast<const void*>(UINTPTR_MAX - 4), 16));

  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  char* second = static_cast<char*>(pages) + page;
  ASSERT_EQ(mprotect(second, page, PROT_NONE), 0);
  EXPECT_FALSE(IsBadHugeReadPtr(second - 16, 16));
  EXPECT_TRUE(IsBadHugeReadPtr(second - 8, 16)) << "runs into the inaccessible page";
  EXPECT_TRUE(IsBadHugeReadPtr(second, 1));
  munmap(pages, 2 * page);
}

}  // namespace
