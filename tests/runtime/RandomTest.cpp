#include "runtime/Random.h"

#include <gtest/gtest.h>

TEST(Random, FollowsTheLinearCongruentialSequence) {
  RandSeed = 0;
  // Worked by hand: seeds 1, 134775814, ...; each result the upper half of seed * n.
  EXPECT_EQ(Random(100), 0);
  EXPECT_EQ(RandSeed, 1u);
  EXPECT_EQ(Random(100), 3);
  EXPECT_EQ(RandSeed, 134775814u);
  EXPECT_EQ(Random(6), 5);
  EXPECT_EQ(Random(2147483647), 435039309);
  EXPECT_EQ(Random(1), 0);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(RandSeed, 2884733762u);
}

TEST(Random, StaysInsideTheRangeAndWrapsTheSeed) {
  RandSeed = 0xFFFFFFFFu;
  for (Integer n : {1, 2, 7, 1000, 20000, 2147483647}) {
    for (int i = 0; i < 2000; ++i) {
      Integer value = Random(n);
      ASSERT_GE(value, 0);
      ASSERT_LT(value, n);
    }
  }
  RandSeed = 0xFFFFFFFFu;
  // A negative range is taken as its unsigned bits, as the original generator's multiply did.
  EXPECT_EQ(Random(-5), static_cast<Integer>(4160191479u));
  EXPECT_EQ(RandSeed, 4160191484u);
}

TEST(Random, SameSeedSameSequence) {
  RandSeed = 123456;
  std::vector<Integer> first;
  for (int i = 0; i < 50; ++i) first.push_back(Random(20000));
  RandSeed = 123456;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(Random(20000), first[i]);
}
