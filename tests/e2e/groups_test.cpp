// Source groups through the real program: each group's files are those of a
// run of its sources alone, the total is the run without groups, and the
// weighted frequency frw is the cascade over the groups by falling factor,
// recomputed here from the written grids at every node. Grids are written
// with eight decimals so that float rounding, not the format, sets the
// tolerance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support.h"

namespace {

const char* const kArrays[] = {"cnc", "fro", "frh", "r90"};

struct Src {
  const char* group;
  double fg;
  int za;
  double xq, yq, aq, bq, hq, cq, eq;
};

// pigs (0.75, the applicant's) in two sources with the poultry (1.5) between
// them in definition order, the dairy (0.5) last: the cascade runs poultry,
// pigs, dairy. All within 100 m, so the plumes overlap.
const std::vector<Src> kFarm = {
    {"pigs", 0.75, 1, -40, -30, 30, 20, 0, 4, 500},
    {"poultry", 1.5, 0, -60, 40, 0, 0, 8, 0, 400},
    {"pigs", 0.75, 1, 0, 0, 0, 0, 10, 0, 300},
    {"dairy", 0.5, 0, 40, -10, 20, 20, 0, 3, 500},
};

// The sources as *QUELLE sections; with groups, sg, fg and za each.
std::string Sources(const std::vector<Src>& list, bool groups) {
  std::string text;
  for (size_t s = 0; s < list.size(); s++) {
    const Src& q = list[s];
    char buf[400];
    std::snprintf(buf, sizeof buf,
                  "*QUELLE%s\nxq %g\nyq %g\naq %g\nbq %g\nhq %g\ncq %g\neq %g\nlq 10\nli 5\n",
                  s ? " add" : "", q.xq, q.yq, q.aq, q.bq, q.hq, q.cq, q.eq);
    text += buf;
    if (groups) {
      std::snprintf(buf, sizeof buf, "sg %s\nfg %g\nza %d\n", q.group, q.fg, q.za);
      text += buf;
    }
  }
  return text;
}

// Runs the sources on 41 x 41 nodes 20 m apart around the origin with two
// situations over every direction and writes what is asked; returns the
// files by name (without extension).
std::map<std::string, zt::Grid> RunModel(const std::string& sources, const std::string& arrays) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt",
                "*DIMENSIONIERUNG\nmi 200\n*GITTER\nnx 41\nny 41\ndr 20\nxr -400\nyr -400\n" +
                    sources +
                    "*PARAMETER run\nua 3\nlm 0\n*PARAMETER run\nua 1.5\nlm 50\n"
                    "*SPEICHERN " +
                    arrays + "\nfo \"%16.8e\"\n*ENDE\n");
  const zt::RunResult r = zt::RunProgram({".", "-q"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  std::map<std::string, zt::Grid> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    if (name.size() > 5 && name.substr(name.size() - 5) == ".dmna")
      files[name.substr(0, name.size() - 5)] = zt::ReadGrid(zt::ReadFile(e.path().string()));
  }
  return files;
}

double Max(const zt::Grid& g) {
  double m = 0;
  for (const auto& row : g.v)
    for (double v : row) m = std::max(m, std::fabs(v));
  return m;
}

// Nodes of got that differ from want by more than 1e-5 of want's largest value.
int Differing(const zt::Grid& got, const zt::Grid& want) {
  const double tol = 1e-5 * Max(want);
  int bad = 0;
  for (size_t i = 0; i < want.v.size(); i++)
    for (size_t j = 0; j < want.v[i].size(); j++)
      bad += !(std::fabs(got.v.at(i).at(j) - want.v[i][j]) <= tol);
  return bad;
}

// The weighted frequency at one node, written out as the rule states it:
// the groups in the order given, H_i = min(h_i, r - (H_1 + ... + H_i-1)),
// r sum(f_i H_i) / sum(H_i), at most 1; the largest factor where no group
// has odor hours of its own.
double Cascade(double r, const std::vector<double>& h, const std::vector<double>& f) {
  if (r <= 0) return 0;
  double used = 0, fh = 0;
  for (size_t i = 0; i < h.size(); i++) {
    const double H = std::min(h[i], r - used);
    used += H;
    fh += f[i] * H;
  }
  const double fmax = *std::max_element(f.begin(), f.end());
  return std::min(1.0, used > 0 ? r * fh / used : r * fmax);
}

TEST(Groups, GroupFilesAreRunsOfTheirSourcesAloneAndTheTotalIsTheRunWithout) {
  auto grouped = RunModel(Sources(kFarm, true), "cnc fro frh r90");
  // The files of each group and of the applicant's (pigs), none else.
  EXPECT_EQ(grouped.size(), 4u * 5u);
  const auto plain = RunModel(Sources(kFarm, false), "cnc fro frh r90");
  for (const char* a : kArrays) {
    EXPECT_EQ(grouped[a].v, plain.at(a).v) << a << ": the total is the run without groups";
    EXPECT_NE(grouped[a].header.find("sqsg\t\"pigs\"\t\"poultry\"\t\"pigs\"\t\"dairy\""),
              std::string::npos);
  }
  for (const char* group : {"pigs", "poultry", "dairy"}) {
    std::vector<Src> alone;
    for (const Src& q : kFarm)
      if (std::string(q.group) == group) alone.push_back(q);
    const auto run = RunModel(Sources(alone, false), "cnc fro frh r90");
    for (const char* a : kArrays) {
      const std::string name = std::string(a) + "-" + group;
      ASSERT_TRUE(grouped.count(name)) << name;
      EXPECT_GT(Max(run.at(a)), 0) << name;
      EXPECT_EQ(Differing(grouped[name], run.at(a)), 0) << name;
      EXPECT_NE(grouped[name].header.find("sgrp\t\"" + std::string(group) + "\""),
                std::string::npos);
      if (std::string(group) == "pigs") {
        EXPECT_EQ(Differing(grouped[std::string(a) + "-za"], run.at(a)), 0) << a << "-za";
      }
    }
  }
}

TEST(Groups, WeightedFrequencyIsTheCascadeByFallingFactorAtEveryNode) {
  auto g = RunModel(Sources(kFarm, true), "frh frw");
  // By falling factor, and, to show that the order matters, by definition.
  const std::vector<std::string> falling = {"poultry", "pigs", "dairy"};
  const std::vector<double> fFalling = {1.5, 0.75, 0.5};
  const std::vector<std::string> defined = {"pigs", "poultry", "dairy"};
  const std::vector<double> fDefined = {0.75, 1.5, 0.5};
  ASSERT_EQ(g["frw"].v.size(), 41u);
  EXPECT_NE(g["frw"].header.find("sgrp\t\"frw\""), std::string::npos);
  int bad = 0, orderMatters = 0, above1 = 0, odor = 0;
  for (int i = 0; i < 41; i++)
    for (int j = 0; j < 41; j++) {
      const double r = g["frh"].v[i][j];
      std::vector<double> hf, hd;
      for (const auto& n : falling) hf.push_back(g["frh-" + n].v[i][j]);
      for (const auto& n : defined) hd.push_back(g["frh-" + n].v[i][j]);
      const double want = Cascade(r, hf, fFalling), got = g["frw"].v[i][j];
      // float values and products of them: 1e-6 of values up to 1
      bad += !(std::fabs(got - want) <= 1e-6);
      orderMatters += std::fabs(Cascade(r, hd, fDefined) - want) > 1e-3;
      above1 += got > 1;
      odor += r > 0;
    }
  EXPECT_EQ(bad, 0);
  EXPECT_GT(odor, 100);
  EXPECT_GT(orderMatters, 10);
  EXPECT_EQ(above1, 0);
}

// Two weak halves of a building in groups of their own: where neither alone
// has odor hours but both together do, the weighted frequency takes the
// largest factor.
TEST(Groups, WithoutOdorHoursOfAnyGroupTheLargestFactorWeighs) {
  const std::vector<Src> halves = {{"a", 0.75, 0, -20, -10, 20, 20, 0, 6, 100},
                                   {"b", 0.5, 0, 0, -10, 20, 20, 0, 6, 100}};
  auto g = RunModel(Sources(halves, true), "frh frw");
  int none = 0, bad = 0;
  for (int i = 0; i < 41; i++)
    for (int j = 0; j < 41; j++) {
      const double r = g["frh"].v[i][j];
      if (!(r > 0 && g["frh-a"].v[i][j] == 0 && g["frh-b"].v[i][j] == 0)) continue;
      none++;
      bad += !(std::fabs(g["frw"].v[i][j] - 0.75 * r) <= 1e-6);
    }
  EXPECT_GT(none, 10);
  EXPECT_EQ(bad, 0);
}

}  // namespace
