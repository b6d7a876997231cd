#include "platform/kernel/VirtualMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <map>

#include "platform/kernel/LastError.h"

namespace {

struct Region {
  size_t size;
  DWORD protect;
};

std::map<uintptr_t, Region>& Regions() {
  static std::map<uintptr_t, Region> regions;
  return regions;
}

size_t PageSize() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

bool ToPosixProtection(DWORD protect, int& out) {
  switch (protect) {
    case PAGE_NOACCESS:
      out = PROT_NONE;
      return true;
    case PAGE_READONLY:
      out = PROT_READ;
      return true;
    case PAGE_READWRITE:
      out = PROT_READ | PROT_WRITE;
      return true;
    case PAGE_EXECUTE:
      out = PROT_EXEC;
      return true;
    case PAGE_EXECUTE_READ:
      out = PROT_READ | PROT_EXEC;
      return true;
    case PAGE_EXECUTE_READWRITE:
      out = PROT_READ | PROT_WRITE | PROT_EXEC;
      return true;
    default:
      return false;
  }
}

// The region that holds [address, address + size), or end.
std::map<uintptr_t, Region>::iterator RegionHolding(uintptr_t address, size_t size) {
  auto after = Regions().upper_bound(address);
  if (after == Regions().begin()) return Regions().end();
  auto region = std::prev(after);
  const uintptr_t end = region->first + region->second.size;
  if (address >= end || size > end - address) return Regions().end();
  return region;
}

}  // namespace

void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect) {
  int protection = 0;
  if (address || size == 0 || !(allocationType & (MEM_COMMIT | MEM_RESERVE)) ||
      !ToPosixProtection(protect, protection)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t pages = (size + PageSize() - 1) / PageSize();
  if (pages == 0 || pages > SIZE_MAX / PageSize()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const size_t rounded = pages * PageSize();
  void* memory = mmap(nullptr, rounded, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Regions()[reinterpret_cast<uintptr_t>(memory)] = Region{rounded, protect};
  return memory;
}

BOOL VirtualFree(void* address, size_t size, DWORD freeType) {
  auto region = Regions().find(reinterpret_cast<uintptr_t>(address));
  if (freeType != MEM_RELEASE || size != 0 || region == Regions().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  munmap(address, region->second.size);
  Regions().erase(region);
  return TRUE;
}

BOOL VirtualProtect(void* address, size_t size, DWORD newProtect, DWORD* oldProtect) {
  int protection = 0;
  const auto start = reinterpret_cast<uintptr_t>(address);
  auto region = RegionHolding(start, size);
  if (!oldProtect || size == 0 || region == Regions().end() ||
      !ToPosixProtection(newProtect, protection)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uintptr_t firstPage = start & ~(PageSize() - 1);
  const uintptr_t endPage = (start + size + PageSize() - 1) & ~(PageSize() - 1);
  if (mprotect(reinterpret_cast<void*>(firstPage), endPage - firstPage, protection) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // One protection per region is kept: the last one set.
  *oldProtect = region->second.protect;
  region->second.protect = newProtect;
  return TRUE;
}
