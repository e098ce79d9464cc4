// Boundary-layer profile: the normalised profile functions in every
// stability branch, the three profile families, u*, mixing height, sigma-w
// scaling, sigma-v and lv, the grid rules and the profile listing.
#include "blm/blm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "msg/msg.h"
#include "prm/params.h"
#include "support.h"

namespace {

// Float results of double-precision formulas: a few units in the last place.
constexpr float kRel = 2e-6f;

void ExpectRel(double expected, float actual, double rel = kRel) {
  EXPECT_NEAR(actual, expected, std::fabs(expected) * rel + 1e-30) << "expected " << expected;
}

void MarkSet(const char* name) { PrmFind(name, "?")->type |= PrmSetMark; }

class Blm : public testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  static void Fresh() {
    zt::ResetMsg();
    PrmClear();
    PrmInit(1);
    PrmInit(2);
  }
  void TearDown() override {
    PrmClear();
    zt::ResetMsg();
  }
};

// Reference values from the formulas, evaluated in double precision (kk 0.4,
// ps 4.7, pn 1).
TEST_F(Blm, WindProfileInEveryStabilityBranch) {
  ExpectRel(std::log(21.0) / 0.4, BlmUx(10, 0.5f, 0));  // neutral: ln(1+z/z0)/kk
  ExpectRel(6.559640602527144, BlmUx(10, 0.5f, -50));   // unstable
  ExpectRel(8.861306094308556, BlmUx(10, 0.5f, 100));   // stable, zeta 0.105
  ExpectRel(26.25136238437737, BlmUx(10, 0.5f, 5));     // stable, zeta 2.1
  ExpectRel(78.49032592247967, BlmUx(50, 0.5f, 2));     // stable, zeta 25.25
  EXPECT_EQ(BlmUx(0, 0.5f, 0), 0.0f);
  EXPECT_EQ(BlmUx(-1, 0.5f, 100), 0.0f);
  EXPECT_EQ(BlmUx(10, 0, 0), 0.0f);
  EXPECT_EQ(BlmUx(10, -0.3f, 0), 0.0f);
  // Unstable air mixes momentum: less shear than neutral, stable more.
  EXPECT_LT(BlmUx(10, 0.5f, -50), BlmUx(10, 0.5f, 0));
  EXPECT_GT(BlmUx(10, 0.5f, 100), BlmUx(10, 0.5f, 0));
}

TEST_F(Blm, WindProfileIsContinuousAtTheJoins) {
  // z0 0.5 and L 20.5: zeta = 0.5 at z = 9.75; L 2: zeta = 10 at z = 19.5.
  // Over +-1 mm the slope (below 1/s) moves the value by at most 2e-3; a jump
  // of the piecewise formula would show as more.
  for (auto [el, z] : {std::pair{20.5f, 9.75f}, std::pair{2.0f, 19.5f}}) {
    const float below = BlmUx(z - 1e-3f, 0.5f, el), above = BlmUx(z + 1e-3f, 0.5f, el);
    EXPECT_NEAR(below, above, 2e-3f) << "L " << el;
    EXPECT_LT(below, above);
  }
}

TEST_F(Blm, DiffusionAndSigmaWInEveryBranch) {
  ExpectRel(8.054886166274029, BlmKz(10, 0.5f, -50, 1100));               // unstable
  ExpectRel(0.4 * 10 * std::exp(-1.8 * 0.01), BlmKz(10, 0.5f, 0, 1000));  // neutral: kk z e
  ExpectRel(2.624871546892852, BlmKz(10, 0.5f, 100, 500));                // stable
  ExpectRel(0.4 * 10 / (1 + 4.7 * 0.1), BlmKz(10, 0.5f, 100, 0));         // no mixing height
  // Above the mixing height only the exponential damping remains.
  ExpectRel(0.4 * 1200 * std::exp(-1.8 * 1.2), BlmKz(1200, 0.5f, -50, 1000));
  EXPECT_EQ(BlmKz(0, 0.5f, -50, 1000), 0.0f);

  ExpectRel(1.3 * std::exp(-0.6 * 0.02), BlmSw(10, 0.5f, 100, 500));  // stable
  ExpectRel(1.451683509492762, BlmSw(10, 0.5f, -50, 1100));           // unstable
  ExpectRel(1.3 * std::exp(-0.6 * 0.01), BlmSw(10, 0.5f, 0, 1000));   // neutral
  EXPECT_EQ(BlmSw(0, 0.5f, -50, 1000), 1.3f);
  EXPECT_EQ(BlmSw(-5, 0.5f, 100, 1000), 1.3f);
}

TEST_F(Blm, DefaultSituationGivesGridProfilesAndHorizontalScales) {
  ASSERT_EQ(BlmProfile(), 0);
  ASSERT_EQ(prm::nz, 200);
  for (int i = 0; i <= 200; i += 50) EXPECT_EQ(prm::zk[i], 5.0f * i);
  EXPECT_EQ(prm::zk[200], 1000.0f);
  // u* comes from the neutral profile (lm 0), the profile itself uses
  // L = 99999 m, whose stable correction 5 (z/L) shifts the wind at the
  // anemometer height (level 2, 10 m) slightly above ua.
  const double us = 3 * 0.4 / std::log(21.0);
  ExpectRel(3 * (std::log(21.0) + 5 * 10 / 99999.0) / std::log(21.0), prm::ux[2]);
  EXPECT_EQ(prm::ux[0], 0.0f);
  EXPECT_EQ(prm::kz[0], 0.0f);
  ExpectRel(1.3 * us, prm::ww[0]);
  // L = 99999 m stands for neutral; Hm = 0.3 u*/f.
  const double hm = 0.3 * us / 1e-4;
  ExpectRel(us * 0.4 * 10 * std::exp(-1.8 * 10 / hm) / (1 + 4.7 * 10 / 99999.0), prm::kz[2]);
  ExpectRel(2 * us, prm::vv);
  ExpectRel(0.1 * 0.17 * hm, prm::lv);
  // A generated grid is kept by the next call.
  prm::dz = 0;
  EXPECT_EQ(BlmProfile(), 0);
  EXPECT_EQ(prm::zk[200], 1000.0f);
}

TEST_F(Blm, UndefinedGridFailsWithoutTouchingTheProfiles) {
  zt::LogCapture log;
  prm::dz = 0;
  prm::ux[3] = 7;
  EXPECT_EQ(BlmProfile(), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(), "*** undefined vertical grid! (QORblm.BlmProfile.2)\n");
  EXPECT_EQ(prm::ux[3], 7.0f);
  EXPECT_EQ(prm::zk[1], 0.0f);
}

TEST_F(Blm, GivenGridMustIncreaseStrictly) {
  for (int i = 0; i <= prm::nz; i++) prm::zk[i] = 2.0f * i;
  prm::zk[4] = prm::zk[3];
  zt::LogCapture log;
  EXPECT_EQ(BlmProfile(), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(),
            "*** vertical grid not increasing (zk[3]=6, zk[4]=6)! (QORblm.BlmProfile.3)\n");

  // A valid given grid is used unchanged, whatever dz says.
  zt::ResetMsg();
  prm::zk[4] = 8;
  prm::dz = 0;
  EXPECT_EQ(BlmProfile(), 0);
  EXPECT_EQ(prm::zk[200], 400.0f);
}

TEST_F(Blm, NzBeyondTheAllocatedVectorsIsRejected) {
  zt::LogCapture log;
  prm::nz = 300;  // vectors still hold 201 elements
  EXPECT_EQ(BlmProfile(), -1);
  EXPECT_EQ(log.text(),
            "*** invalid number of vertical intervals (nz=300)! (QORblm.BlmProfile.1)\n");
}

TEST_F(Blm, LowWindIsRaisedAndVerboseLinesAppear) {
  zt::LogCapture log;
  MsgVerbose = 3;
  MsgQuiet = 1;
  prm::ua = 0.3f;
  ASSERT_EQ(BlmProfile(), 0);
  const double us = 0.5 * 0.4 / std::log(21.0);
  char expected[200];
  std::snprintf(expected, sizeof expected, "calculated u* = %1.3f\nLm=%7.1f  Hm=%6.1f  Ua=%4.1f\n",
                us, 99999.0, 0.3 * us / 1e-4, 0.5);
  EXPECT_EQ(log.text(), expected);
  EXPECT_EQ(prm::ua, 0.3f);  // the parameter itself is the driver's business
  ExpectRel(0.5 * (std::log(21.0) + 5 * 10 / 99999.0) / std::log(21.0), prm::ux[2]);

  // Verbose 2 shows only u*, and a given u* nothing.
  zt::LogCapture log2;
  MsgVerbose = 2;
  ASSERT_EQ(BlmProfile(), 0);
  EXPECT_EQ(log2.text().rfind("calculated u* = ", 0), 0u);
  EXPECT_EQ(log2.text().find("Lm="), std::string::npos);
  zt::LogCapture log3;
  prm::us = 0.3f;
  ASSERT_EQ(BlmProfile(), 0);
  EXPECT_EQ(log3.text(), "");
}

// The mixing height shows through lv = 0.1 fv A^2 Hm (A = 1 at tm 3600).
TEST_F(Blm, MixingHeightRules) {
  prm::us = 0.35f;
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.1 * 0.17 * 1050, prm::lv);  // neutral: 0.3 u*/f
  prm::lm = 100;                          // stable with u*/f = 3500 > L: 0.3 sqrt(u* L/f)
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.1 * 0.17 * 0.3 * std::sqrt(0.35 * 100 / 1e-4), prm::lv, 1e-5);
  prm::lm = -50;  // sqrt(1.5/0.5)*(-50) = -86.6 >= -200
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.1 * 0.17 * 1100, prm::lv);
  prm::lm = -200;  // -346 < -200
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.1 * 0.17 * 800, prm::lv);
  // Unstable sigma-v: 2 u* (1 - 0.064 Hm/L)^(1/3).
  ExpectRel(2 * 0.35 * std::cbrt(1 + 0.064 * 800 / 200), prm::vv);
  prm::hm = 400;  // a given Hm wins
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.1 * 0.17 * 400, prm::lv);
  ExpectRel(0.35 * BlmKz(10, 0.5f, -200, 400), prm::kz[2]);
  EXPECT_EQ(prm::hm, 400.0f);
  prm::hm = 0;
  prm::lm = 0;
  prm::us = 0;
  ASSERT_EQ(BlmProfile(), 0);
  EXPECT_EQ(prm::us, 0.0f);  // computed u* and Hm are not written back
  EXPECT_EQ(prm::hm, 0.0f);
}

TEST_F(Blm, AveragingTimeSigmaVAndGivenLv) {
  prm::us = 0.4f;
  prm::tm = 0;  // A = 1
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.8, prm::vv);
  prm::tm = 900;  // A = 0.25^0.2
  ASSERT_EQ(BlmProfile(), 0);
  const double a = std::pow(0.25, 0.2);
  ExpectRel(0.8 * a, prm::vv);
  ExpectRel(0.1 * 0.17 * a * a * 1200, prm::lv);
  prm::sv = 0.6f;
  prm::lv = 33;
  MarkSet("lv");
  ASSERT_EQ(BlmProfile(), 0);
  EXPECT_EQ(prm::vv, 0.6f);
  EXPECT_EQ(prm::lv, 33.0f);
}

TEST_F(Blm, GivenSigmaWScalesTheTurbulenceProfilesOnly) {
  prm::lm = -30;
  ASSERT_EQ(BlmProfile(), 0);
  const float kz2 = prm::kz[2], ux2 = prm::ux[2], ww2 = prm::ww[2];
  const float kz100 = prm::kz[100], ww100 = prm::ww[100];
  prm::sw = 0.5f;
  MarkSet("sw");
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(0.5, prm::ww[2]);  // level 2 is the anemometer height
  const double factor = 0.5 / ww2;
  EXPECT_GT(std::fabs(factor - 1), 0.1);
  ExpectRel(kz2 * factor, prm::kz[2], 5e-6);
  ExpectRel(kz100 * factor, prm::kz[100], 5e-6);
  ExpectRel(ww100 * factor, prm::ww[100], 5e-6);
  EXPECT_EQ(prm::ux[2], ux2);
}

TEST_F(Blm, ConstantProfiles) {
  prm::z0 = 0;
  prm::us = 0.25f;
  prm::sw = 0.7f;
  prm::vv = 1.5f;
  prm::lv = 12;
  ASSERT_EQ(BlmProfile(), 0);
  for (int i : {0, 1, 100, 200}) {
    EXPECT_EQ(prm::ux[i], 3.0f);
    ExpectRel(0.4 * 0.25 * 10, prm::kz[i]);
    EXPECT_EQ(prm::ww[i], 0.7f);
  }
  EXPECT_EQ(prm::vv, 1.5f);
  EXPECT_EQ(prm::lv, 12.0f);
  prm::z0 = -0.0f;  // negative zero selects the same family
  prm::us = 0;
  ASSERT_EQ(BlmProfile(), 0);
  EXPECT_EQ(prm::kz[50], 0.0f);
}

TEST_F(Blm, PowerLawProfiles) {
  prm::z0 = -0.3f;
  prm::us = 0.2f;
  prm::vv = 1.5f;
  ASSERT_EQ(BlmProfile(), 0);
  for (int i : {1, 2, 40, 200}) {
    ExpectRel(3 * std::pow(5.0 * i / 10, 0.3), prm::ux[i], 1e-5);
    ExpectRel(0.4 * 0.2 * 5 * i, prm::kz[i]);
    EXPECT_EQ(prm::ww[i], 0.0f);
  }
  EXPECT_EQ(prm::ux[0], 0.0f);
  EXPECT_EQ(prm::vv, 1.5f);
  prm::z0 = -2;  // exponent limited to 1
  ASSERT_EQ(BlmProfile(), 0);
  ExpectRel(3 * 100.0 / 10, prm::ux[20]);
}

TEST_F(Blm, ProfilesGivenInTheCommandFileAreKept) {
  for (int i = 0; i <= prm::nz; i++) prm::ux[i] = 4;
  MarkSet("ux");
  for (float z0 : {0.5f, 0.0f, -0.2f}) {
    prm::z0 = z0;
    prm::us = 0.3f;
    ASSERT_EQ(BlmProfile(), 0);
    EXPECT_EQ(prm::ux[0], 4.0f) << z0;
    EXPECT_EQ(prm::ux[100], 4.0f) << z0;
    EXPECT_GT(prm::kz[100], 0.0f) << z0;
  }
  prm::kz[7] = 123.5f;
  prm::ww[7] = 2.5f;
  MarkSet("kz");
  MarkSet("ww");
  prm::z0 = 0.5f;
  ASSERT_EQ(BlmProfile(), 0);
  EXPECT_EQ(prm::kz[7], 123.5f);
  EXPECT_EQ(prm::ww[7], 2.5f);
}

// What would make the solver create mass or divide by zero is refused with
// the value that shows it: negative inputs, and any profile value that is
// not finite or (wind, diffusion, sigma-w) negative, given or computed.
TEST_F(Blm, NegativeOrNonFiniteValuesAreRefused) {
  struct Case {
    std::function<void()> set;
    const char* message;
  } const cases[] = {
      {[] { prm::ua = -1; }, "*** parameter ua=-1 must be 0 or more! (QORblm.BlmProfile.5)\n"},
      {[] { prm::sw = -0.5f; }, "*** parameter sw=-0.5 must be 0 or more! (QORblm.BlmProfile.6)\n"},
      {[] { prm::z0 = 0, prm::us = -0.3f; },
       "*** invalid profile value kz[0]=-1.2! (QORblm.BlmProfile.7)\n"},
      {[] { prm::pn = 0; }, "*** invalid profile value kz[1]=inf! (QORblm.BlmProfile.7)\n"},
      {[] { prm::dz = 1e37f; }, "*** invalid profile value zk[35]=inf! (QORblm.BlmProfile.7)\n"},
      {[] {
         prm::ww[3] = -1;
         MarkSet("ww");
       },
       "*** invalid profile value ww[3]=-1! (QORblm.BlmProfile.7)\n"},
  };
  for (const Case& c : cases) {
    Fresh();
    c.set();
    zt::LogCapture log;
    EXPECT_EQ(BlmProfile(), -1);
    EXPECT_EQ(MsgErr, -1);
    EXPECT_EQ(log.text(), c.message);
  }
}

TEST_F(Blm, PrintProfileListsEveryLevel) {
  PrmClear();
  PrmInit(1);
  prm::nz = 2;
  PrmInit(2);
  prm::z0 = 0;
  prm::us = 0.25f;
  prm::sw = 0.45f;
  ASSERT_EQ(BlmProfile(), 0);
  {
    zt::LogCapture log;
    EXPECT_EQ(BlmPrintProfile(), 0);
    EXPECT_EQ(log.text(),
              "\nVertikal-Profile Meteorologie\n"
              "       Z      Ux      Kz      Sw\n"
              "    0.00    3.00    1.00   0.450\n"
              "    5.00    3.00    1.00   0.450\n"
              "   10.00    3.00    1.00   0.450\n"
              "\n");
  }
  MsgLog = nullptr;
  EXPECT_EQ(BlmPrintProfile(), 0);  // no log: nothing to write, no failure
  EXPECT_EQ(MsgErr, 0);
}

}  // namespace
