// Processes of an MPI run: the ranks of MPI_COMM_WORLD. Only the main
// thread of a process calls MPI.
#include <mpi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "par/par.h"

namespace {

int Rank = 0;
int Size = 1;
bool Parted = false;   // a vote found a process ended: no vote follows
bool Started = false;  // MPI_Init has been called (not in the unit tests)
bool Done = false;     // MPI_Finalize has been called

// What a process tells at a vote.
enum State { kGoing = 0, kNotReady = 1, kEnding = 2 };

void Finish() {
  if (!Started || Done) return;
  Done = true;
  MPI_Finalize();
}

// A process that ends elsewhere than at ParEnd or ParExit (a module that
// calls exit) may leave the others waiting for it at the next vote: the
// whole run is ended then.
void AtExit() {
  if (!Started || Done) return;
  if (Size > 1) MPI_Abort(MPI_COMM_WORLD, 1);
  Finish();
}

// The state and exit code of every process, in rank order.
std::vector<int> Gather(State state, int code) {
  const int mine[2] = {state, code};
  std::vector<int> all(2 * static_cast<size_t>(Size));
  MPI_Allgather(mine, 2, MPI_INT, all.data(), 2, MPI_INT, MPI_COMM_WORLD);
  return all;
}

}  // namespace

void ParStart(int* argc, char*** argv) {
  int provided = 0;
  MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
  Started = true;
  MPI_Comm_rank(MPI_COMM_WORLD, &Rank);
  MPI_Comm_size(MPI_COMM_WORLD, &Size);
  // The screen belongs to the first process; the others compute silently.
  if (Rank > 0) {
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
      MPI_Abort(MPI_COMM_WORLD, 1);
  }
  std::atexit(AtExit);
}

int ParRank() { return Rank; }
int ParSize() { return Size; }

ParOutcome ParVote(bool failed, int* rank, int* code) {
  if (Size == 1) return failed ? kParFailed : kParGo;
  const std::vector<int> all = Gather(failed ? kNotReady : kGoing, 0);
  // Without the first process nothing is written: the others end as it did.
  if (all[0] == kEnding) {
    Parted = true;
    Finish();
    std::exit(all[1]);
  }
  for (int r = 1; r < Size; r++) {
    if (all[2 * r] == kEnding) {
      Parted = true;
      *rank = r;
      *code = all[2 * r + 1];
      return kParEnded;
    }
  }
  for (int r = 0; r < Size; r++)
    if (all[2 * r] == kNotReady) return kParFailed;
  return kParGo;
}

void ParAgree(int mine[4]) {
  if (Size == 1) return;
  std::vector<int> all(4 * static_cast<size_t>(Size));
  MPI_Allgather(mine, 4, MPI_INT, all.data(), 4, MPI_INT, MPI_COMM_WORLD);
  int signal = 0;
  for (int r = 0; r < Size; r++) {
    const int* p = &all[4 * static_cast<size_t>(r)];
    if (p[0] < mine[0]) std::copy(p, p + 3, mine);
    signal = std::max(signal, p[3]);
  }
  mine[3] = signal;
}

void ParShareSums(float* sums, int count, int per) {
  if (Size == 1) return;
  // The chunks of one round, one of every process, lie side by side in
  // receptor order: each round is gathered in place, without a copy of
  // the sums.
  const long long round = static_cast<long long>(kParChunk) * Size;
  std::vector<int> counts(Size), displs(Size);
  for (long long r0 = 0; r0 < count; r0 += round) {
    for (int p = 0; p < Size; p++) {
      const long long first = r0 + static_cast<long long>(p) * kParChunk;
      counts[p] = per * static_cast<int>(std::clamp<long long>(count - first, 0, kParChunk));
      displs[p] = per * p * kParChunk;
    }
    MPI_Allgatherv(MPI_IN_PLACE, 0, MPI_DATATYPE_NULL, sums + per * r0, counts.data(),
                   displs.data(), MPI_FLOAT, MPI_COMM_WORLD);
  }
}

void ParShareFloats(float* data, int n, int root) {
  if (Size > 1) MPI_Bcast(data, n, MPI_FLOAT, root, MPI_COMM_WORLD);
}

int ParEnd(int code) {
  if (!Parted && Size > 1) {
    const std::vector<int> all = Gather(kEnding, code);
    if (all[0] == kEnding) code = all[1];
  }
  Finish();
  return code;
}

void ParExit(int code) {
  Finish();
  std::exit(code);
}
