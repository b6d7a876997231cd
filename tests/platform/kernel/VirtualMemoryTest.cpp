#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstring>

#include "platform/kernel/LastError.h"
#include "platform/kernel/VirtualMemory.h"

namespace {

// mov eax, 42; ret
constexpr unsigned char kReturn42[] = {0xB8, 0x2A, 0x00, 0x00, 0x00, 0xC3};

TEST(VirtualMemoryTest, GeneratedCodeRunsOnceTheBufferIsExecutable) {
  void* buffer = VirtualAlloc(nullptr, 2048, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(buffer, nullptr);
  std::memcpy(buffer, kReturn42, sizeof kReturn42);
  DWORD previous = 0;
  ASSERT_TRUE(VirtualProtect(buffer, sizeof kReturn42, PAGE_EXECUTE_READ, &previous));
  EXPECT_EQ(previous, PAGE_READWRITE);
  EXPECT_EQ(reinterpret_cast<int (*)()>(buffer)(), 42);

  // Back to writable for the next routine, then run the changed code.
  ASSERT_TRUE(VirtualProtect(buffer, 2048, PAGE_READWRITE, &previous));
  EXPECT_EQ(previous, PAGE_EXECUTE_READ);
  static_cast<unsigned char*>(buffer)[1] = 7;
  ASSERT_TRUE(VirtualProtect(buffer, 2048, PAGE_EXECUTE_READ, &previous));
  EXPECT_EQ(reinterpret_cast<int (*)()>(buffer)(), 7);
  EXPECT_TRUE(VirtualFree(buffer, 0, MEM_RELEASE));
}

TEST(VirtualMemoryTest, ReadWriteExecuteBufferRunsWithoutProtectionChange) {
  void* buffer = VirtualAlloc(nullptr, 2048, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(buffer)[2047], 0) << "new memory reads as zero";
  std::memcpy(buffer, kReturn42, sizeof kReturn42);
  EXPECT_EQ(reinterpret_cast<int (*)()>(buffer)(), 42);
  EXPECT_TRUE(VirtualFree(buffer, 0, MEM_RELEASE));
}

TEST(VirtualMemoryTest, BadRequestsAreRefused) {
  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 16, MEM_COMMIT, 0x12345), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 16, 0, PAGE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(VirtualAlloc(nullptr, SIZE_MAX - 10, MEM_COMMIT, PAGE_READWRITE), nullptr);

  void* buffer = VirtualAlloc(nullptr, 100, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(buffer, nullptr);
  DWORD previous = 0;
  char* inside = static_cast<char*>(buffer) + 10;
  EXPECT_FALSE(VirtualProtect(inside, 1 << 20, PAGE_EXECUTE_READ, &previous))
      << "range past the region";
  EXPECT_FALSE(VirtualProtect(buffer, 16, PAGE_EXECUTE_READ, nullptr));
  EXPECT_FALSE(VirtualFree(inside, 0, MEM_RELEASE)) << "not the start of a region";
  EXPECT_FALSE(VirtualFree(buffer, 100, MEM_RELEASE)) << "release takes size 0";
  EXPECT_TRUE(VirtualFree(buffer, 0, MEM_RELEASE));
  EXPECT_FALSE(VirtualFree(buffer, 0, MEM_RELEASE)) << "released twice";
  EXPECT_FALSE(VirtualProtect(buffer, 16, PAGE_READWRITE, &previous)) << "released region";
}

}  // namespace
