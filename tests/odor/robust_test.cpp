// Inputs at the edge of single precision and of the work limits: positions
// that overflow, angles far beyond a turn, counts that multiply the work.
#include <cfloat>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "odor/core.h"
#include "odor_fixture.h"

namespace {

class RobustTest : public odt::OdorTest {
 protected:
  void TearDown() override {
    CoreIsaSelect(nullptr);
    odt::OdorTest::TearDown();
  }

  // Runs f once with every kernel the processor runs.
  template <class F>
  static void EveryKernel(F f) {
    std::istringstream names(CoreIsaNames());
    for (std::string isa; std::getline(names >> std::ws, isa, ',');)
      if (CoreIsaSelect(isa.c_str()) == 0) f(isa);
  }
};

// A receptor whose position is not a number reaches no plume table: every
// kernel reports it as beyond the table, whatever the direction; an
// infinite one is upwind (nothing) or beyond the table, never a value.
TEST_F(RobustTest, PositionsNotFiniteNeverReachTheTable) {
  LinearTable();
  prm::eq = 1;
  prm::aq = 20;
  prm::bq = 10;
  prm::lq = 5;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, float> at[] = {{nan, 0},       {0, nan},       {nan, nan}, {inf, 0},
                                        {-inf, 0},      {0, inf},       {inf, inf}, {inf, -inf},
                                        {3e38f, 3e38f}, {-3e38f, 3e38f}};
  std::vector<Source>* list = Sources();
  ASSERT_NE(list, nullptr);
  OdorCore core;
  CoreWork work;
  ASSERT_EQ(CoreInit(*list, &core), 0);
  ASSERT_EQ(CoreWorkInit(core, &work), 0);
  EveryKernel([&](const std::string& isa) {
    for (float d : {0.0f, 30.0f, 90.0f, 135.0f, 200.0f, 271.0f}) {
      CoreDirection(core, d, &work);
      for (auto [x, y] : at) {
        float cm = -1, c90 = -1, p = -1;
        const int rc = CoreOdor(core, &work, x, y, &cm, &c90, &p);
        if (std::isnan(x) || std::isnan(y)) {
          EXPECT_EQ(rc, -1) << isa << " " << d << " " << x << "," << y;
        }
        if (rc == 0) {
          EXPECT_TRUE(cm == 0 && c90 == 0 && p == 0) << isa << " " << d << " " << x << "," << y;
        }
      }
    }
  });
  EXPECT_EQ(CalcCon(0, nan, 0, 30, nullptr, nullptr), -1);
  EXPECT_EQ(CalcCon(0, 0, nan, 30, nullptr, nullptr), -1);
}

// A grid is accepted exactly when |x| + |y| of its farthest node, as the
// receptor loop computes it, stays within MaxPositionReach.
TEST_F(RobustTest, GridNodesBeyondTheReachOfSinglePrecisionAreRefused) {
  struct {
    int nx, ny;
    float dr, xr, yr;
    bool ok;
  } const grids[] = {
      {7, 3, 3e38f, -60, -20, false},      // the far nodes overflow to inf
      {2, 1, 1e38f, 0, 0, false},          // finite, but beyond the reach
      {1, 1, 10, -3e38f, 0, false},        // the corner itself
      {1, 3, 1e37f, 0, 8e37f, false},      // y alone
      {3, 2, 2e37f, 0, 0, true},           // 4e37 + 2e37
      {2, 2, 1e37f, -4e37f, 3e37f, true},  // the west corner is the far one
      {1000, 1000, 1e31f, 1e36f, -1e36f, true},
  };
  for (const auto& g : grids) {
    ReleaseAccumulators();
    zt::ResetMsg();
    prm::nx = g.nx;
    prm::ny = g.ny;
    prm::dr = g.dr;
    prm::xr = g.xr;
    prm::yr = g.yr;
    zt::LogCapture log;
    EXPECT_EQ(DefineGrid(), g.ok ? 0 : -1) << g.nx << " " << g.dr << " " << g.xr << " " << g.yr;
    if (!g.ok) {
      EXPECT_NE(log.text().find("beyond the reach of single precision"), std::string::npos);
    } else {  // every node, and its distance to a source at the origin, is finite
      for (int i : {0, g.nx - 1})
        for (int j : {0, g.ny - 1}) {
          const float x = i * g.dr + g.xr, y = j * g.dr + g.yr;
          EXPECT_TRUE(std::isfinite(std::fabs(x) + std::fabs(y) + std::fabs(x) + std::fabs(y)));
        }
    }
  }
  AllocPoints(prm::mp);
}

// An area source turned by rq gives the same concentrations as one turned
// by rq modulo 360, up to the largest float: a huge angle never makes the
// source vanish.
TEST_F(RobustTest, HugeRotationsActAsTheirRemainderOfAFullTurn) {
  Reinit([] { prm::nm = 0; });
  LinearTable();
  prm::eq = 1;
  prm::aq = 40;
  prm::bq = 10;
  prm::lq = 5;
  const float turns[] = {30, -30, 390, 360 * 1e6f + 30, 2e38f, -2e38f, 1e30f, FLT_MAX, -FLT_MAX};
  int compared = 0;
  for (float rq : turns) {
    for (float d : {0.0f, 45.0f, 90.0f}) {
      float huge = -1, reduced = -1;
      prm::rq = rq;
      ASSERT_GE(CalcCon(0, 150, 20, d, &huge, nullptr), 0) << rq;
      prm::rq = static_cast<float>(std::fmod(static_cast<double>(rq), 360.0));
      ASSERT_GE(CalcCon(0, 150, 20, d, &reduced, nullptr), 0) << rq;
      EXPECT_EQ(huge, reduced) << "rq " << rq << " d " << d;
      if (d == 0) {
        EXPECT_GT(huge, 0) << "rq " << rq;
      }
      compared++;
    }
  }
  EXPECT_EQ(compared, 27);
}

// The core plumes are a work limit of their own, and with the cells and
// the classes they bound the work of one receptor and direction: beyond
// either limit the run is refused before it starts, nothing added.
TEST_F(RobustTest, CorePlumesAndTheWorkPerReceptorAreLimited) {
  struct {
    int nm;
    float aq, lq;
    bool ok;
  } const runs[] = {
      {1000, 0, 1, true},      // 2001 core plumes of a point source
      {1001, 0, 1, false},     // 2003
      {9999999, 0, 1, false},  // the count of a typo
      {9, 2000, 1, true},      // 19 x (4 000 000 cells + 21 classes)
      {12, 2000, 1, false},    // 25 x ... beyond 1e8
      {500, 320, 1, false},    // 1001 x 102 400 cells
      {500, 300, 3, true},     // 1001 x 10 000 cells
      {-1, 2000, 1, true},     // no core plumes
  };
  for (const auto& r : runs) {
    Reinit([&] { prm::nm = r.nm; });
    LinearTable();
    Grid(2, 2, 10, 0, 3000);  // upwind (sector 0 blows south): nothing but the limits
    prm::eq = 1;
    prm::aq = prm::bq = r.aq;
    prm::lq = r.lq;
    OnlySector(0, 1);
    zt::LogCapture log;
    EXPECT_EQ(CalcValues(), r.ok ? 0 : -1) << r.nm << " " << r.aq << " " << r.lq << log.text();
    if (!r.ok) {
      EXPECT_NE(log.text().find(r.nm > 1000 ? "core plumes, at most 2001" : "at most 100000000"),
                std::string::npos)
          << log.text();
      EXPECT_EQ(SumDur, 0);
    }
  }
}

}  // namespace
