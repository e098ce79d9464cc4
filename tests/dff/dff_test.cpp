// Plume function solver: the tridiagonal solver, the source layer, the
// sub-stepping, mass conservation and deposition, the plume widths, an exact
// solution of the diffusion equation and the concentration listing.
#include "dff/dff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "msg/msg.h"
#include "prm/params.h"
#include "support.h"

namespace {

void MarkSet(const char* name, bool set = true) {
  PrmRecord* r = PrmFind(name, "?");
  if (set)
    r->type |= PrmSetMark;
  else
    r->type &= ~static_cast<uint32_t>(PrmSetMark);
}

// A plume table of its own for each run.
struct Table {
  std::vector<float> cx, cg, cp, ca, sy, sd, ci;
  explicit Table(int ni, float li)
      : cx(ni + 1), cg(ni + 1), cp(ni + 1), ca(ni + 1), sy(ni + 1), sd(ni + 1), ci(ni + 1) {
    for (int n = 0; n <= ni; n++) cx[n] = n * li;
  }
  explicit Table(std::vector<float> grid) : Table(static_cast<int>(grid.size()) - 1, 0) {
    cx = std::move(grid);
  }
  int ni() const { return static_cast<int>(cx.size()) - 1; }
  int Run(float hq, float cq = 0) {
    return DffPlume(cx.data(), cg.data(), cp.data(), ca.data(), sy.data(), sd.data(), ci.data(), hq,
                    cq, ni());
  }
};

// Fresh parameters with defaults and a grid of nz intervals of dz metres.
void Parameters(int nz, float dz) {
  PrmClear();
  PrmInit(1);
  prm::nz = nz;
  prm::dz = dz;
  PrmInit(2);
  for (int i = 0; i <= nz; i++) prm::zk[i] = i * dz;
}

// A near-neutral boundary layer: logarithmic wind (3 m/s at 10 m, z0 0.5 m),
// diffusion growing linearly near the ground and damped aloft, sigma-w
// decreasing with height.
void NeutralProfile() {
  for (int i = 0; i <= prm::nz; i++) {
    const double z = prm::zk[i];
    prm::ux[i] = static_cast<float>(3 * std::log(1 + z / 0.5) / std::log(21.0));
    prm::kz[i] = static_cast<float>(0.4 * 0.4 * z * std::exp(-1.8 * z / 1200));
    prm::ww[i] = static_cast<float>(0.52 * std::exp(-0.6 * z / 1200));
  }
  prm::vv = 0.8f;
  prm::lv = 20;
}

// Constant wind u (m/s) and diffusion k (m2/s) without time dependence of Keff.
void ConstantProfile(float u, float k) {
  for (int i = 0; i <= prm::nz; i++) {
    prm::ux[i] = u;
    prm::kz[i] = k;
    prm::ww[i] = 0;
  }
  prm::ua = u;
  prm::tw = 0;
}

class Dff : public testing::Test {
 protected:
  void SetUp() override {
    zt::ResetMsg();
    Parameters(200, 5);
    NeutralProfile();
    // The deposition velocity outlives a call: start every test without it.
    prm::vd = 0;
    MarkSet("vd");
    Table(1, 10).Run(10);
    Parameters(200, 5);
    NeutralProfile();
  }
  void TearDown() override {
    PrmClear();
    zt::ResetMsg();
  }
};

// Dense Gaussian elimination with partial pivoting in double precision.
std::vector<double> DenseSolve(std::vector<std::vector<double>> a, std::vector<double> r) {
  const size_t n = r.size();
  for (size_t k = 0; k < n; k++) {
    size_t p = k;
    for (size_t i = k + 1; i < n; i++)
      if (std::fabs(a[i][k]) > std::fabs(a[p][k])) p = i;
    std::swap(a[k], a[p]);
    std::swap(r[k], r[p]);
    for (size_t i = k + 1; i < n; i++) {
      const double m = a[i][k] / a[k][k];
      for (size_t j = k; j < n; j++) a[i][j] -= m * a[k][j];
      r[i] -= m * r[k];
    }
  }
  std::vector<double> x(n);
  for (size_t i = n; i-- > 0;) {
    double s = r[i];
    for (size_t j = i + 1; j < n; j++) s -= a[i][j] * x[j];
    x[i] = s / a[i][i];
  }
  return x;
}

TEST(SlvTri, AgreesWithADenseSolve) {
  zt::ResetMsg();
  const int n = 7;
  // Element 0 unused; an irregular, not diagonally dominant but regular system.
  std::vector<float> l = {0, 9, -1.5f, 2, 0.5f, -3, 1, 2.5f};
  std::vector<float> b = {0, 2, 4, -1, 3, 0.5f, 6, -2};
  std::vector<float> u = {0, 1, 2, 2.5f, -1, 1.5f, -0.5f, 7};
  std::vector<float> d = {0, 1, -2, 3, 0.25f, -1, 4, 2};
  std::vector<std::vector<double>> a(n, std::vector<double>(n, 0));
  std::vector<double> rhs(n);
  for (int i = 1; i <= n; i++) {
    if (i > 1) a[i - 1][i - 2] = l[i];
    a[i - 1][i - 1] = b[i];
    if (i < n) a[i - 1][i] = u[i];
    rhs[i - 1] = -d[i];  // the right-hand side enters with a plus sign
  }
  const std::vector<double> expected = DenseSolve(a, rhs);
  std::vector<float> x(n + 1, -99);
  ASSERT_EQ(SlvTri(n, l.data(), b.data(), u.data(), d.data(), x.data()), 0);
  // The system is moderately conditioned; float elimination keeps 1e-5.
  for (int i = 1; i <= n; i++)
    EXPECT_NEAR(x[i], expected[i - 1], 1e-5 * (1 + std::fabs(expected[i - 1]))) << i;
  EXPECT_EQ(x[0], -99.0f);
  EXPECT_EQ(SlvTri(0, l.data(), b.data(), u.data(), d.data(), x.data()), 0);
  EXPECT_EQ(MsgErr, 0);
}

TEST(SlvTri, ZeroPivotsAreReported) {
  zt::ResetMsg();
  zt::LogCapture log;
  // Row 2 becomes 1 - 1*1/1 = 0 during the elimination and stops it at row 3.
  std::vector<float> l = {0, 0, 1, 1}, b = {0, 1, 1, 1}, u = {0, 1, 1, 0}, d = {0, 1, 1, 1}, x(4);
  EXPECT_EQ(SlvTri(3, l.data(), b.data(), u.data(), d.data(), x.data()), -1);
  b = {0, 0, 2, 2};  // a zero in the first row
  EXPECT_EQ(SlvTri(3, l.data(), b.data(), u.data(), d.data(), x.data()), -1);
  // A zero that appears in the last row only after the elimination.
  std::vector<float> l2 = {0, 0, 1}, b2 = {0, 1, 1}, u2 = {0, 1, 0}, d2 = {0, 1, 1};
  EXPECT_EQ(SlvTri(2, l2.data(), b2.data(), u2.data(), d2.data(), x.data()), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(),
            "*** zero diagonal element (i=2)! (QORdff.SlvTri.1)\n"
            "*** zero diagonal element (i=1)! (QORdff.SlvTri.1)\n"
            "*** zero diagonal element (i=2)! (QORdff.SlvTri.2)\n");
}

TEST_F(Dff, PointSourceIsSpreadOverItsCell) {
  Table t(20, 10);
  ASSERT_EQ(t.Run(10), 0);
  // hq 10: zk[2] = 10 is not above 10, so the source cell is 10..15 m and the
  // layer 7.5..12.5 m is shared half and half by cells 2 and 3.
  const float u2 = (prm::ux[1] + prm::ux[2]) / 2, u3 = (prm::ux[2] + prm::ux[3]) / 2;
  EXPECT_FLOAT_EQ(t.ca[0], 0.5f / (5 * u3));
  EXPECT_EQ(t.cg[0], 0.0f);
  EXPECT_EQ(t.cp[0], 0.0f);
  EXPECT_FLOAT_EQ(t.ci[0], 1.0f);
  EXPECT_EQ(t.sy[0], 0.0f);
  EXPECT_EQ(t.sd[0], 0.0f);
  // The flux through x = 0 is f2 + f3 with the concentrations above.
  EXPECT_NEAR(5 * u2 * (0.5f / (5 * u2)) + 5 * u3 * t.ca[0], 1.0f, 1e-6f);
  EXPECT_GT(t.cg[20], 0.0f);  // the plume reaches the ground
}

TEST_F(Dff, GroundLevelSourcesEnterTheGridCompletely) {
  const float u1 = (prm::ux[0] + prm::ux[1]) / 2;
  for (float hq : {0.0f, 2.0f}) {
    Table t(10, 10);
    ASSERT_EQ(t.Run(hq), 0);
    EXPECT_FLOAT_EQ(t.ci[0], 1.0f) << hq;
    EXPECT_FLOAT_EQ(t.cg[0], 1 / (5 * u1)) << hq;
    EXPECT_EQ(t.ca[0], t.cg[0]) << hq;
    EXPECT_NEAR(t.ci[10], 1.0f, 1e-5f) << hq;
  }
  // A layer that lies above the ground is not moved: 1.5..6.5 m puts 0.7 of
  // the emission into cell 1.
  Table t(1, 10);
  ASSERT_EQ(t.Run(4), 0);
  EXPECT_FLOAT_EQ(t.cg[0], 0.7f / (5 * u1));
  EXPECT_FLOAT_EQ(t.ci[0], 1.0f);
  // A source with a given vertical extent keeps its layer 12..22 m; its
  // centre 17 m lies in cell 4 (15..20 m), which holds half of it.
  Table e(1, 10);
  ASSERT_EQ(e.Run(12, 10), 0);
  const float u4 = (prm::ux[3] + prm::ux[4]) / 2;
  EXPECT_FLOAT_EQ(e.ca[0], 0.5f / (5 * u4));
  EXPECT_FLOAT_EQ(e.ci[0], 1.0f);
}

TEST_F(Dff, SourceAboveTheGridAndReceptorHeight) {
  Table t(2, 10);
  ASSERT_EQ(t.Run(1200), 0);
  EXPECT_EQ(t.ci[0], 0.0f);
  EXPECT_EQ(t.ci[2], 0.0f);
  EXPECT_EQ(t.cg[2], 0.0f);

  // zp 1.5 lies below the first cell centre (2.5 m): cp is cg.
  Table g(20, 10);
  ASSERT_EQ(g.Run(0), 0);
  for (int n : {0, 5, 20}) EXPECT_EQ(g.cp[n], g.cg[n]);
  // zp 7.5 is the centre of cell 2, zp 5 lies half-way between the centres
  // 2.5 and 7.5 m.
  prm::zp = 7.5f;
  Table c2(20, 10);
  ASSERT_EQ(c2.Run(0), 0);
  prm::zp = 5;
  Table h(20, 10);
  ASSERT_EQ(h.Run(0), 0);
  for (int n : {0, 5, 20}) {
    EXPECT_NE(c2.cp[n], g.cg[n]) << n;
    EXPECT_FLOAT_EQ(h.cp[n], 0.5f * (g.cg[n] + c2.cp[n])) << n;
  }
}

TEST_F(Dff, FluxIsConservedWithoutDeposition) {
  for (float al : {0.0f, 0.5f, 1.0f}) {
    prm::al = al;
    Table t(200, 10);
    ASSERT_EQ(t.Run(10), 0);
    // The scheme conserves the flux exactly; 200 float solves may lose at
    // most about 200 * 6e-8 = 1.2e-5 (2e-6 is seen).
    for (int n = 0; n <= 200; n++) EXPECT_NEAR(t.ci[n], 1.0f, 1.2e-5f) << "al " << al << " n " << n;
  }
}

TEST_F(Dff, DepositionRemovesMassAndIsKeptBetweenCalls) {
  prm::vd = 0.01f;
  MarkSet("vd");
  Table t(200, 10);
  ASSERT_EQ(t.Run(0), 0);
  EXPECT_FLOAT_EQ(t.ci[0], 1.0f);
  for (int n = 1; n <= 200; n++) EXPECT_LT(t.ci[n], t.ci[n - 1]) << n;
  EXPECT_LT(t.ci[200], 0.9f);

  // Without vd or ad the last deposition velocity stays in force.
  MarkSet("vd", false);
  prm::vd = 0;
  Table again(200, 10);
  ASSERT_EQ(again.Run(0), 0);
  EXPECT_EQ(again.ci, t.ci);

  // ad times a given u* ...
  prm::ad = 0.025f;
  prm::us = 0.4f;
  MarkSet("ad");
  MarkSet("us");
  Table byUs(200, 10);
  ASSERT_EQ(byUs.Run(0), 0);
  EXPECT_EQ(byUs.ci, t.ci);
  // ... or times sigma-w/1.3 (sw given: 0.52/1.3 = 0.4).
  MarkSet("us", false);
  prm::sw = 0.52f;
  Table bySw(200, 10);
  ASSERT_EQ(bySw.Run(0), 0);
  for (int n = 0; n <= 200; n++) EXPECT_NEAR(bySw.ci[n], t.ci[n], 1e-6f) << n;
}

TEST_F(Dff, WeightOutsideZeroToOneIsHalfAndSubStepsFollowTheCriticalLength) {
  // Constant profiles on a 2 m grid: X = h^2 u / K = 4*3/3 = 4 m, so an
  // interval of 10 m takes 3 sub-steps of 10/3 m.
  Parameters(100, 2);
  ConstantProfile(3, 3);
  prm::al = 0.5f;
  Table coarse(4, 10);
  ASSERT_EQ(coarse.Run(10), 0);
  std::vector<float> thirds(13);
  for (int k = 0; k <= 12; k++) thirds[k] = k * (10.0f / 3);
  Table fine(thirds);
  ASSERT_EQ(fine.Run(10), 0);
  std::vector<float> halves(9);
  for (int k = 0; k <= 8; k++) halves[k] = k * 5.0f;
  Table two(halves);
  ASSERT_EQ(two.Run(10), 0);
  for (int n = 1; n <= 4; n++) {
    EXPECT_NEAR(coarse.cg[n], fine.cg[3 * n], 1e-5f * fine.cg[3 * n]) << n;
    EXPECT_NEAR(coarse.ca[n], fine.ca[3 * n], 1e-5f * fine.ca[3 * n]) << n;
  }
  // Two sub-steps would give a different result while the plume is still sharp.
  EXPECT_GT(std::fabs(coarse.ca[1] - two.ca[2]), 1e-3f * two.ca[2]);

  for (float al : {1.5f, -0.5f}) {
    prm::al = al;
    Table t(4, 10);
    ASSERT_EQ(t.Run(10), 0);
    EXPECT_EQ(t.cg, coarse.cg) << al;
    EXPECT_EQ(t.ca, coarse.ca) << al;
  }
  prm::al = 0;
  Table implicit(4, 10);
  ASSERT_EQ(implicit.Run(10), 0);
  EXPECT_NE(implicit.ca[1], coarse.ca[1]);
}

// Refused before the march: deposition that would create mass, and more
// level steps than the limit (here 4 intervals of 3 sub-steps on 100
// levels, as above).
TEST_F(Dff, NegativeDepositionAndTooMuchWorkAreRefused) {
  Parameters(100, 2);
  ConstantProfile(3, 3);
  prm::al = 0.5f;
  const double limit = DffMaxLevelSteps;
  struct {
    const char* set;
    double limit;
    const char* message;
  } const cases[] = {
      {"vd", limit, "*** parameter vd=-0.01 must be 0 or more! (QORdff.DffPlume.10)\n"},
      {"ad", limit, "*** parameter ad=-0.01 must be 0 or more! (QORdff.DffPlume.11)\n"},
      {nullptr, 1199,
       "*** plume functions need 12 steps of 100 levels (ni=4, al=0.5, critical step 4 m), at "
       "most 1.2e+03 level steps! (QORdff.DffPlume.12)\n"},
      {nullptr, 1200, ""},
  };
  for (const auto& c : cases) {
    zt::ResetMsg();
    prm::vd = prm::ad = -0.01f;
    MarkSet("vd", c.set && c.set[0] == 'v');
    MarkSet("ad", c.set && c.set[0] == 'a');
    DffMaxLevelSteps = c.limit;
    zt::LogCapture log;
    Table t(4, 10);
    t.cg[1] = 42;
    EXPECT_EQ(t.Run(10), *c.message ? -1 : 0);
    EXPECT_EQ(log.text(), c.message);
    if (*c.message) {
      EXPECT_EQ(t.cg[1], 42.0f);  // the table is not touched
    }
  }
  DffMaxLevelSteps = limit;
}

TEST_F(Dff, NoIntervalsMeansFullyImplicitAndOnlyTheStart) {
  zt::LogCapture log;
  MsgVerbose = 1;
  MsgQuiet = 1;
  prm::al = 0.5f;
  Table t(std::vector<float>{0, -1});
  t.cg[1] = 42;
  EXPECT_EQ(DffPlume(t.cx.data(), t.cg.data(), t.cp.data(), t.ca.data(), t.sy.data(), t.sd.data(),
                     t.ci.data(), 10, 0, 0),
            0);
  EXPECT_EQ(log.text(), "--- changed to fully implicit!\n");
  EXPECT_EQ(MsgErr, 0);
  EXPECT_FLOAT_EQ(t.ci[0], 1.0f);
  EXPECT_EQ(t.cg[1], 42.0f);
}

TEST_F(Dff, PlumeWidthsFollowTheTaylorIntegral) {
  Parameters(100, 5);
  ConstantProfile(3, 1);
  prm::vv = 0.6f;
  prm::lv = 20;
  prm::sw = 1.3f * 0.3f;  // sigma-c = min(sw/1.3, vv) = 0.3
  Table t(200, 10);
  ASSERT_EQ(t.Run(10), 0);
  // Constant wind u: Sy^2 = 2 lv (x - u T (1 - exp(-x/(u T)))), T = lv u / sv^2.
  // The midpoint sums of the solver agree to O((dx/(u T))^2) = 1e-3 relative.
  auto taylor = [](double x, double s) {
    const double tl = 20 * 3 / (s * s), ut = 3 * tl;
    return std::sqrt(2 * 20 * (x - ut * (1 - std::exp(-x / ut))));
  };
  for (int n : {1, 10, 100, 200}) {
    EXPECT_NEAR(t.sy[n], taylor(10.0 * n, 0.6), 1e-3 * t.sy[n]) << n;
    EXPECT_NEAR(t.sd[n], taylor(10.0 * n, 0.3), 1e-3 * t.sd[n]) << n;
  }
  EXPECT_LT(t.sd[200], t.sy[200]);

  // mf given: sigma-c = vv/sqrt(1 + mf^2).
  prm::mf = 1;
  MarkSet("mf");
  Table m(200, 10);
  ASSERT_EQ(m.Run(10), 0);
  EXPECT_NEAR(m.sd[200], taylor(2000, 0.6 / std::sqrt(2.0)), 1e-3 * m.sd[200]);
  EXPECT_EQ(m.sy[200], t.sy[200]);

  // No horizontal fluctuation: T = 0 and Sy^2 = 2 lv x.
  prm::vv = 0;
  Table z(200, 10);
  ASSERT_EQ(z.Run(10), 0);
  for (int n : {1, 50, 200}) EXPECT_FLOAT_EQ(z.sy[n], std::sqrt(2 * 20 * 10.0f * n)) << n;
}

// Crosswind-integrated ground-level concentration of a continuous unit point
// source at height h over a reflecting ground, constant u and K.
double Exact(double x, double h, double u, double k) {
  const double s2 = 2 * k * x / u;
  return 2 / (u * std::sqrt(2 * M_PI * s2)) * std::exp(-h * h / (2 * s2));
}

// Largest relative error of cg against the exact solution for x >= 500 m,
// where sigma-z (>= 18 m) spans several cells of the coarsest grid.
double MaxError(int nz, float dz) {
  Parameters(nz, dz);
  ConstantProfile(3, 1);
  prm::al = 0.5f;
  Table t(200, 10);
  EXPECT_EQ(t.Run(10), 0);
  double worst = 0;
  for (int n = 50; n <= 200; n++) {
    const double c = Exact(10.0 * n, 10, 3, 1);
    worst = std::max(worst, std::fabs(t.cg[n] - c) / c);
  }
  return worst;
}

TEST_F(Dff, GroundConcentrationApproachesTheExactSolution) {
  const double e5 = MaxError(200, 5), e25 = MaxError(400, 2.5f), e125 = MaxError(800, 1.25f);
  // A few per cent on the coarse grid; the scheme is of second order in dz,
  // so halving dz must at least halve the error.
  EXPECT_LT(e5, 0.02);
  EXPECT_LT(e25, 0.5 * e5);
  EXPECT_LT(e125, 0.5 * e25);
  std::printf("max relative error: dz 5 %.4f, dz 2.5 %.4f, dz 1.25 %.4f\n", e5, e25, e125);
}

TEST_F(Dff, ConcentrationListing) {
  Parameters(4, 5);
  ConstantProfile(3, 1);
  prm::mx = 2;
  prm::mz = 2;
  Table t(4, 10);
  std::string text;
  {
    zt::LogCapture log;
    ASSERT_EQ(t.Run(10), 0);
    text = log.text();
  }
  // Cells 1 and 3 (centres 2.5 and 12.5 m); cell 3 is the source cell, so the
  // listed values are cg and ca; the wind is 3 m/s everywhere.
  std::string expected =
      "Vertikal-Profil von Konzentration/Eq\n"
      "  x\\z  :       2.50      12.50";
  char line[200];
  std::snprintf(line, sizeof line, "\n %6.0f: %10.3e %10.3e | %10.3e : %5.1f  %6.2f\n", 0.0,
                t.cg[0], t.ca[0], t.ci[0], 0.0, 3.0);
  expected += line;
  for (int n : {2, 4}) {
    std::snprintf(line, sizeof line, " %6.0f: %10.3e %10.3e | %10.3e : %5.1f  %6.2f\n", 10.0 * n,
                  t.cg[n], t.ca[n], t.ci[n], 10.0 * n / 3, 3.0);
    expected += line;
  }
  EXPECT_EQ(text, expected);

  // mx beyond ni, or no log at all: no listing.
  prm::mx = 5;
  {
    zt::LogCapture log;
    ASSERT_EQ(t.Run(10), 0);
    EXPECT_EQ(log.text(), "");
  }
  prm::mx = 1;
  MsgLog = nullptr;
  EXPECT_EQ(t.Run(10), 0);
}

TEST_F(Dff, SingularSystemsAndWindlessSourceCellsAreErrors) {
  Parameters(20, 5);
  ConstantProfile(3, 0);                          // no diffusion
  for (int i = 10; i <= 20; i++) prm::ux[i] = 0;  // cells 11.. neither store nor exchange
  {
    zt::LogCapture log;
    Table t(3, 10);
    EXPECT_EQ(t.Run(10), -1);
    EXPECT_EQ(MsgErr, -1);
    EXPECT_EQ(log.text(),
              "*** zero diagonal element (i=11)! (QORdff.SlvTri.1)\n"
              "*** singular matrix! (QORdff.Step.1)\n"
              "*** error in x-step (n=1)! (QORdff.DffPlume.8)\n");
  }
  zt::ResetMsg();
  zt::LogCapture log;
  Table t(3, 10);
  EXPECT_EQ(t.Run(60), -1);  // layer 57.5..62.5 m, cells 12 and 13
  EXPECT_EQ(log.text(),
            "*** wind speed not positive in source cell 12 (u=0)! (QORdff.DffPlume.9)\n");
}

// The lift of the plume keeps the flux sum(u h c) to the rounding of the
// float cells (relative 1e-6) for shifts within a cell, across cells and past
// the top, on a stretched grid with a logarithmic wind; a shift by whole
// cells of constant wind moves the values unchanged.
TEST_F(Dff, ShiftKeepsTheFluxAndMovesTheProfile) {
  Parameters(60, 1);
  for (int i = 1; i <= 60; i++) prm::zk[i] = prm::zk[i - 1] + 0.2f * std::pow(1.08f, i);
  NeutralProfile();
  auto flux = [](const std::vector<float>& c) {
    double f = 0;
    for (int i = 1; i <= prm::nz; i++)
      f += 0.5 * (prm::ux[i - 1] + prm::ux[i]) * (prm::zk[i] - prm::zk[i - 1]) * c[i];
    return f;
  };
  std::vector<float> c(61), work(61);
  for (int i = 1; i <= 60; i++) c[i] = std::exp(-std::pow((prm::zk[i] - 12.0f) / 5, 2));
  const double f0 = flux(c);
  for (float dz : {0.01f, 0.3f, 2.5f, 7.0f, 40.0f, 500.0f}) {
    DffShift(c.data(), work.data(), 60, dz);
    EXPECT_NEAR(flux(c) / f0, 1.0, 1e-6) << dz;
    for (int i = 1; i <= 60; i++) EXPECT_GE(c[i], 0.0f) << dz;
  }
  EXPECT_EQ(c[1], 0.0f);  // the ground cell was emptied

  Parameters(20, 2);
  ConstantProfile(3, 1);
  std::vector<float> d(21), moved(21);
  for (int i = 1; i <= 20; i++) d[i] = static_cast<float>(i % 7);
  moved = d;
  DffShift(moved.data(), work.data(), 20, 4);
  for (int i = 3; i < 20; i++) EXPECT_FLOAT_EQ(moved[i], d[i - 2]) << i;
  EXPECT_EQ(moved[1] + moved[2], 0.0f);
  EXPECT_FLOAT_EQ(moved[20], d[18] + d[19] + d[20]);  // what passes the top stays there
}

}  // namespace
