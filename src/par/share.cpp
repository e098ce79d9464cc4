// Which receptors each process computes: chunks of kParChunk receptor
// numbers, dealt out to the processes in turn.
#include "par/par.h"

int ParCount(int count, int rank, int size) {
  const long long chunks = (static_cast<long long>(count) + kParChunk - 1) / kParChunk;
  if (rank >= chunks) return 0;
  const long long mine = (chunks - 1 - rank) / size + 1;  // chunks rank, rank + size, ...
  long long n = mine * kParChunk;
  // The last chunk may be short.
  if ((chunks - 1) % size == rank) n -= chunks * kParChunk - count;
  return static_cast<int>(n);
}

int ParReceptor(int k, int rank, int size) {
  const long long chunk = static_cast<long long>(k / kParChunk) * size + rank;
  return static_cast<int>(chunk * kParChunk + k % kParChunk);
}
