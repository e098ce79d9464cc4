// Several sources through the real program: what one source split into
// two gives, what two sources apart give, and what two weak sources give
// together that neither gives alone. Grids are written with eight decimals
// so that float rounding, not the format, sets the tolerance.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "support.h"

namespace {

// Result grids cnc, fro, frh, r90.
using Grids = std::array<zt::Grid, 4>;
const char* const kNames[] = {"cnc", "fro", "frh", "r90"};

// A *QUELLE section (with add: *QUELLE add) giving every source parameter.
std::string Source(bool add, double xq, double yq, double aq, double bq, double rq, double hq,
                   double cq, double eq) {
  char text[300];
  std::snprintf(text, sizeof text,
                "*QUELLE%s\nxq %.7f\nyq %.7f\naq %g\nbq %g\nrq %g\nhq %g\ncq %g\neq %g\nlq 10\n"
                "li 5\n",
                add ? " add" : "", xq, yq, aq, bq, rq, hq, cq, eq);
  return text;
}

// Two situations, every wind direction (neutral and stable).
const char kTwoSituations[] =
    "*PARAMETER run\nua 3\nlm 0\n"
    "*PARAMETER run\nua 1.5\nlm 50\n";

// Runs the sources on a grid of 41 x 41 nodes 20 m apart around the origin.
Grids RunModel(const std::string& sources, const std::string& situations = kTwoSituations) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt",
                "*DIMENSIONIERUNG\nmi 200\n*GITTER\nnx 41\nny 41\ndr 20\nxr -400\nyr -400\n" +
                    sources + situations +
                    "*SPEICHERN cnc fro frh r90\nfo \"%16.8e\"\n*ENDE\n");
  const zt::RunResult r = zt::RunProgram({".", "-q"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  Grids g;
  for (int a = 0; a < 4; a++) {
    g[a] = zt::ReadGrid(zt::ReadFile(dir / (std::string(kNames[a]) + ".dmna")));
    EXPECT_EQ(g[a].v.size(), 41u) << kNames[a];
  }
  return g;
}

double Max(const zt::Grid& g) {
  double m = 0;
  for (const auto& row : g.v)
    for (double v : row) m = std::max(m, std::fabs(v));
  return m;
}

// Every value of want, at each node, within 1e-5 of the largest value of
// its grid, and each grid not empty.
void ExpectSameGrids(const Grids& got, const Grids& want, const std::string& what) {
  for (int a = 0; a < 4; a++) {
    const double tol = 1e-5 * Max(want[a]);
    EXPECT_GT(tol, 0) << what << " " << kNames[a];
    int bad = 0;
    for (size_t i = 0; i < want[a].v.size(); i++)
      for (size_t j = 0; j < want[a].v[i].size(); j++)
        bad += !(std::fabs(got[a].v.at(i).at(j) - want[a].v[i][j]) <= tol);
    EXPECT_EQ(bad, 0) << what << " " << kNames[a];
  }
}

// A building of 40 m x 20 m turned 30 degrees, 4 x 2 cells of 10 m.
constexpr double kRq = 30;
std::string Building(bool add, double eq) { return Source(add, -20, -10, 40, 20, kRq, 0, 6, eq); }
// Its halves along the cell boundary 20 m along aq.
std::string Half(bool add, int which, double eq) {
  const double a = kRq * M_PI / 180, shift = 20.0 * which;
  return Source(add, -20 + shift * std::cos(a), -10 + shift * std::sin(a), 20, 20, kRq, 0, 6, eq);
}

TEST(Sources, TwoHalvesAtOnePlaceGiveTheGridsOfTheWhole) {
  const Grids whole = RunModel(Building(false, 3000));
  ExpectSameGrids(RunModel(Building(false, 1500) + Building(true, 1500)), whole, "eq/2 twice");
  ExpectSameGrids(RunModel(Half(false, 0, 1500) + Half(true, 1, 1500)), whole, "split along a cell");
}

// Two point sources 600 m apart across the wind from the west, with little
// crosswind spread: their plumes meet at few nodes. There the odor
// frequency is not additive; everywhere else each source alone is the pair.
TEST(Sources, SourcesApartAddUpWhereOnlyOneReaches) {
  std::string situations = "*PARAMETER run\nua 3\nlm 0\nsv 0.15\ndw";
  for (int s = 0; s < 36; s++) situations += (s == 26) ? " 1" : " 0";  // from 265 to 275 deg
  situations += "\n*PARAMETER run\nua 2\nlm 100\n";
  const std::string north = Source(false, -390, 300, 0, 0, 0, 10, 0, 2000);
  const std::string south = Source(false, -390, -300, 0, 0, 0, 10, 0, 2000);
  const Grids a = RunModel(north, situations), b = RunModel(south, situations);
  std::string both = south;
  both.replace(0, 7, "*QUELLE add");
  const Grids pair = RunModel(north + both, situations);
  int alone = 0;
  for (int k = 0; k < 3; k++) {  // cnc, fro, frh
    const double tol = 1e-5 * Max(pair[k]);
    int bad = 0;
    for (int i = 0; i < 41; i++)
      for (int j = 0; j < 41; j++) {
        const bool onlyOne = (a[0].v[i][j] > 0) != (b[0].v[i][j] > 0);
        if (k == 0 && onlyOne && a[2].v[i][j] + b[2].v[i][j] > 0) alone++;
        if (k == 0 || onlyOne)
          bad += !(std::fabs(pair[k].v[i][j] - a[k].v[i][j] - b[k].v[i][j]) <= tol);
      }
    EXPECT_EQ(bad, 0) << kNames[k];
  }
  EXPECT_GT(alone, 100);  // nodes with odor hours from one source only
}

// Each half of the building, with a weak emission, leaves nodes without an
// odor hour that the two together give odor hours: the frequency of odor
// hours of the pair exceeds the sum of the single runs. A second source
// never lowers fro or frh.
TEST(Sources, TwoWeakSourcesTogetherCauseOdorHoursNeitherCausesAlone) {
  const Grids a = RunModel(Half(false, 0, 100)), b = RunModel(Half(false, 1, 100));
  const Grids pair = RunModel(Half(false, 0, 100) + Half(true, 1, 100));
  int more = 0, lower = 0;
  for (int i = 0; i < 41; i++)
    for (int j = 0; j < 41; j++) {
      const double fa = a[2].v[i][j], fb = b[2].v[i][j], fp = pair[2].v[i][j];
      more += (fa == 0 && fb == 0 && fp > 0);
      for (int k = 1; k <= 2; k++)
        lower += pair[k].v[i][j] < std::max(a[k].v[i][j], b[k].v[i][j]) - 1e-5 * Max(pair[k]);
    }
  EXPECT_GT(more, 10);
  EXPECT_EQ(lower, 0);
}

}  // namespace
