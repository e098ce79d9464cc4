// The estimate of the vertical grid's error: a warning where the grid is
// coarse, none on a fine one, and nothing else changes with it (result
// files, plume tables, every other log line).
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support.h"

namespace {

// A 10 m stack in class F (z0 0.1 m, L 14 m, 1.5 m/s), a house 100 m
// downwind; the grid lines are inserted after *DIMENSIONIERUNG.
std::string Stack(const std::string& gridLines) {
  return "*DIMENSIONIERUNG\nmp 1\n" + gridLines +
         "*AUFPUNKTE\nxp 100\nyp 0\n"
         "*QUELLE\nhq 10\neq 1000\nli 5\n"
         "*PARAMETER run\nua 1.5\nlm 14\nz0 0.1\n"
         "dw 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 100 0 0 0 0 0 0 0 0 0\n"
         "*LISTE pnt\n*ENDE\n";
}

struct CaseRun {
  zt::RunResult result;
  std::string log;
};

CaseRun RunCase(const std::string& commands, const std::vector<std::string>& args = {"."}) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt", commands);
  CaseRun r;
  r.result = zt::RunProgram(args, dir.path());
  r.log = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  return r;
}

// The percent and distance of the log line of situation 1, source 1.
bool Difference(const std::string& log, int* percent, int* x) {
  static const std::regex line(
      "\nvertical grid: situation 1, source 1: largest difference ([0-9]+) % at ([0-9]+) m");
  std::smatch m;
  if (!std::regex_search(log, m, line)) return false;
  *percent = std::stoi(m[1]);
  *x = std::stoi(m[2]);
  return true;
}

TEST(VerticalGrid, CoarseGridWarnsAtTheHouseAndTheFineGridDoesNot) {
  const CaseRun coarse = RunCase(Stack(""));
  ASSERT_EQ(coarse.result.exitCode, 0) << coarse.log;
  int percent = 0, x = 0;
  ASSERT_TRUE(Difference(coarse.log, &percent, &x)) << coarse.log;
  EXPECT_GT(percent, 10);
  EXPECT_EQ(x, 100);
  const std::string warning =
      "--- vertical grid too coarse for source 1 in situation 1: the "
      "concentration at 100 m changes by " +
      std::to_string(percent) + " % when each layer is halved";
  EXPECT_NE(coarse.result.out.find(warning), std::string::npos) << coarse.result.out;
  EXPECT_NE(coarse.log.find(warning), std::string::npos);
  EXPECT_NE(coarse.log.find("\nvertical grid: largest difference of the run " +
                            std::to_string(percent) + " % (situation 1, source 1, at 100 m)\n"),
            std::string::npos)
      << coarse.log;

  EXPECT_NE(coarse.result.out.find("for example dz 0.5 and nz 2000 in"), std::string::npos);

  // A grid of 0.5 m layers is still too coarse here: the advice is finer still.
  const CaseRun half = RunCase(Stack("dz 0.5\nnz 2000\n"));
  ASSERT_TRUE(Difference(half.log, &percent, &x)) << half.log;
  EXPECT_GT(percent, 10);
  EXPECT_NE(half.result.out.find("for example dz 0.25 and nz 4000 in"), std::string::npos)
      << half.result.out;

  // The grid the guide advises for a stack in very stable air.
  const CaseRun fine = RunCase(Stack("dz 0.25\nnz 4000\n"));
  ASSERT_EQ(fine.result.exitCode, 0) << fine.log;
  ASSERT_TRUE(Difference(fine.log, &percent, &x)) << fine.log;
  EXPECT_LT(percent, 5);
  EXPECT_EQ(fine.result.out.find("vertical grid"), std::string::npos) << fine.result.out;
}

TEST(VerticalGrid, SwitchedOffNothingElseChanges) {
  // Two sources, the plume tables listed: with vc 0 the log is that of vc 1
  // without the lines of the estimate, and the result files are the same.
  const std::string body =
      "*GITTER\nnx 21\nny 21\ndr 20\nxr -200\nyr -200\n"
      "*AUFPUNKTE\nxp 100\nyp 0\n"
      "*QUELLE\nhq 10\neq 1000\nli 5\nni 80\n"
      "*QUELLE add\nxq -30\naq 20\nbq 10\nlq 5\nhq 0\ncq 4\neq 3000\n"
      "*PARAMETER run\nua 1.5\nlm 14\nz0 0.1\n"
      "*PARAMETER run\nua 4\nlm 0\n"
      "*LISTE pnt,plm\n*SPEICHERN cnc fro frh r90\n*ENDE\n";
  std::vector<std::string> files[2];
  std::string logs[2];
  for (int vc = 0; vc < 2; vc++) {
    zt::TempDir dir;
    zt::WriteFile(dir / "odrcmd.txt",
                  "*DIMENSIONIERUNG\nmp 1\nvc " + std::to_string(vc) + "\n" + body);
    ASSERT_EQ(zt::RunProgram({"."}, dir.path()).exitCode, 0);
    for (const char* name : {"cnc", "fro", "frh", "r90"})
      files[vc].push_back(zt::ReadFile(dir / (std::string(name) + ".dmna")));
    logs[vc] = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  }
  for (size_t i = 0; i < files[0].size(); i++) {
    EXPECT_GT(files[0][i].size(), 1000u);
    EXPECT_TRUE(files[0][i] == files[1][i]) << "file " << i;
  }
  EXPECT_EQ(logs[0].find("vertical grid"), std::string::npos);
  const std::regex estimate("(\nvertical grid|\n--- vertical grid)[^\n]*");
  int lines = 0;
  for (auto it = std::sregex_iterator(logs[1].begin(), logs[1].end(), estimate);
       it != std::sregex_iterator(); ++it)
    lines++;
  EXPECT_GE(lines, 5);  // two sources in two situations, the summary
  std::string without = std::regex_replace(logs[1], estimate, "");
  without = std::regex_replace(without, std::regex("\nvc 1\n"), "\nvc 0\n");
  EXPECT_EQ(without, logs[0]);
}

}  // namespace
