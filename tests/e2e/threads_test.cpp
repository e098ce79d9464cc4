// The number of threads (-t) and the kernel (ZIR_ISA) change nothing the
// program writes: the same result files byte for byte, the same log apart
// from the echoed command line, the same messages and exit code after a
// failure; with one source and with several, whose plume tables threads
// make side by side.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "odor/odor.h"
#include "support.h"

namespace {

// An area source turned against the grid, receptor points, two situations
// and all four result grids: enough receptors for many chunks per thread.
const char kCase[] =
    "*DIMENSIONIERUNG\n"
    "mp 3\n"
    "mi 120\n"
    "*GITTER\n"
    "nx 23\n"
    "ny 19\n"
    "dr 20\n"
    "xr -220\n"
    "yr -180\n"
    "*AUFPUNKTE\n"
    "xp 30 -75 140\n"
    "yp 10 60 -95\n"
    "*QUELLE\n"
    "xq -15\n"
    "yq -8\n"
    "aq 30\n"
    "bq 16\n"
    "lq 4\n"
    "rq 20\n"
    "hq 0\n"
    "cq 5\n"
    "li 5\n"
    "eq 2000\n"
    "*PARAMETER run\n"
    "ua 2.5\n"
    "lm -40\n"
    "*PARAMETER run\n"
    "ua 4.0\n"
    "lm 0\n"
    "dw 3 0 1 2 5 8 1 0 0 2 4 1 1 1 6 9 12 3 2 2 1 0 4 4 6 2 1 1 3 3 2 1 0 0 2 1\n"
    "*LISTE pnt\n"
    "*SPEICHERN cnc fro frh r90\n"
    "*ENDE\n";

// The same with five sources: two more buildings, a store turned against
// the grid and a stack, with the listings of the sources and their tables.
std::string FiveSources() {
  std::string commands(kCase);
  commands.replace(commands.find("*PARAMETER run\n"), 0,
                   "*QUELLE add\nxq 40\nyq 30\naq 24\nbq 12\nrq 0\neq 800\n"
                   "*QUELLE add\nxq -60\nyq 20\naq 16\nbq 16\nrq 45\nhq 2\ncq 3\neq 500\n"
                   "*QUELLE add\nxq 70\nyq -50\naq 30\nbq 10\nlq 5\nrq -15\neq 300\n"
                   "*QUELLE add\nxq 10\nyq -40\naq 0\nbq 0\nhq 12\ncq 0\neq 1500\n");
  commands.replace(commands.find("*LISTE pnt"), 10, "*LISTE pnt,src,plm");
  return commands;
}

struct Outcome {
  zt::RunResult result;
  std::vector<std::string> files;  // cnc, fro, frh, r90
  std::string log;                 // without the echoed arguments
};

Outcome RunWith(const std::string& commands, const std::string& threads,
                const std::string& verbose = "-v0") {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt", commands);
  Outcome run;
  run.result = zt::RunProgram({".", threads, verbose}, dir.path());
  for (const char* name : {"cnc", "fro", "frh", "r90"})
    run.files.push_back(zt::ReadFile(dir / (std::string(name) + ".dmna")));
  std::string log = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  size_t at = 0;
  while ((at = log.find("\n>" + threads + "\n")) != std::string::npos)
    log.erase(at + 1, threads.size() + 2);
  run.log = log;
  return run;
}

TEST(Threads, ResultFilesAreTheSameBytesForOneTwoAndThreeThreads) {
  for (const std::string& commands : {std::string(kCase), FiveSources()}) {
    const Outcome one = RunWith(commands, "-t1");
    ASSERT_EQ(one.result.exitCode, 0) << one.result.out;
    for (const std::string& f : one.files) ASSERT_GT(f.size(), 1000u);
    EXPECT_NE(one.log.find("Aufpunkt"), std::string::npos) << one.log;
    for (const char* threads : {"-t2", "-t3"}) {
      const Outcome other = RunWith(commands, threads);
      EXPECT_EQ(other.result.exitCode, 0) << threads;
      for (size_t i = 0; i < one.files.size(); i++)
        EXPECT_TRUE(other.files[i] == one.files[i]) << threads << " file " << i;
      EXPECT_EQ(other.log, one.log) << threads;
      EXPECT_EQ(zt::MaskTimes(other.result.out), zt::MaskTimes(one.result.out)) << threads;
    }
  }
}

TEST(Threads, FailureIsReportedOnceWhateverTheThreadCount) {
  // The table reaches 100 m; the grid reaches 600 m.
  std::string commands(kCase);
  commands.replace(commands.find("li 5\n"), 5, "li 1\nni 100\n");
  const Outcome one = RunWith(commands, "-t1");
  EXPECT_EQ(one.result.exitCode, 7);
  const std::string chain =
      "*** plume table range exceeded! (ZIRidev.CalcCon.2)\n"
      "*** can't calculate concentration! (ZIRidev.CalcOdor.1)\n"
      "*** can't get odor values! (ZIRidev.CalcValues.1)\n"
      "*** error in calculation of odor frequency! /(ZIRidev.Main.7)\n";
  ASSERT_NE(one.log.find(chain), std::string::npos) << one.log;
  EXPECT_EQ(one.log.find(chain), one.log.rfind(chain));
  for (const char* threads : {"-t2", "-t3"}) {
    const Outcome other = RunWith(commands, threads);
    EXPECT_EQ(other.result.exitCode, 7) << threads;
    EXPECT_EQ(other.log, one.log) << threads;
    EXPECT_EQ(zt::MaskTimes(other.result.out), zt::MaskTimes(one.result.out)) << threads;
    for (const std::string& f : other.files) EXPECT_EQ(f, "") << threads;
  }
}

TEST(Threads, PlumeTablesOfSeveralSourcesSayWhatOneThreadSays) {
  // The table of source 2 has no step (the solver warns that it changes to
  // fully implicit), source 3 lies above the vertical grid: the messages
  // come in the order of the sources, whoever made the tables.
  std::string commands(kCase);
  commands.replace(commands.find("*PARAMETER run\n"), 0,
                   "*QUELLE add\nxq 40\nni 0\n*QUELLE add\nxq -60\nni 120\nhq 5000\n");
  const Outcome one = RunWith(commands, "-t1", "-v");
  EXPECT_EQ(one.result.exitCode, 6);
  ASSERT_NE(one.log.find("--- changed to fully implicit!\n*** source 3 at hq=5000 m (cq=5 m) not "
                         "within the vertical grid from 0 to 1000 m (flux 0)! (ZIRidev.CalcPlume.5)"),
            std::string::npos)
      << one.log;
  for (const char* threads : {"-t2", "-t3"}) {
    const Outcome other = RunWith(commands, threads, "-v");
    EXPECT_EQ(other.result.exitCode, 6) << threads;
    EXPECT_EQ(other.log, one.log) << threads;
    EXPECT_EQ(zt::MaskTimes(other.result.out), zt::MaskTimes(one.result.out)) << threads;
  }
}

TEST(Threads, EveryKernelTheProcessorRunsWritesTheSameBytes) {
  const std::string commands = FiveSources();
  const Outcome best = RunWith(commands, "-t2");
  ASSERT_EQ(best.result.exitCode, 0) << best.result.out;
  std::istringstream names(CoreIsaNames());
  for (std::string isa; std::getline(names >> std::ws, isa, ',');) {
    setenv("ZIR_ISA", isa.c_str(), 1);
    const Outcome run = RunWith(commands, "-t2");
    unsetenv("ZIR_ISA");
    if (run.result.exitCode == 18 &&
        run.result.out.find("*** this processor lacks the instruction set ZIR_ISA=" + isa + "!") !=
            std::string::npos) {
      std::printf("kernel %s skipped: this processor lacks its instruction set\n", isa.c_str());
      continue;
    }
    EXPECT_EQ(run.result.exitCode, 0) << isa << run.result.out;
    for (size_t i = 0; i < best.files.size(); i++)
      EXPECT_TRUE(run.files[i] == best.files[i]) << isa << " file " << i;
    EXPECT_EQ(run.log, best.log) << isa;
  }
  setenv("ZIR_ISA", "sse9", 1);
  const Outcome unknown = RunWith(commands, "-t2");
  unsetenv("ZIR_ISA");
  EXPECT_EQ(unknown.result.exitCode, 18);
  EXPECT_NE(unknown.log.find("*** unknown instruction set ZIR_ISA=sse9, this program has " +
                             std::string(CoreIsaNames()) + "! (ZIRidev.Main.30)\n"),
            std::string::npos)
      << unknown.log;
  for (const std::string& f : unknown.files) EXPECT_EQ(f, "");
}

}  // namespace
