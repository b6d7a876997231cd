// Work split across oneTBB's worker threads, for passes whose items are independent of each
// other: body(i) runs once for every i in [first, last), on any thread, in any order, `grain`
// items at least to a task (more for cheap items, one for items that are each a large piece).
//
// ThreadSanitizer cannot see the synchronisation inside the oneTBB library (it is not built with
// it), and a report it makes there cannot be dropped without also dropping those of the bodies
// inlined into oneTBB's templates. So under it the pieces run on std::thread instead, as many
// threads as the current task arena allows: starting and joining them are the only order
// between the bodies, so two bodies on different threads that touch the same data are reported.
#pragma once

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

// GCC says so with a macro, clang through __has_feature.
#if defined(__SANITIZE_THREAD__)
#define ORVALIS_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVALIS_THREAD_SANITIZER 1
#endif
#endif

#if defined(ORVALIS_THREAD_SANITIZER)
inline constexpr bool kUnderThreadSanitizer = true;
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif

// The pieces dealt out in turn to as many std::threads as the task arena has slots, the calling
// thread taking the first share. A piece is `grain` items, or fewer where that leaves a thread
// without one: the bodies must not depend on sharing a thread with their neighbours, and a test's
// tables are smaller than the game's. An exception a body throws is rethrown here once every
// thread has finished, as oneTBB does.
template <typename Index, typename Body>
void ParallelForOnStdThreads(Index first, Index last, Index grain, const Body& body) {
  if (!(first < last)) return;
  const Index size = last - first;
  const Index slots = static_cast<Index>(tbb::this_task_arena::max_concurrency());
  const Index pieceSize = std::min(grain, (size - 1) / std::min(size, slots) + 1);
  const Index pieceCount = (size - 1) / pieceSize + 1, threadCount = std::min(pieceCount, slots);
  std::vector<std::exception_ptr> failures(static_cast<size_t>(threadCount));
  auto runShare = [&](Index thread) {
    try {
      for (Index piece = thread; piece < pieceCount; piece += threadCount) {
        const Index begin = first + piece * pieceSize;
        const Index end = begin + std::min(pieceSize, last - begin);
        for (Index i = begin; i != end; ++i) body(i);
      }
    } catch (...) {
      failures[static_cast<size_t>(thread)] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  for (Index thread = 1; thread < threadCount; ++thread) threads.emplace_back(runShare, thread);
  runShare(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

template <typename Index, typename Body>
void ParallelFor(Index first, Index last, Index grain, const Body& body) {
  if constexpr (kUnderThreadSanitizer) {
    ParallelForOnStdThreads(first, last, grain, body);
  } else {
    tbb::parallel_for(tbb::blocked_range<Index>(first, last, grain),
                      [&](const tbb::blocked_range<Index>& range) {
                        for (Index i = range.begin(); i != range.end(); ++i) body(i);
                      });
  }
}
