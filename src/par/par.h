// Processes sharing a run: in the MPI build every process (rank) runs the
// same command file and computes a share of the receptors of each
// dispersion run; the first process alone writes the log, the screen and
// the result files. Without MPI there is one process and every call below
// is trivial, so the receptor loop has one code path.
//
// The processes agree at two kinds of points, always in the same order:
// at the start of the receptor loop (ParVote, then ParAgree, ParShareSums
// and ParShareFloats) and at the end of the run (ParEnd). Whatever one
// process does alone (writing a file, reading the log) can end its run;
// the others learn it at their next vote, so none waits for a process
// that has gone.
#pragma once

// Receptors are shared in chunks of kParChunk consecutive receptor numbers:
// chunk c belongs to process c mod size. Small enough to spread the costly
// receptors near the sources over every process, large enough to be many
// thread chunks of a process at a time.
constexpr int kParChunk = 256;

// Starts the communication. Every process but the first gets its standard
// output and error on the null device. Registers the exit handler that
// ends the communication of a process ending elsewhere than at ParEnd.
void ParStart(int* argc, char*** argv);

int ParRank();  // this process, 0 the one that reads, writes and reports
int ParSize();  // processes of the run, at least 1

// Number of the receptors of process rank among count receptors.
int ParCount(int count, int rank, int size);
// Number of the k-th receptor (0-based) of process rank.
int ParReceptor(int k, int rank, int size);

// How a vote ended.
enum ParOutcome {
  kParGo = 0,      // every process goes on
  kParFailed = 1,  // a process could not prepare the loop
  kParEnded = 2,   // a process other than this one has ended its run
};
// Vote at the start of the receptor loop; failed tells that this process
// could not prepare it. A process other than the first that finds the
// first one ended ends itself, with its exit code. kParEnded gives the
// rank and exit code of the process that ended in *rank and *code; after
// kParFailed or kParEnded the processes vote no more, each ends its run.
ParOutcome ParVote(bool failed, int* rank, int* code);

// Agrees on the first failure in receptor order and on an interrupt:
// mine holds this process's first failing receptor (INT_MAX for none),
// its direction and source, and its signal (0 for none); on return it
// holds the failure of the smallest receptor and the largest signal.
void ParAgree(int mine[4]);

// Every process has computed the sums of its own receptors in sums (per
// floats per receptor, count receptors); afterwards every process has all
// of them.
void ParShareSums(float* sums, int count, int per = 4);

// The n floats of process root go to every process.
void ParShareFloats(float* data, int n, int root);

// Ends the run of this process with exit code code, as the first process
// decides: the processes wait here for one another, and every one returns
// the first process's code. Call once, as the last step.
int ParEnd(int code);

// Ends this process with code where every process does the same without a
// vote (the usage and the help), and ends the communication.
[[noreturn]] void ParExit(int code);
