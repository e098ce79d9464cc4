// Concentration at a receptor: directions, source cells, table range, the
// core and meander widths, and the zero width on a cell centre.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "odor/core.h"
#include "odor/sources.h"
#include "odor_fixture.h"

namespace {

using odt::kInvSqrt2Pi;

class CalcConTest : public odt::OdorTest {
 protected:
  // Constant widths and plume function: every cell downwind adds
  // eq/(na nb) * cp/(sqrt(2 pi) s0) on its axis.
  static void ConstantTable(float s0) {
    SetTable(
        1, 200, [=](float) { return s0; }, [=](float) { return s0; }, [](float) { return 1.0f; });
  }
  static float Con(int m, float x, float y, float d, int* rc = nullptr) {
    float c = -1, f = -1;
    int r = CalcCon(m, x, y, d, &c, &f);
    if (rc) *rc = r;
    if (r >= 0) {
      EXPECT_EQ(f, 1.0f);
    }
    return c;
  }
};

TEST_F(CalcConTest, PointSourceOnTheAxisAndDirections) {
  Reinit([] { prm::nm = 0; });
  LinearTable(0.2f, 3.0f);
  prm::eq = 2;
  prm::xq = 50;
  prm::yq = -20;
  const float axis = 2 * kInvSqrt2Pi / 20 * 3;  // 100 m downwind: sy = 20
  // d = 90 blows to the north: a receptor 100 m north is on the axis.
  EXPECT_NEAR(Con(0, 50, 80, 90), axis, axis * 1e-6);
  EXPECT_NEAR(Con(0, 150, -20, 0), axis, axis * 1e-6);     // east
  EXPECT_NEAR(Con(0, -50, -20, 180), axis, axis * 1e-6);   // west
  EXPECT_NEAR(Con(0, 50, -120, 270), axis, axis * 1e-6);   // south
  // 40 m to the left of the wind (west of a wind to the north): two widths.
  EXPECT_NEAR(Con(0, 10, 80, 90), axis * std::exp(-2.0f), axis * 1e-5);
  EXPECT_NEAR(Con(0, 90, 80, 90), axis * std::exp(-2.0f), axis * 1e-5);
  // Upwind and at the source nothing arrives.
  int rc = -1;
  EXPECT_EQ(Con(0, 50, -120, 90, &rc), 0.0f);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(Con(0, 50, -20, 90, &rc), 0.0f);
  EXPECT_EQ(rc, 0);
  // Far off the axis the exponent exceeds am: no contribution at all.
  EXPECT_EQ(Con(0, 50 + 20 * 11, 80, 90, &rc), 0.0f);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(MsgErr, 0);
  // Outputs are optional.
  EXPECT_EQ(CalcCon(0, 50, 80, 90, nullptr, nullptr), 1);
}

TEST_F(CalcConTest, TableRangeEndsExactlyAtItsLastEntry) {
  Reinit([] { prm::nm = 0; });
  LinearTable();
  prm::ni = 50;  // 500 m
  // xs = ni li uses entry ni alone: sy = 100.
  const float axis = kInvSqrt2Pi / 100;
  EXPECT_NEAR(Con(0, 500, 0, 0), axis, axis * 1e-6);
  EXPECT_EQ(MsgErr, 0);
  zt::LogCapture log;
  float c = 7, f = 7;
  EXPECT_EQ(CalcCon(0, 500.1f, 0, 0, &c, &f), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(c, 7);  // outputs untouched after an error
  EXPECT_EQ(f, 7);
  EXPECT_EQ(log.text(), "*** plume table range exceeded! (ZIRidev.CalcCon.2)\n");
}

TEST_F(CalcConTest, AreaSourceCellCounts) {
  Reinit([] { prm::nm = 0; });
  ConstantTable(0.05f);
  prm::lq = 1;
  prm::bq = 0;  // cells in one row along x
  const float one = kInvSqrt2Pi / 0.05f;  // a single cell of full strength
  // A receptor at x = 5 receives the cells whose centres lie west of it.
  prm::aq = 10;  // 10 cells of 1 m, centres 0.5 .. 9.5: five upwind
  EXPECT_NEAR(Con(0, 5, 0, 0), one * 5 / 10, one * 1e-5);
  prm::aq = 10.5f;  // 11 cells of 0.9545 m: five centres below 5
  EXPECT_NEAR(Con(0, 5, 0, 0), one * 5 / 11, one * 1e-5);
  prm::aq = 0.5f;  // one cell
  EXPECT_NEAR(Con(0, 5, 0, 0), one, one * 1e-5);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(CalcConTest, AreaSourceCellsAndSideDirections) {
  Reinit([] { prm::nm = 0; });
  ConstantTable(0.1f);  // so narrow that a neighbouring cell 1 m away adds < 1e-21
  prm::eq = 8;
  prm::lq = 1;
  prm::aq = 4;
  prm::bq = 2;
  prm::xq = 100;
  prm::yq = 200;
  const float cell = kInvSqrt2Pi / 0.1f;  // eq/8 per cell
  // rq = 0: 4 x 2 cells, the first centred at (100.5, 200.5).
  EXPECT_NEAR(Con(0, 100.6f, 200.5f, 0), cell, cell * 1e-4);
  EXPECT_NEAR(Con(0, 100.6f, 201.5f, 0), cell, cell * 1e-4);
  EXPECT_NEAR(Con(0, 103.6f, 201.5f, 0), 4 * cell, cell * 1e-4);  // the whole row upwind
  EXPECT_LT(Con(0, 100.6f, 202.5f, 0), cell * 1e-10);                // north of the source
  // rq = 90: side aq points north, side bq west; centres x 99.5, 98.5, y 200.5 .. 203.5.
  prm::rq = 90;
  EXPECT_NEAR(Con(0, 100, 203.5f, 0), 2 * cell, cell * 1e-4);
  EXPECT_LT(Con(0, 100, 204.5f, 0), cell * 1e-10);
  EXPECT_NEAR(Con(0, 99, 203.5f, 180), cell, cell * 1e-4);  // wind to the west: cell x 98.5
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(CalcConTest, NarrowCoreIsWidenedAndMeanderShiftsIt) {
  Reinit([] { prm::nm = 1; });
  prm::em[1] = 1;  // core plume m = +-1 sits one meander amplitude off the axis
  // Core width 0.2 Sy: raised to 0.3 Sy, meander amplitude sqrt(0.91) Sy.
  SetTable(
      10, 200, [](float x) { return 0.1f * x; }, [](float x) { return 0.02f * x; },
      [](float) { return 1.0f; });
  const float sy = 10, sc = 0.3f * sy, sm = std::sqrt(0.91f) * sy;  // at 100 m
  const float centre = kInvSqrt2Pi / sc;
  EXPECT_NEAR(Con(0, 100, 0, 0), centre, centre * 1e-5);
  // m = 1 is centred sm to the left (north for a wind to the east), m = -1 to the right.
  EXPECT_NEAR(Con(1, 100, sm, 0), centre, centre * 1e-4);
  EXPECT_NEAR(Con(-1, 100, -sm, 0), centre, centre * 1e-4);
  EXPECT_NEAR(Con(1, 100, 0, 0), centre * std::exp(-0.91f / 0.18f), centre * 1e-6);
  // With nm = 0 the core width is the total width.
  Reinit([] { prm::nm = 0; });
  SetTable(
      10, 200, [](float x) { return 0.1f * x; }, [](float x) { return 0.02f * x; },
      [](float) { return 1.0f; });
  EXPECT_NEAR(Con(0, 100, 0, 0), kInvSqrt2Pi / sy, kInvSqrt2Pi / sy * 1e-6);
}

TEST_F(CalcConTest, ReceptorOnCellCentreGivesNeitherNaNNorSpike) {
  // Grid nodes inside the footprint of a 10 m x 10 m source lie on cell
  // centres; after rounding they are a fraction of a millimetre downwind,
  // where the interpolated width is 0 (0/0) or almost 0 (a spike). The
  // cell itself must add nothing, so the value stays of the size found a
  // few decimetres away.
  for (int nm : {0, 9}) {
    Reinit([=] { prm::nm = nm; });
    LinearTable();
    prm::aq = prm::bq = 10;
    prm::lq = 1;
    prm::xq = 3;
    prm::yq = -7;
    int nonFinite = 0;
    float onCentre = 0, beside = 0;  // largest values on and off the cell centres
    for (int ia = 0; ia < 10; ia++)
      for (int ib = 0; ib < 10; ib++)
        for (int s = 0; s < 180; s++) {
          const float x = 3.5f + ia, y = -6.5f + ib;
          const float d = 270 - ((s % 5 - 2) * 2.0f + (s / 5) * 10.0f + 10);
          for (int m = -nm; m <= nm; m++) {
            const float c = Con(m, x, y, d);
            if (!std::isfinite(c)) nonFinite++;
            onCentre = std::max(onCentre, c);
            beside = std::max(beside, Con(m, x + 0.3f, y + 0.2f, d));
          }
        }
    EXPECT_EQ(nonFinite, 0) << "nm=" << nm;
    EXPECT_LT(onCentre, 10 * beside) << "nm=" << nm;
    EXPECT_EQ(MsgErr, 0);
  }
}

TEST_F(CalcConTest, InvalidAreaSourcesAreRejectedWithTheirValues) {
  LinearTable();
  struct Case {
    float aq, bq, lq;
    const char* message;
    float eq = 1;
  } const cases[] = {
      {10, 5, 0, "*** invalid cell size lq=0 of the area source! (ZIRidev.CalcCon.3)\n"},
      {10, 5, -1, "*** invalid cell size lq=-1 of the area source! (ZIRidev.CalcCon.3)\n"},
      {-10, 5, 1, "*** invalid size aq=-10, bq=5 of the area source! (ZIRidev.CalcCon.4)\n"},
      {1e6f, 1e6f, 1e-2f,
       "*** too many cells of the area source: 1e+16 (aq=1e+06, bq=1e+06, lq=0.01), at most "
       "4000000! (ZIRidev.CalcCon.5)\n"},
      {1e9f, 1, 1e-3f,
       "*** too many cells of the area source: 1e+15 (aq=1e+09, bq=1, lq=0.001), at most "
       "4000000! (ZIRidev.CalcCon.5)\n"},
      {2000, 2001, 1,
       "*** too many cells of the area source: 4.002e+06 (aq=2000, bq=2001, lq=1), at most "
       "4000000! (ZIRidev.CalcCon.5)\n"},
      {10, 5, 1, "*** parameter eq=-1 must be 0 or more! (ZIRidev.CalcCon.6)\n", -1},
  };
  for (const Case& c : cases) {
    zt::ResetMsg();
    zt::LogCapture log;
    prm::aq = c.aq;
    prm::bq = c.bq;
    prm::lq = c.lq;
    prm::eq = c.eq;
    float conc = 5;
    EXPECT_EQ(CalcCon(0, 100, 0, 0, &conc, nullptr), -1);
    EXPECT_EQ(MsgErr, -1);
    EXPECT_EQ(conc, 5);
    EXPECT_EQ(log.text(), c.message);
    // Among several sources the message names the source, and reads as
    // above otherwise.
    std::string named = c.message;
    const size_t area = named.find("area source");
    if (area != std::string::npos)
      named.insert(area + 11, " 3");
    else
      named.insert(named.find(" must"), " of source 3");
    zt::ResetMsg();
    zt::LogCapture log3;
    EXPECT_EQ(CheckSource(SrcParameters(), 2, 4), -1);
    EXPECT_EQ(log3.text(), named);
  }
  // The limit itself is allowed, for one source and for all together.
  zt::ResetMsg();
  prm::aq = prm::bq = 2000;
  prm::eq = 1;
  EXPECT_EQ(CheckSources({SrcParameters()}), 0);
  Source half = SrcParameters();
  half.bq = 1000;
  EXPECT_EQ(CheckSources({half, half}), 0);
  half.bq = 1000.5f;
  zt::LogCapture log;
  EXPECT_EQ(CheckSources({half, half}), -1);
  EXPECT_EQ(log.text(),
            "*** too many cells of the 2 sources: 4004000, at most 4000000! (ZIRidev.CalcCon.7)\n");
}

}  // namespace
