// Memory for generated span routines, mapped twice: the compiler writes through a view that is
// readable and writable, the processor runs the same bytes through a view that is readable and
// executable. No page is ever writable and executable at once, and a compile changes no page's
// protection (which costs more than generating a routine).
#pragma once

#include <cstddef>
#include <cstdint>

class SpanCodeMemory {
 public:
  explicit SpanCodeMemory(size_t size);
  ~SpanCodeMemory();
  SpanCodeMemory(const SpanCodeMemory&) = delete;
  SpanCodeMemory& operator=(const SpanCodeMemory&) = delete;

  uint8_t* Writable() const { return writable_; }
  const uint8_t* Executable() const { return executable_; }
  // 0 when the system would not give the memory.
  size_t Size() const { return size_; }

 private:
  void Release();

  uint8_t* writable_ = nullptr;
  const uint8_t* executable_ = nullptr;
  size_t size_ = 0;
};
