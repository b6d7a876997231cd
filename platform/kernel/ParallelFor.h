// Work split across oneTBB's worker threads, for passes whose items are independent of each
// other: body(i) runs once for every i in [first, last), on any thread, in any order, `grain`
// items at least to a task (more for cheap items, one for items that are each a large piece).
//
// ThreadSanitizer cannot see the hand-offs inside the oneTBB library (it is not built with it),
// so under it the hand-offs are announced: everything before the call happens before every
// body, and every body before the return. What it then reports is a real race of the bodies.
#pragma once

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define ORVALIS_ANNOUNCE_HAND_OFF(address) __tsan_release(address)
#define ORVALIS_RECEIVE_HAND_OFF(address) __tsan_acquire(address)
#else
#define ORVALIS_ANNOUNCE_HAND_OFF(address) static_cast<void>(address)
#define ORVALIS_RECEIVE_HAND_OFF(address) static_cast<void>(address)
#endif

template <typename Index, typename Body>
void ParallelFor(Index first, Index last, Index grain, const Body& body) {
  int handedOut = 0, handedBack = 0;
  ORVALIS_ANNOUNCE_HAND_OFF(&handedOut);
  tbb::parallel_for(tbb::blocked_range<Index>(first, last, grain),
                    [&](const tbb::blocked_range<Index>& range) {
                      ORVALIS_RECEIVE_HAND_OFF(&handedOut);
                      for (Index i = range.begin(); i != range.end(); ++i) body(i);
                      ORVALIS_ANNOUNCE_HAND_OFF(&handedBack);
                    });
  ORVALIS_RECEIVE_HAND_OFF(&handedBack);
}
