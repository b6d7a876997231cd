#include "platform/kernel/MemoryProbe.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace {

// The kernel reports unreadable memory handed to write() as EFAULT instead of faulting, so the
// bytes are probed by writing them into a pipe and draining it again. The raw system call keeps
// sanitizer interceptors from inspecting the memory first.
class ProbePipe {
 public:
  ProbePipe() {
    if (pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~ProbePipe() {
    if (fds_[0] >= 0) close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  ProbePipe(const ProbePipe&) = delete;
  ProbePipe& operator=(const ProbePipe&) = delete;

  bool Readable(const void* address, size_t size) {
    if (fds_[1] < 0) return false;
    constexpr size_t kChunk = 4096;
    auto* cursor = static_cast<const std::byte*>(address);
    while (size > 0) {
      const size_t part = std::min(size, kChunk);
      const long written = syscall(SYS_write, fds_[1], cursor, part);
      if (written < 0) {
        if (errno == EAGAIN) {
          Drain();
          continue;
        }
        return false;
      }
      Drain();
      cursor += written;
      size -= static_cast<size_t>(written);
    }
    return true;
  }

 private:
  void Drain() {
    std::byte sink[4096];
    while (read(fds_[0], sink, sizeof sink) > 0) {
    }
  }

  int fds_[2];
};

}  // namespace

BOOL IsBadHugeReadPtr(const void* address, size_t size) {
  if (size == 0) return FALSE;
  if (!address || reinterpret_cast<uintptr_t>(address) > UINTPTR_MAX - size) return TRUE;
  static ProbePipe probe;
  return probe.Readable(address, size) ? FALSE : TRUE;
}
