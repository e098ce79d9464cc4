// libFuzzer target for the whole program: the input bytes become the command
// file that the interpreter runs in process, section by section, as the
// program does after start-up, with the log, listings and result files
// written into a scratch working directory. Every state of the program is
// reset for the next input. Inputs whose work would take long (large grids,
// many source cells, directions or solver steps) end before that section,
// as at *ENDE; result files may only go into the working directory.
#include <stdlib.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ary/ary.h"
#include "dff/dff.h"
#include "driver/driver.h"
#include "fuzz_input.h"
#include "msg/filename.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/receptors.h"
#include "odor/sources.h"
#include "prm/params.h"
#include "prm/prm.h"

namespace {

constexpr long kDimensions = 2000;      // dimensions of the table at most
constexpr int kSections = 40;           // sections run per input at most
constexpr double kEvaluations = 2e6;    // receptors x directions x cells x core plumes
constexpr double kLevelSteps = 2e5;     // work of the plume solver

int Sections = 0;

// Cells of all sources in force, as the odor calculation counts them
// (roughly).
double Cells() {
  const std::vector<Source>* list = Sources();
  if (!list) return 1;
  double cells = 0;
  for (const Source& q : *list)
    cells += (!(q.aq > 0 || q.bq > 0) || !(q.lq > 0))
                 ? 1
                 : (std::fabs(q.aq) / q.lq + 1) * (std::fabs(q.bq) / q.lq + 1);
  return cells;
}

bool Allow(const char* section, const char*) {
  if (++Sections > kSections) return false;
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(section[1])));
  if (c == 'g') return static_cast<double>(prm::nx) * prm::ny <= 400;
  if (c == 's') return !prm::fi || !std::strpbrk(prm::fi, "/\\");
  if (c == 'p') {
    const double nodes = (prm::nx > 0 && prm::ny > 0) ? static_cast<double>(prm::nx) * prm::ny : 0;
    const double receptors = nodes + std::fmax(prm::np, 0);
    const double directions = static_cast<double>(prm::nw) * std::fmax(prm::nu, 1);
    const double plumes = 2.0 * std::fmax(prm::nm, 0) + 1;
    return receptors * directions * Cells() * plumes <= kEvaluations;
  }
  return true;
}

const std::string& ScratchDir() {
  static const std::string dir = [] {
    for (const char* base : {"/dev/shm", "/tmp"}) {
      std::string tmpl = std::string(base) + "/program_fuzz.XXXXXX";
      if (mkdtemp(tmpl.data())) return tmpl;
    }
    std::abort();
  }();
  return dir;
}

// Back to the state of a fresh process.
void Reset() {
  PrmRead(nullptr, nullptr, nullptr);
  PrmReadReset();
  PrmClear();
  ResetInterpreter();
  for (AryDesc* g : {&GrdCnc, &GrdC90, &GrdFrh, &GrdFro}) {
    AryFree(g);
    *g = AryDesc{};
  }
  AllocPoints(0);
  SumDur = 0;
  MsgErr = 0;
  for (const auto& e : std::filesystem::directory_iterator(ScratchDir()))
    std::filesystem::remove_all(e.path());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  if (FuzzExpensive(data, size, kDimensions)) return 0;
  const std::string cmd = ScratchDir() + "/cmd.txt";
  std::FILE* f = std::fopen(cmd.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  WorkDir = ScratchDir() + "/";
  MsgLog = sink;  // messages and listings are formatted, but not kept
  MsgQuiet = 1;
  MsgVerbose = 3;
  MsgEcho = 1;
  CalcThreads = 1;
  DffMaxLevelSteps = kLevelSteps;
  Sections = 0;
  RunCommands(cmd.c_str(), Allow);
  Reset();
  return 0;
}
