// One piece of work run beside the thread that starts it, on oneTBB's worker threads, so that
// thread can go on with something else and come back for the result. The work runs in a task
// arena of its own, of low priority: the workers give the starting thread's own parallel loops
// precedence, and that thread never takes up the work while it waits for one of them. Under
// ThreadSanitizer it runs on a std::thread of its own instead, for the reason ParallelFor.h gives:
// starting and joining it are then the order the sanitizer sees.
//
// Started, asked and waited for from one thread, the one that owns it.
#pragma once

#include <oneapi/tbb/task_arena.h>
#include <oneapi/tbb/task_group.h>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

#include "platform/kernel/ParallelFor.h"

class BackgroundWork {
 public:
  BackgroundWork() = default;
  // Its work never throws out of it (what it throws is kept for Wait), so neither does this.
  ~BackgroundWork() noexcept { Join(); }
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // Starts `work`; whatever was started before must have been waited for.
  void Start(std::function<void()> work) {
    done_.store(false, std::memory_order_relaxed);
    auto run = [this, work = std::move(work)] {
      try {
        work();
      } catch (...) {
        failure_ = std::current_exception();
      }
      // Everything the work wrote is seen by whoever sees this.
      done_.store(true, std::memory_order_release);
    };
    if constexpr (kUnderThreadSanitizer)
      thread_ = std::thread(std::move(run));
    else
      arena_.execute([&] { group_.run(std::move(run)); });
  }

  // Whether the work has ended, without waiting for it; true when none was started. Once true,
  // what it wrote may be read.
  bool Done() const { return done_.load(std::memory_order_acquire); }

  // Waits for the work to end (this thread helps with it meanwhile) and rethrows what it threw.
  void Wait() {
    Join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  void Join() {
    if constexpr (kUnderThreadSanitizer) {
      if (thread_.joinable()) thread_.join();
    } else {
      arena_.execute([this] { group_.wait(); });
    }
  }

  std::atomic<bool> done_{true};
  std::exception_ptr failure_;
  // Unused under ThreadSanitizer.
  tbb::task_arena arena_{tbb::task_arena::automatic, 1, tbb::task_arena::priority::low};
  tbb::task_group group_;
  std::thread thread_;  // under ThreadSanitizer alone
};
