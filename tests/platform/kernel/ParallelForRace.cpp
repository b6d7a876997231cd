// A pass whose body races, for the ThreadSanitizer build only: every item adds to one total with
// no synchronisation. The sanitizer must report it, or the gate that runs the scripted games
// under it could pass a race in our own passes as well.
#include <cstdio>

#include "platform/kernel/ParallelFor.h"

// Under a compiler that hid the sanitizer from ParallelFor, the passes would run on oneTBB, whose
// synchronisation the sanitizer cannot see.
static_assert(kUnderThreadSanitizer, "ParallelFor does not see ThreadSanitizer in this build");

int main() {
  long long total = 0;
  ParallelFor<int>(0, 100000, 16, [&](int i) { total += i; });
  std::printf("total %lld, without a race %lld\n", total, 100000LL * 99999 / 2);
}
