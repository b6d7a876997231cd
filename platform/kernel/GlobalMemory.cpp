#include "platform/kernel/GlobalMemory.h"

#include <cstdint>
#include <map>
#include <memory>
#include <new>

#include "platform/kernel/LastError.h"

namespace {

struct GlobalBlock {
  std::unique_ptr<std::byte[]> memory;
  size_t size = 0;
  bool moveable = false;
  uint32_t lockCount = 0;
};

std::map<HGLOBAL, GlobalBlock>& Blocks() {
  static std::map<HGLOBAL, GlobalBlock> blocks;
  return blocks;
}

// Moveable handles are small tagged numbers, never 16-byte aligned, so they cannot collide with
// the address of a fixed block.
HGLOBAL NextMoveableHandle() {
  static uintptr_t counter = 0;
  ++counter;
  return reinterpret_cast<HGLOBAL>((counter << 4) | 0x4);
}

GlobalBlock* FindBlock(HGLOBAL handle) {
  auto found = Blocks().find(handle);
  if (found == Blocks().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &found->second;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  if (flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GlobalBlock block;
  block.size = bytes;
  block.moveable = (flags & GMEM_MOVEABLE) != 0;
  // A zero-size fixed block still needs a distinct address to serve as its handle.
  const size_t reserve = bytes == 0 ? 1 : bytes;
  block.memory.reset(flags & GMEM_ZEROINIT ? new (std::nothrow) std::byte[reserve]()
                                           : new (std::nothrow) std::byte[reserve]);
  if (!block.memory) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL handle = block.moveable ? NextMoveableHandle()
                                  : reinterpret_cast<HGLOBAL>(block.memory.get());
  Blocks().emplace(handle, std::move(block));
  return handle;
}

void* GlobalLock(HGLOBAL handle) {
  GlobalBlock* block = FindBlock(handle);
  if (!block) return nullptr;
  if (block->moveable) {
    // A moveable block of no bytes has no memory to lock, as with a discarded block.
    if (block->size == 0) return nullptr;
    ++block->lockCount;
  }
  return block->memory.get();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  GlobalBlock* block = FindBlock(handle);
  if (!block) return FALSE;
  if (!block->moveable) return TRUE;  // fixed blocks are never locked and never move
  if (block->lockCount == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  --block->lockCount;
  if (block->lockCount > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

size_t GlobalSize(HGLOBAL handle) {
  GlobalBlock* block = FindBlock(handle);
  return block ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  if (!FindBlock(handle)) return handle;
  Blocks().erase(handle);
  return nullptr;
}
