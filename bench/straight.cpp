// The straightforward loops, timed: runs a command file as the program does
// and, before each dispersion run, computes the odor values of that
// situation with the plain loops of the tests' reference
// (tests/odor/reference_core.h: every receptor, sector, sub-sector, core
// plume and source cell in turn, the library's exp and log, one thread),
// on the same profile and plume table. Prints the seconds those loops took
// in all; the program's own computation that follows is not counted. One
// source only (the reference knows one).
// Usage: straight WORKDIR (with odrcmd.txt; writes the log and results there)
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "blm/blm.h"
#include "driver/driver.h"
#include "msg/msg.h"
#include "odor/plume.h"
#include "odor/receptors.h"
#include "prm/params.h"
#include "reference_core.h"

namespace {

double Seconds = 0;
int Runs = 0;

bool Straight(const char* section, const char* argument) {
  if (std::tolower(static_cast<unsigned char>(section[1])) != 'p' || !std::strstr(argument, "run"))
    return true;
  // The steps of a dispersion run up to the odor values.
  if (prm::ua >= 0 && prm::ua < 0.5f) prm::ua = 0.5f;
  if (ResetPlume() < 0 || BlmProfile() < 0 || CalcPlume() < 0) return true;
  const int receptors = prm::nx * prm::ny + prm::np;
  const std::vector<float> start(4 * static_cast<size_t>(receptors), 0.0f);
  const auto t0 = std::chrono::steady_clock::now();
  const ref::Sums sums = ref::Values(start);
  Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  Runs++;
  if (sums.failed >= 0)
    std::fprintf(stderr, "straight: receptor %d beyond the table\n", sums.failed);
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: straight WORKDIR\n");
    return 2;
  }
  WorkDir = std::string(argv[1]) + "/";
  MsgQuiet = 2;
  CalcThreads = 1;
  const int rc = RunCommands((WorkDir + "odrcmd.txt").c_str(), Straight);
  std::printf("%.3f s for %d dispersion runs (exit code %d)\n", Seconds, Runs, rc);
  return rc;
}
