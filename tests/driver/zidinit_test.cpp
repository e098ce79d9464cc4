// Model initialisation after the dimension section: meander table,
// concentration scale, point accumulators, rejected dimensions.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <tuple>

#include "driver/driver.h"
#include "msg/msg.h"
#include "odor/receptors.h"
#include "prm/params.h"
#include "prm/prm.h"
#include "support.h"

namespace {

class ZidInitTest : public testing::Test {
 protected:
  void SetUp() override {
    zt::ResetMsg();
    ResetInterpreter();
    PrmClear();
    ASSERT_EQ(0, PrmInit(1));
  }
  void Allocate() { ASSERT_EQ(0, PrmInit(2)); }
  void TearDown() override {
    PrmClear();
    ResetInterpreter();
    zt::ResetMsg();
  }
};

TEST_F(ZidInitTest, MeanderTableOfNineCorePlumes) {
  Allocate();
  ASSERT_EQ(0, ZidInit());
  ASSERT_EQ(10, prm::em.count);
  float total = prm::wm[0];
  for (int i = 0; i <= 9; i++) {
    EXPECT_FLOAT_EQ(i * 4.0f / 9, prm::em[i]) << i;
    // weights keep the shape of the normal density
    EXPECT_NEAR(std::exp(-prm::em[i] * prm::em[i] / 2) / std::exp(0.0f), prm::wm[i] / prm::wm[0], 1e-6)
        << i;
    if (i > 0) total += 2 * prm::wm[i];
  }
  EXPECT_NEAR(1.0f, total, 1e-6f);  // the off-centre plumes count on both sides
  EXPECT_FLOAT_EQ(4.0f, prm::em[9]);
}

TEST_F(ZidInitTest, SingleCorePlumeCarriesAllWeight) {
  prm::nm = 0;
  Allocate();
  ASSERT_EQ(0, ZidInit());
  EXPECT_EQ(0.0f, prm::em[0]);
  EXPECT_EQ(1.0f, prm::wm[0]);
}

TEST_F(ZidInitTest, ConcentrationScaleFiveClassesPerDecade) {
  Allocate();
  ASSERT_EQ(0, ZidInit());
  ASSERT_EQ(21, prm::cl.count);
  EXPECT_FLOAT_EQ(0.01f, prm::cl[0]);
  EXPECT_FLOAT_EQ(1.0f, prm::cl[10]);
  EXPECT_FLOAT_EQ(100.0f, prm::cl[20]);
  for (int i = 1; i <= 20; i++) EXPECT_NEAR(std::pow(10.0, 0.2), prm::cl[i] / prm::cl[i - 1], 1e-6);
}

TEST_F(ZidInitTest, PointAccumulatorsAndLineBuffer) {
  prm::mp = 3;
  prm::mc = 9000;
  Allocate();
  ASSERT_EQ(0, ZidInit());
  EXPECT_EQ(3u, PntCnc.size());
  EXPECT_EQ(3u, PntC90.size());
  EXPECT_GE(PrmBufLen, 9000);
  prm::mc = 100;  // the buffer never shrinks
  ASSERT_EQ(0, ZidInit());
  EXPECT_GE(PrmBufLen, 9000);
}

TEST_F(ZidInitTest, ValuesThatWouldBreakTheCalculationAreRejected) {
  struct Case {
    int32_t* value;
    int32_t bad;
    const char* message;
  } cases[] = {{&prm::nc, 0, "*** invalid value nc=0! (ZIRidev.ZidInit.2)\n"},
               {&prm::nl, -1, "*** invalid value nl=-1! (ZIRidev.ZidInit.2)\n"},
               {&prm::nw, 0, "*** invalid value nw=0! (ZIRidev.ZidInit.2)\n"},
               {&prm::nz, 0, "*** invalid value nz=0! (ZIRidev.ZidInit.2)\n"}};
  for (const Case& c : cases) {
    int32_t saved = *c.value;
    *c.value = c.bad;
    zt::LogCapture log;
    EXPECT_EQ(-1, ZidInit());
    EXPECT_EQ(c.message, log.text());
    *c.value = saved;
    MsgErr = 0;
  }
}

// The concentration scale must stay within 1e-37 to 1e38, or its classes
// turn 0 or inf; its ends are allowed, one step beyond is not.
TEST_F(ZidInitTest, ConcentrationScaleWithinSinglePrecision) {
  Allocate();
  for (auto [ll, nc, ok] : {std::tuple{-37, 1, true}, {-38, 1, false}, {-185, 5, true},
                            {-186, 5, false}, {18, 1, true}, {19, 1, false},
                            {INT32_MIN, 5, false}, {INT32_MAX, 5, false}}) {
    prm::ll = ll;
    prm::nc = nc;
    zt::ResetMsg();
    zt::LogCapture log;
    EXPECT_EQ(ok ? 0 : -1, ZidInit()) << ll << "/" << nc;
    if (ok) {
      EXPECT_TRUE(std::isnormal(prm::cl[0]) && std::isnormal(prm::cl[20])) << ll << "/" << nc;
    } else {
      EXPECT_EQ(log.text(), "*** concentration scale 10^(ll/nc) to 10^((ll+nl)/nc) beyond 1e-37 "
                            "to 1e38 (ll=" + std::to_string(ll) + ", nl=20, nc=" +
                                std::to_string(nc) + ")! (ZIRidev.ZidInit.4)\n");
    }
  }
}

TEST_F(ZidInitTest, ALaterDimensionSectionMustNotResizeVectors) {
  Allocate();
  ASSERT_EQ(0, ZidInit());
  prm::nz = 100;
  zt::LogCapture log;
  EXPECT_EQ(-1, ZidInit());
  EXPECT_EQ("*** dimension nz must not change (from 200 to 100)! (ZIRidev.ZidInit.3)\n", log.text());
}

}  // namespace
