#include "render/SpanCodeMemory.h"

#include <sys/mman.h>
#include <unistd.h>

SpanCodeMemory::SpanCodeMemory(size_t size) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  if (size == 0 || size > SIZE_MAX - page) return;
  const size_t rounded = (size + page - 1) / page * page;
  // An anonymous file, so that the two views share their pages.
  const int file = memfd_create("span routines", MFD_CLOEXEC);
  if (file < 0) return;
  if (ftruncate(file, static_cast<off_t>(rounded)) == 0) {
    void* writable = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    void* executable = mmap(nullptr, rounded, PROT_READ | PROT_EXEC, MAP_SHARED, file, 0);
    if (writable != MAP_FAILED) writable_ = static_cast<uint8_t*>(writable);
    if (executable != MAP_FAILED) executable_ = static_cast<const uint8_t*>(executable);
    size_ = rounded;
    if (!writable_ || !executable_) Release();
  }
  // The views keep the file alive.
  close(file);
}

SpanCodeMemory::~SpanCodeMemory() { Release(); }

void SpanCodeMemory::Release() {
  if (writable_) munmap(writable_, size_);
  if (executable_) munmap(const_cast<uint8_t*>(executable_), size_);
  writable_ = nullptr;
  executable_ = nullptr;
  size_ = 0;
}
