// Plume tables: the downwind grid, the checks before the solver runs, the
// failure path, and the listing of the plume functions.
#include "odor/plume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "blm/blm.h"
#include "dff/dff.h"
#include "msg/msg.h"
#include "odor/sources.h"
#include "prm/params.h"
#include "support.h"

namespace {

class Plume : public testing::Test {
 protected:
  void SetUp() override {
    zt::ResetMsg();
    PrmClear();
    PrmInit(1);
    PrmInit(2);
    prm::ni = 200;
    ASSERT_EQ(BlmProfile(), 0);
  }
  void TearDown() override {
    PrmClear();
    zt::ResetMsg();
  }
};

TEST_F(Plume, TableCoversTheDownwindGrid) {
  ASSERT_EQ(CalcPlume(), 0);
  EXPECT_EQ(prm::cx[0], 0.0f);
  EXPECT_EQ(prm::cx[1], 10.0f);
  EXPECT_EQ(prm::cx[200], 2000.0f);
  EXPECT_EQ(prm::sy[0], 0.0f);
  for (int n : {0, 1, 100, 200}) EXPECT_NEAR(prm::ci[n], 1.0f, 1.2e-5f) << n;
  EXPECT_GT(prm::cg[200], 0.0f);
  EXPECT_GT(prm::sy[200], prm::sd[200]);
  EXPECT_EQ(MsgErr, 0);

  // A ground-level source contributes its whole emission from the start.
  prm::hq = 0;
  ASSERT_EQ(CalcPlume(), 0);
  EXPECT_FLOAT_EQ(prm::ci[0], 1.0f);
}

TEST_F(Plume, InvalidIntervalsAreRejectedBeforeTheTableIsTouched) {
  zt::LogCapture log;
  prm::cx[3] = 7;
  prm::li = 0;
  EXPECT_EQ(CalcPlume(), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(prm::cx[3], 7.0f);
  prm::li = -2.5f;
  EXPECT_EQ(CalcPlume(), -1);
  prm::li = 10;
  prm::ni = 201;  // the vectors hold mi + 1 = 201 entries
  EXPECT_EQ(CalcPlume(), -1);
  prm::ni = -1;
  EXPECT_EQ(CalcPlume(), -1);
  EXPECT_EQ(prm::cx[3], 7.0f);
  EXPECT_EQ(log.text(),
            "*** invalid interval length li (0)! (ZIRidev.CalcPlume.2)\n"
            "*** invalid interval length li (-2.5)! (ZIRidev.CalcPlume.2)\n"
            "*** invalid number of intervals (ni=201)! (ZIRidev.CalcPlume.3)\n"
            "*** invalid number of intervals (ni=-1)! (ZIRidev.CalcPlume.3)\n");
}

// A table reaching beyond 100 km, or a source whose emission does not wholly
// enter the vertical grid (0 to 1000 m), is refused.
TEST_F(Plume, ReachAndSourceOutsideTheGridAreRefused) {
  struct {
    float li, hq, cq;
    const char* message;
  } const cases[] = {
      {500, 10, 0, ""},
      {500.1f, 10, 0,
       "*** plume table of ni=200 intervals of li=500.1 m reaches 100020 m, at most 100000 m! "
       "(ZIRidev.CalcPlume.4)\n"},
      {10, 1000, 0,
       "*** source at hq=1000 m (cq=0 m) not within the vertical grid from 0 to 1000 m (flux "
       "0.5)! (ZIRidev.CalcPlume.5)\n"},
      {10, 990, 20,
       "*** source at hq=990 m (cq=20 m) not within the vertical grid from 0 to 1000 m (flux "
       "0.5)! (ZIRidev.CalcPlume.5)\n"},
      {10, -5, 2,
       "*** source at hq=-5 m (cq=2 m) not within the vertical grid from 0 to 1000 m (flux 0)! "
       "(ZIRidev.CalcPlume.5)\n"},
      {10, -5, 0, ""},  // spread over the lowest cell, from the ground
  };
  for (const auto& c : cases) {
    zt::ResetMsg();
    prm::li = c.li, prm::hq = c.hq, prm::cq = c.cq;
    zt::LogCapture log;
    EXPECT_EQ(CalcPlume(), *c.message ? -1 : 0) << c.li << " " << c.hq;
    EXPECT_EQ(log.text(), c.message);
  }
}

// The sources multiply the work of the plume solver: its limit holds for
// the tables of all of them together, each table taking its share.
TEST_F(Plume, SolverWorkLimitIsSharedByTheSources) {
  const double limit = DffMaxLevelSteps;
  const double need = 200.0 * prm::nz;  // ni steps of nz levels, fully implicit
  for (int count : {1, 2, 3}) {
    SrcForget();
    for (int s = 0; s < count; s++) ASSERT_EQ(SrcDefine(s > 0), 0);
    for (double room : {0.99, 1.01}) {
      zt::ResetMsg();
      DffMaxLevelSteps = need * count * room;
      zt::LogCapture log;
      EXPECT_EQ(CalcPlume(), room > 1 ? 0 : -1) << count << " " << room << log.text();
      EXPECT_EQ(DffMaxLevelSteps, need * count * room);  // as it was
    }
  }
  SrcForget();
  DffMaxLevelSteps = limit;
}

TEST_F(Plume, SolverFailureAddsItsOwnMessage) {
  for (int i = 0; i <= prm::nz; i++) {
    prm::kz[i] = 0;
    if (i >= 100) prm::ux[i] = 0;
  }
  zt::LogCapture log;
  EXPECT_EQ(CalcPlume(), -1);
  EXPECT_EQ(MsgErr, -1);
  const std::string text = log.text();
  EXPECT_NE(text.find("*** error in x-step (n=1)! (QORdff.DffPlume.8)\n"), std::string::npos);
  const std::string last = "*** plume functions! (ZIRidev.CalcPlume.1)\n";
  ASSERT_GE(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

std::string Row(int n) {
  const float sy = prm::sy[n];
  const float cm = (sy > 0) ? prm::eq * prm::cp[n] * 0.3989423f / sy : 0.0f;
  char line[200];
  std::snprintf(line, sizeof line, "%7.0f %12.4e %12.4e %12.4e %8.1f %8.1f %12.4e %7.4f\n",
                prm::cx[n], prm::cg[n], prm::cp[n], prm::ca[n], sy, prm::sd[n], cm, prm::ci[n]);
  return line;
}

const char kHead[] =
    "\nWerte der Fahnenfunktionen\n"
    "\nAbstand      Cy(z=0)     Cy(z=zp)      Cy(z=h)       Sy       Sd     Cm(z=zp)    Flu\xDF\n";

TEST_F(Plume, ListingThinsWithNd) {
  prm::ni = 12;
  prm::eq = 250;
  ASSERT_EQ(CalcPlume(), 0);
  {
    zt::LogCapture log;
    prm::nd = 4;
    EXPECT_EQ(PrintPlume(), 0);
    EXPECT_EQ(log.text(), std::string(kHead) + Row(0) + Row(5) + Row(10) + "\n");
  }
  // The first line: widths and Cm zero, the whole flux.
  char first[200];
  std::snprintf(first, sizeof first,
                "      0   0.0000e+00   0.0000e+00 %12.4e      0.0      0.0   0.0000e+00  1.0000\n",
                prm::ca[0]);
  EXPECT_EQ(Row(0), first);
  // Cm = eq cp / (sqrt(2 pi) sy) under the plume axis.
  const double cm = 250.0 * prm::cp[10] / (std::sqrt(2 * 3.14159265358979) * prm::sy[10]);
  char expected[20];
  std::snprintf(expected, sizeof expected, "%12.4e", cm);
  EXPECT_EQ(Row(10).substr(65, 12), expected);
  {
    zt::LogCapture log;
    prm::nd = 12;  // only x = 0
    EXPECT_EQ(PrintPlume(), 0);
    EXPECT_EQ(log.text(), std::string(kHead) + Row(0) + "\n");
  }
  {
    zt::LogCapture log;
    prm::nd = -3;  // counts as 0: every point
    prm::ni = 2;
    EXPECT_EQ(PrintPlume(), 0);
    EXPECT_EQ(log.text(), std::string(kHead) + Row(0) + Row(1) + Row(2) + "\n");
  }
  MsgLog = nullptr;
  EXPECT_EQ(PrintPlume(), 0);
  EXPECT_EQ(MsgErr, 0);
}

}  // namespace
