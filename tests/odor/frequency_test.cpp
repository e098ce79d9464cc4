// Odor frequency: the perception density, the Weibull exceedance, the 90th
// percentile, odor hours, the accumulation over sectors and receptors, the
// lifecycle of the accumulators, the symmetry of the plume and the
// rejection of parameters that would turn results into NaN.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "odor_fixture.h"

namespace {

using odt::kInvSqrt2Pi;

class FrequencyTest : public odt::OdorTest {
 protected:
  // One wind direction exactly: a single sub-sector per sector.
  void SingleDirection(int sector, float hours) {
    prm::nu = 1;
    OnlySector(sector, hours);
  }
};

TEST_F(FrequencyTest, PerceptionDensityIsNormalAndCentredOnTheThreshold) {
  LinearTable();
  ASSERT_EQ(CalcValues(), 0);  // no receptors: only the density is computed
  float sum = 0;
  int peak = 0;
  for (int k = 0; k <= prm::nl; k++) {
    sum += prm::od[k];
    if (prm::od[k] > prm::od[peak]) peak = k;
  }
  EXPECT_NEAR(sum, 1.0f, 1e-6f);
  EXPECT_EQ(peak, 10);  // cl[10] = 1 = gs
  for (int k = 1; k <= 10; k++) EXPECT_NEAR(prm::od[10 - k], prm::od[10 + k], 1e-7f) << k;
  // One class is 0.4605 = ln(10)/5 in ln c, i.e. 0.921 standard deviations.
  EXPECT_NEAR(prm::od[11] / prm::od[10], std::exp(-0.5 * 0.921034 * 0.921034), 1e-5);
  EXPECT_EQ(SumDur, 0);
}

TEST_F(FrequencyTest, WeibullExceedanceOfAUnitConcentration) {
  Reinit([] { prm::nm = 0; });
  SetTable(
      1, 200, [](float) { return 1.0f; }, [](float) { return 1.0f; }, [](float) { return 1.0f; });
  prm::eq = 1 / kInvSqrt2Pi;  // concentration 1 on the axis
  ASSERT_EQ(CalcValues(), 0);  // perception density for gs = 1
  float cm = 0, c90 = 0, p = 0;
  ASSERT_EQ(CalcOdor(10, 0, 0, &cm, &c90, &p), 0);
  EXPECT_NEAR(cm, 1.0f, 1e-6f);
  // pd = 2: scale 1/Gamma(1.5) = 1.1283792; P(C > 1) = exp(-(1/1.1283792)^2).
  EXPECT_NEAR(prm::hl[10], 0.4559f, 5e-5f);
  for (int k = 1; k <= prm::nl; k++) EXPECT_LE(prm::hl[k], prm::hl[k - 1]) << k;
  EXPECT_GT(prm::hl[0], 0.9999f);
  EXPECT_EQ(prm::hl[prm::nl], 0);  // exp(z) beyond am
  // The 90th percentile: F(c) = 1 - exp(-(c/1.1283792)^2) passes 0.9
  // between cl[11] = 1.585 and cl[12] = 2.512, interpolated linearly in ln c.
  auto F = [](double c) { return 1 - std::exp(-std::pow(c / 1.1283792, 2)); };
  const double F11 = F(prm::cl[11]), F12 = F(prm::cl[12]);
  EXPECT_NEAR(c90, std::pow(10.0, (1 + (0.9 - F11) / (F12 - F11)) / 5), 1e-5);
  // Perceived: thresholds spread around gs = 1, the concentration around 1.
  EXPECT_GT(p, 0.3f);
  EXPECT_LT(p, 0.7f);
  // Upwind: no core plume arrives.
  ASSERT_EQ(CalcOdor(-10, 0, 0, &cm, &c90, &p), 0);
  EXPECT_EQ(cm, 0);
  EXPECT_EQ(c90, 0);
  EXPECT_EQ(p, 0);
  for (int k = 0; k <= prm::nl; k++) EXPECT_EQ(prm::hl[k], 0) << k;
}

TEST_F(FrequencyTest, NinetiethPercentileOfTheExceedanceDistribution) {
  float hl[21];
  auto fill = [&](float below, float from9, float from10) {
    for (int k = 0; k <= 20; k++) hl[k] = k < 9 ? below : (k == 9 ? from9 : from10);
  };
  fill(0.5f, 0.2f, 0.05f);  // F = 0.8 at cl[9] = 0.631, 0.95 at cl[10] = 1
  EXPECT_NEAR(Percentile90(hl), 0.8577f, 5e-5f);
  EXPECT_NEAR(Percentile90(hl), std::pow(10.0f, (-1 + 0.1f / 0.15f) / 5), 1e-6f);
  fill(0.1f, 0.05f, 0.0f);  // the lowest class is exceeded 10 % of the time
  EXPECT_EQ(Percentile90(hl), 0.0f);
  fill(0.9f, 0.9f, 0.11f);  // even the highest class is exceeded 11 %
  EXPECT_EQ(Percentile90(hl), prm::cl[20]);
}

TEST_F(FrequencyTest, GridNodePositionsAndDirections) {
  Reinit([] { prm::nm = 0; });
  LinearTable();  // sy = 0.2 x
  prm::eq = 5;
  prm::xq = 1000;
  prm::yq = 2000;
  Grid(3, 2, 100, 1000, 2000);  // x 1000, 1100, 1200; y 2000, 2100
  EXPECT_EQ(AryAssert(&GrdCnc, 4, 2, 0, 2, 0, 1), 0);
  EXPECT_EQ(AryAssert(&GrdFro, 4, 2, 0, 2, 0, 1), 0);
  prm::np = 2;
  prm::xp[0] = 1000, prm::yp[0] = 2100;
  prm::xp[1] = 1000, prm::yp[1] = 1900;
  SingleDirection(17, 10);  // from 180 degrees: the wind blows to the north
  ASSERT_EQ(CalcValues(), 0);
  EXPECT_EQ(SumDur, 10);
  const float axis = 5 * kInvSqrt2Pi / 20;  // 100 m north of the source
  EXPECT_NEAR(At(GrdCnc, 0, 1) / 10, axis, axis * 1e-5);
  EXPECT_NEAR(At(GrdCnc, 1, 1) / 10, axis * std::exp(-12.5f), axis * 1e-9);
  EXPECT_LT(At(GrdCnc, 2, 1) / 10, axis * 1e-21);
  for (int i = 0; i < 3; i++) EXPECT_EQ(At(GrdCnc, i, 0), 0) << i;  // beside the source
  EXPECT_EQ(PntCnc[0], At(GrdCnc, 0, 1));                          // same receptor
  EXPECT_EQ(PntCnc[1], 0);                                           // upwind
  EXPECT_GT(At(GrdC90, 0, 1), At(GrdCnc, 0, 1));  // the percentile lies above the mean
  EXPECT_GT(At(GrdFro, 0, 1), 0);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(FrequencyTest, DurationsCountOncePerSituation) {
  LinearTable();
  Grid(2, 2, 10, 20, 0);
  prm::np = 1;
  prm::xp[0] = 50;
  for (int s = 0; s < prm::nw; s++) prm::dw[s] = 0;
  ASSERT_EQ(CalcValues(), 0);  // all dw zero: nothing at all
  EXPECT_EQ(SumDur, 0);
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 2; j++) EXPECT_EQ(At(GrdFro, i, j), 0);
  EXPECT_EQ(PntFro[0], 0);
  prm::dw[3] = 100;
  prm::dw[26] = 250;  // from 270 degrees: towards the receptors
  ASSERT_EQ(CalcValues(), 0);
  EXPECT_DOUBLE_EQ(SumDur, 350);
  EXPECT_GT(At(GrdCnc, 1, 0), 0);
  EXPECT_GT(PntCnc[0], 0);
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 2; j++) {
      EXPECT_LE(At(GrdFrh, i, j), 350);
      EXPECT_LE(At(GrdFro, i, j), 350);
    }
}

TEST_F(FrequencyTest, OdorHourNeedsProbabilityStrictlyAboveGa) {
  Reinit([] { prm::nm = 0; });
  LinearTable();
  prm::gs = 0.02f;
  prm::eq = 5;
  prm::np = 1;
  prm::xp[0] = 0, prm::yp[0] = 100;
  SingleDirection(17, 10);
  ASSERT_EQ(CalcValues(), 0);
  float p = 0;
  ASSERT_EQ(CalcOdor(0, 100, 90, nullptr, nullptr, &p), 0);  // the run's only direction
  ASSERT_GT(p, 0.05f);
  EXPECT_FLOAT_EQ(PntFro[0], 10 * p);
  ClearValues();
  prm::ga = p;
  ASSERT_EQ(CalcValues(), 0);
  EXPECT_EQ(PntFrh[0], 0);
  ClearValues();
  prm::ga = std::nextafter(p, 0.0f);
  ASSERT_EQ(CalcValues(), 0);
  EXPECT_EQ(PntFrh[0], 10);
}

TEST_F(FrequencyTest, ClearBetweenRunsKeepsOnlyTheSecondRun) {
  LinearTable();
  Grid(3, 3, 50, 0, -50);
  prm::np = 1;
  prm::xp[0] = 120;
  OnlySector(26, 30);
  ASSERT_EQ(CalcValues(), 0);
  const float cnc = At(GrdCnc, 2, 1), fro = At(GrdFro, 2, 1), pnt = PntCnc[0];
  ASSERT_GT(cnc, 0);
  ASSERT_EQ(CalcValues(), 0);  // without *CLEAR the runs add up
  EXPECT_FLOAT_EQ(At(GrdCnc, 2, 1), 2 * cnc);
  EXPECT_DOUBLE_EQ(SumDur, 60);
  ClearValues();
  EXPECT_EQ(SumDur, 0);
  EXPECT_EQ(At(GrdCnc, 2, 1), 0);
  EXPECT_EQ(PntCnc[0], 0);
  OnlySector(26, 3);
  ASSERT_EQ(CalcValues(), 0);
  EXPECT_NEAR(SumDur, 3, 1e-6);  // five sub-sectors of 0.6f h
  EXPECT_FLOAT_EQ(At(GrdCnc, 2, 1) / 3, cnc / 30);
  EXPECT_FLOAT_EQ(At(GrdFro, 2, 1) / 3, fro / 30);
  EXPECT_FLOAT_EQ(PntCnc[0] / 3, pnt / 30);
}

TEST_F(FrequencyTest, FirstGridAfterPointRunsResetsOnlyTheDuration) {
  LinearTable();
  prm::np = 1;
  prm::xp[0] = 120;
  OnlySector(26, 30);
  ASSERT_EQ(CalcValues(), 0);
  const float pnt = PntCnc[0];
  ASSERT_GT(pnt, 0);
  EXPECT_DOUBLE_EQ(SumDur, 30);
  Grid(2, 2, 10, 0, 0);
  EXPECT_EQ(SumDur, 0);
  EXPECT_EQ(PntCnc[0], pnt);  // the point sums stay
  OnlySector(26, 10);
  ASSERT_EQ(CalcValues(), 0);
  EXPECT_DOUBLE_EQ(SumDur, 10);
  EXPECT_FLOAT_EQ(PntCnc[0], pnt * 4 / 3);
}

TEST_F(FrequencyTest, GridIsCreatedOnceAndMustHaveNodes) {
  prm::nx = 0;
  prm::ny = 5;
  {
    zt::LogCapture log;
    EXPECT_EQ(DefineGrid(), -1);
    EXPECT_EQ(log.text(), "*** invalid grid size nx=0, ny=5! (ZIRidev.DefineGrid.5)\n");
    EXPECT_EQ(GrdCnc.data, nullptr);
  }
  struct {
    int nx, ny;
    float dr;
    const char* message;
  } const refused[] = {
      {4, -1, 10, "*** invalid grid size nx=4, ny=-1! (ZIRidev.DefineGrid.5)\n"},
      {5001, 5000, 10,
       "*** grid of nx=5001 times ny=5000 is 25005000 nodes, at most 25000000! "
       "(ZIRidev.DefineGrid.6)\n"},
      {100000, 100000, 10,
       "*** grid of nx=100000 times ny=100000 is 10000000000 nodes, at most 25000000! "
       "(ZIRidev.DefineGrid.6)\n"},
      {4, 3, 0, "*** parameter dr=0 must be positive! (ZIRidev.DefineGrid.7)\n"},
      {4, 3, -50, "*** parameter dr=-50 must be positive! (ZIRidev.DefineGrid.7)\n"},
  };
  for (const auto& c : refused) {
    zt::ResetMsg();
    prm::nx = c.nx, prm::ny = c.ny, prm::dr = c.dr;
    zt::LogCapture log;
    EXPECT_EQ(DefineGrid(), -1);
    EXPECT_EQ(log.text(), c.message);
    EXPECT_EQ(GrdCnc.data, nullptr);
  }
  zt::ResetMsg();
  Grid(4, 3, 10, 0, 0);
  zt::LogCapture log;
  EXPECT_EQ(DefineGrid(), -1);
  EXPECT_EQ(log.text(),
            "array descriptor already in use! (QORary.AryCreate.1)\n"
            "*** can't create arrays! (ZIRidev.DefineGrid.1)\n");
}

// A point source at the centre of the grid with one wind sector.
class PlumeSymmetryTest : public FrequencyTest {
 protected:
  void RunSector(int sector, std::vector<float>& cnc) {
    ClearValues();
    OnlySector(sector, 1);
    ASSERT_EQ(CalcValues(), 0);
    cnc.resize(21 * 21);
    for (int i = 0; i < 21; i++)
      for (int j = 0; j < 21; j++) cnc[i * 21 + j] = At(GrdCnc, i, j);
  }
};

TEST_F(PlumeSymmetryTest, OneSectorGivesAPlumeDownwindOnly) {
  LinearTable();
  Grid(21, 21, 10, -100, -100);  // source (0, 0) at node (10, 10)
  std::vector<float> c;
  RunSector(26, c);  // from 270 degrees (west): the plume goes east
  int downwind = 0;
  for (int i = 0; i < 21; i++)
    for (int j = 0; j < 21; j++) {
      if (i <= 10) {
        EXPECT_EQ(c[i * 21 + j], 0) << i << "," << j;
      }
      if (i > 10 && c[i * 21 + j] > 0) downwind++;
      // Symmetric about the axis of the sector.
      EXPECT_NEAR(c[i * 21 + j], c[i * 21 + 20 - j], 1e-5f * c[i * 21 + j]) << i << "," << j;
    }
  EXPECT_GT(downwind, 10 * 5);
  for (int i = 12; i < 21; i++) EXPECT_LT(c[i * 21 + 10], c[(i - 1) * 21 + 10]) << i;  // falls off
}

TEST_F(PlumeSymmetryTest, RotatingTheWindRotatesTheGrid) {
  LinearTable();
  Grid(21, 21, 10, -100, -100);
  std::vector<float> west, north, east;
  RunSector(26, west);   // from 270: towards +x
  RunSector(35, north);  // from 360: towards -y
  RunSector(8, east);    // from 90: towards -x
  float peak = 0;
  for (float v : west) peak = std::max(peak, v);
  for (int a = -10; a <= 10; a++)
    for (int b = -10; b <= 10; b++) {
      // Turning the west case by 90 degrees clockwise maps (dx, dy) to (dy, -dx).
      const float w = west[(10 + a) * 21 + 10 + b];
      const float n = north[(10 + b) * 21 + 10 - a];
      const float e = east[(10 - a) * 21 + 10 - b];
      // Rounding of the rotated coordinates (1e-5 m at 100 m) moves values
      // on the flank of a 2 m wide plume by a few 1e-5 relative.
      EXPECT_NEAR(n, w, 1e-4f * w + 1e-7f * peak) << a << "," << b;
      EXPECT_NEAR(e, w, 1e-4f * w + 1e-7f * peak) << a << "," << b;
    }
}

TEST_F(FrequencyTest, InvalidParametersAreRejectedBeforeTheRun) {
  LinearTable();
  Grid(2, 2, 10, 20, 0);
  struct Case {
    std::function<void()> set;
    const char* message;
  } const cases[] = {
      {[] { prm::pd = 0; }, "*** parameter pd=0 must be positive! (ZIRidev.CalcValues.2)\n"},
      {[] { prm::ld = -0.5f; }, "*** parameter ld=-0.5 must be positive! (ZIRidev.CalcValues.2)\n"},
      {[] { prm::gs = 0; }, "*** parameter gs=0 must be positive! (ZIRidev.CalcValues.2)\n"},
      {[] { prm::nu = 0; }, "*** parameter nu=0 must be positive! (ZIRidev.CalcValues.2)\n"},
      {[] { prm::gs = 1e20f, prm::ld = 0.1f; },
       "*** odor threshold gs=1e+20 lies outside the concentration scale (ld=0.1)! "
       "(ZIRidev.CalcValues.4)\n"},
      {[] {
         prm::lv = 0;
         for (int n = 0; n <= prm::ni; n++) prm::sy[n] = prm::sd[n] = 0;
       },
       "*** invalid plume table at x=10 m (sy=0, sd=0, cp=1, lv=0)! (ZIRidev.CalcValues.3)\n"},
      {[] { prm::sy[7] = NAN; },
       "*** invalid plume table at x=70 m (sy=nan, sd=7, cp=1, lv=0)! (ZIRidev.CalcValues.3)\n"},
      {[] { prm::am = 0; }, "*** parameter am=0 must be positive! (ZIRidev.CalcValues.2)\n"},
      {[] { prm::dw[5] = -40; },
       "*** parameter dw[5]=-40 must be 0 or more! (ZIRidev.CalcValues.2)\n"},
      {[] { prm::nu = 2778; },
       "*** nw=36 sectors of nu=2778 sub-sectors are 100008 directions, at most 100000! "
       "(ZIRidev.CalcValues.6)\n"},
      // cp 1 s/m2 over 0.3 times the narrowest width 2 m is 0.665 s/m3.
      {[] { prm::eq = 1e30f; },
       "*** results beyond single precision: values up to 6.65e+29 (eq=1e+30, cl[nl]=100) over "
       "36 h, at most 1e+30! (ZIRidev.CalcValues.7)\n"},
      {[] { prm::dw[0] = 1e29f; },
       "*** results beyond single precision: values up to 100 (eq=1, cl[nl]=100) over 1e+29 h, "
       "at most 1e+30! (ZIRidev.CalcValues.7)\n"},
      {[] { prm::eq = -5; },
       "*** parameter eq=-5 must be 0 or more! (ZIRidev.CalcCon.6)\n"
       "*** can't calculate concentration! (ZIRidev.CalcOdor.1)\n"
       "*** can't get odor values! (ZIRidev.CalcValues.1)\n"},
  };
  for (const Case& c : cases) {
    Reinit(nullptr);
    LinearTable();
    Grid(2, 2, 10, 20, 0);
    c.set();
    zt::LogCapture log;
    EXPECT_EQ(CalcValues(), -1);
    EXPECT_EQ(MsgErr, -1);
    EXPECT_EQ(log.text(), c.message);
    EXPECT_EQ(SumDur, 0);
    EXPECT_EQ(At(GrdCnc, 1, 0), 0);
  }
}

TEST_F(FrequencyTest, TableRangeFailureStopsTheRunWithItsChainOfMessages) {
  LinearTable();
  prm::ni = 5;  // 50 m only
  Grid(2, 1, 100, 0, 0);
  OnlySector(26, 1);
  zt::LogCapture log;
  EXPECT_EQ(CalcValues(), -1);
  EXPECT_EQ(log.text(),
            "*** plume table range exceeded! (ZIRidev.CalcCon.2)\n"
            "*** can't calculate concentration! (ZIRidev.CalcOdor.1)\n"
            "*** can't get odor values! (ZIRidev.CalcValues.1)\n");
}

TEST_F(FrequencyTest, GridNodesOnAreaSourceCellsGiveFiniteValues) {
  for (int nm : {0, 9}) {
    Reinit([=] { prm::nm = nm; });
    LinearTable();
    prm::aq = prm::bq = 10;
    prm::lq = 1;
    Grid(12, 12, 1, -0.5f, -0.5f);  // nodes on every cell centre and around the source
    ASSERT_EQ(CalcValues(), 0);
    int nonFinite = 0;
    for (AryDesc* a : {&GrdCnc, &GrdC90, &GrdFro, &GrdFrh})
      for (int i = 0; i < 12; i++)
        for (int j = 0; j < 12; j++) nonFinite += !std::isfinite(At(*a, i, j));
    EXPECT_EQ(nonFinite, 0) << "nm=" << nm;
    EXPECT_GT(At(GrdCnc, 5, 5), 0);
  }
}

}  // namespace
