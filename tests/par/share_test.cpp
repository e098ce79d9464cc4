// The receptors of a run are dealt out to the processes so that every
// receptor is computed by exactly one of them, each process's in rising
// order, in chunks of kParChunk consecutive numbers.
#include <gtest/gtest.h>

#include <vector>

#include "par/par.h"

TEST(ParShare, EveryReceptorOnceInChunksOfConsecutiveNumbers) {
  for (int size : {1, 2, 3, 4, 7, 64}) {
    for (int count : {0, 1, kParChunk - 1, kParChunk, kParChunk + 1, 3 * kParChunk, 2402, 250004}) {
      std::vector<int> owner(count, -1);
      int total = 0;
      for (int rank = 0; rank < size; rank++) {
        const int mine = ParCount(count, rank, size);
        total += mine;
        int previous = -1;
        for (int k = 0; k < mine; k++) {
          const int r = ParReceptor(k, rank, size);
          ASSERT_GT(r, previous) << "size " << size << " count " << count << " rank " << rank;
          ASSERT_LT(r, count);
          ASSERT_EQ(owner[r], -1) << "receptor " << r << " twice";
          ASSERT_EQ(r / kParChunk % size, rank) << "receptor " << r;
          owner[r] = rank;
          previous = r;
        }
      }
      EXPECT_EQ(total, count) << "size " << size;
    }
  }
}
