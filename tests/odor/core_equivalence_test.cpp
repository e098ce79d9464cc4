// The fast computing core against the straightforward computation (the
// slow reference in reference_core.h): every value of the four grid and
// point accumulators within 1e-5 relative or 1e-12 absolute, the total
// duration exactly, for point and area sources, with and without
// meandering, for other Weibull and perception parameters, Weibull shapes
// from 0.5 to 50 with emissions up to 1e9, with exponents that need
// clamping, and for any number of threads and every kernel the processor
// runs the same bytes.
#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "odor_fixture.h"
#include "reference_core.h"

namespace {

class CoreEquivalenceTest : public odt::OdorTest {
 protected:
  void TearDown() override {
    CalcThreads = 0;
    odt::OdorTest::TearDown();
  }

  // A plume table shaped like the solver's: widths growing like x^0.9, a
  // core plume narrower than the total one near the source and wider than
  // three tenths of it beyond, a plume function falling off downwind.
  static void RealisticTable(float li = 5, int ni = 200) {
    SetTable(
        li, ni, [](float x) { return 0.25f * std::pow(x, 0.9f); },
        [](float x) { return 0.25f * std::pow(x, 0.9f) * (x < 100 ? 0.2f : 0.6f); },
        [](float x) { return 0.05f / (1 + 0.02f * x) + (x > 900 ? 0.0f : 1e-6f); });
  }

  static void Points(std::initializer_list<std::pair<float, float>> pts) {
    int n = 0;
    for (auto [x, y] : pts) {
      prm::xp[n] = x;
      prm::yp[n] = y;
      n++;
    }
    prm::np = n;
  }

  // A fresh grid (and cleared points) after an earlier one.
  static void NewGrid(int nx, int ny, float dr, float xr, float yr) {
    ReleaseAccumulators();
    ASSERT_EQ(AllocPoints(prm::mp), 0);
    Grid(nx, ny, dr, xr, yr);
  }

  static int Receptors() { return prm::nx * prm::ny + prm::np; }

  // The accumulators in receptor order, 4 values per receptor.
  static std::vector<float> Accumulators() {
    std::vector<float> a;
    for (int i = 0; i < prm::nx; i++)
      for (int j = 0; j < prm::ny; j++)
        for (AryDesc* g : {&GrdCnc, &GrdFro, &GrdFrh, &GrdC90}) a.push_back(At(*g, i, j));
    for (int n = 0; n < prm::np; n++)
      for (float v : {PntCnc[n], PntFro[n], PntFrh[n], PntC90[n]}) a.push_back(v);
    return a;
  }

  static void SetAccumulators(const std::vector<float>& a) {
    size_t n = 0;
    for (int i = 0; i < prm::nx; i++)
      for (int j = 0; j < prm::ny; j++)
        for (AryDesc* g : {&GrdCnc, &GrdFro, &GrdFrh, &GrdC90})
          *static_cast<float*>(AryPtr(g, i, j)) = a[n++];
    for (int k = 0; k < prm::np; k++)
      for (std::vector<float>* v : {&PntCnc, &PntFro, &PntFrh, &PntC90}) (*v)[k] = a[n++];
  }

  static bool Same(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
  }

  static std::vector<float> Hl() {
    return std::vector<float>(prm::hl.f(), prm::hl.f() + prm::nl + 1);
  }

  // Runs CalcValues and the reference from the same accumulators and
  // compares every value; returns the number of values compared.
  static int CompareRun(const std::string& what) {
    const std::vector<float> start = Accumulators();
    const double dur0 = SumDur;
    EXPECT_EQ(CalcValues(), 0) << what;
    const ref::Sums want = ref::Values(start);
    EXPECT_EQ(want.failed, -1) << what;
    const std::vector<float> got = Accumulators();
    EXPECT_EQ(SumDur, dur0 + want.dur) << what;
    int bad = 0;
    for (size_t i = 0; i < got.size(); i++) {
      const float g = got[i], w = want.acc[i];
      const bool ok = std::fabs(g - w) <= 1e-12 || std::fabs(g - w) <= 1e-5f * std::fabs(w);
      if (!ok && ++bad <= 5)
        ADD_FAILURE() << what << ": receptor " << i / 4 << " array " << i % 4 << ": " << g
                      << " instead of " << w;
    }
    const std::vector<float> hl = Hl();
    for (int k = 0; k <= prm::nl; k++)
      EXPECT_NEAR(hl[k], want.hl[k], 1e-5f * want.hl[k] + 1e-12f) << what << " hl " << k;
    // Every other kernel the processor runs, from the same start, gives
    // the same bits.
    const double dur = SumDur;
    std::istringstream names(CoreIsaNames());
    for (std::string isa; std::getline(names >> std::ws, isa, ',');) {
      if (CoreIsaSelect(isa.c_str()) != 0) continue;
      SetAccumulators(start);
      SumDur = dur0;
      EXPECT_EQ(CalcValues(), 0) << what << ", " << isa;
      EXPECT_TRUE(Same(Accumulators(), got)) << what << ", " << isa;
      EXPECT_TRUE(Same(Hl(), hl)) << what << ", " << isa;
      EXPECT_EQ(SumDur, dur) << what << ", " << isa;
    }
    CoreIsaSelect(nullptr);
    return static_cast<int>(got.size());
  }
};

TEST_F(CoreEquivalenceTest, PointSourceEveryValueAsTheStraightforwardLoops) {
  RealisticTable();
  Grid(21, 21, 15, -150, -150);
  Points({{0, 0}, {37.5f, -12}, {-140, 90}, {400, 3}});
  prm::xq = 2;
  prm::yq = -3;
  prm::eq = 500;
  EXPECT_EQ(CompareRun("point"), 4 * Receptors());
  // A second situation adds to what the first left.
  prm::re = 3;
  prm::nu = 3;
  for (int s = 0; s < prm::nw; s++) prm::dw[s] = (s % 4 == 1) ? 0.0f : 1.0f + s % 5;
  CompareRun("point, second situation");
  EXPECT_GT(At(GrdCnc, 10, 10), 0);
}

TEST_F(CoreEquivalenceTest, AreaSourceTurnedAndCellCentresOnNodes) {
  RealisticTable();
  prm::xq = -6;
  prm::yq = -4;
  prm::aq = 12;
  prm::bq = 7.5f;
  prm::lq = 2;
  prm::rq = 30;
  prm::eq = 3000;
  Grid(25, 25, 4, -50, -50);
  Points({{1, 1}, {-5, -3}, {60, 45}});
  CompareRun("area turned");
  prm::rq = 0;
  prm::aq = 10;
  prm::bq = 10;
  prm::lq = 1;
  prm::xq = prm::yq = 0;
  NewGrid(16, 16, 1, -2.5f, -2.5f);  // nodes on every cell centre
  CompareRun("area on cell centres");
}

TEST_F(CoreEquivalenceTest, OtherMeanderCountsWeibullAndPerceptionParameters) {
  Reinit([] { prm::nm = 0; });
  RealisticTable();
  prm::aq = 20;
  prm::lq = 3;
  Grid(17, 13, 20, -160, -120);
  CompareRun("nm 0");
  Reinit([] {
    prm::nm = 4;
    prm::nl = 30;
    prm::nc = 6;
    prm::ll = -18;
  });
  RealisticTable(10, 150);
  prm::pd = 1.3f;
  prm::gs = 3;
  prm::ld = 0.8f;
  prm::ga = 0.05f;
  prm::am = 30;
  prm::eq = 5000;
  Grid(15, 15, 50, -350, -350);
  CompareRun("nm 4, 31 classes, pd 1.3");
  // 23 core plumes: a last block of 8 lanes in the widest kernel.
  Reinit([] { prm::nm = 11; });
  RealisticTable();
  Grid(9, 9, 30, -120, -120);
  CompareRun("nm 11");
}

TEST_F(CoreEquivalenceTest, ExponentsBeyondTheUnclampedRange) {
  // am above 87 makes exp(-e) denormal at the edge of the plume: the core
  // then clamps its exponents; results stay within the tolerance.
  RealisticTable();
  prm::am = 100;
  prm::eq = 1e4f;
  Grid(11, 11, 25, -125, -125);
  CompareRun("am 100");
}

TEST_F(CoreEquivalenceTest, WeibullShapesAndEmissionsOverTheirWholeRange) {
  // Large shapes and concentrations put the exponents of most classes far
  // below the range of the exponential, next to classes (and the padding
  // of the last block) that still need it.
  RealisticTable(1, 200);
  prm::nu = 1;  // 36 directions are enough here; the reference loops are slow
  for (float pd : {0.5f, 1.0f, 2.0f, 5.0f, 12.0f, 20.0f, 35.0f, 50.0f})
    for (float eq : {1.0f, 1e3f, 1e6f, 1e9f}) {
      prm::pd = pd;
      prm::eq = eq;
      NewGrid(5, 5, 2, 0, 0);
      Points({{2, 0}, {0.5f, 0.25f}, {150, -20}});
      CompareRun("pd " + std::to_string(pd) + ", eq " + std::to_string(eq));
    }
}

TEST_F(CoreEquivalenceTest, ThreadCountsGiveTheSameBytesAndHl) {
  RealisticTable();
  prm::aq = 8;
  prm::bq = 4;
  prm::lq = 1;
  Points({{5, 5}, {-30, 20}});
  std::vector<float> first, firstHl;
  double firstDur = 0;
  for (int threads : {1, 2, 3, 7}) {
    NewGrid(37, 23, 7, -120, -80);  // 851 nodes: many chunks, one partial
    CalcThreads = threads;
    ASSERT_EQ(CalcValues(), 0);
    const std::vector<float> acc = Accumulators(), hl = Hl();
    if (threads == 1) {
      first = acc, firstHl = hl, firstDur = SumDur;
      continue;
    }
    EXPECT_EQ(std::memcmp(acc.data(), first.data(), acc.size() * sizeof(float)), 0) << threads;
    EXPECT_EQ(std::memcmp(hl.data(), firstHl.data(), hl.size() * sizeof(float)), 0) << threads;
    EXPECT_EQ(SumDur, firstDur) << threads;
  }
}

TEST_F(CoreEquivalenceTest, FailureLeavesWhatTheSingleThreadWouldLeave) {
  // The plume table reaches 300 m: receptors from the 4th row on lie
  // beyond it for some directions. Every thread count reports the failure
  // once and leaves the sums of the receptors before it (and the partial
  // sums of the failing one) as the straightforward loops do.
  RealisticTable(5, 60);
  for (int threads : {1, 2, 3}) {
    zt::ResetMsg();
    NewGrid(40, 9, 40, -100, -100);
    for (int s = 0; s < prm::nw; s++) prm::dw[s] = 1.0f + s % 3;
    const std::vector<float> start = Accumulators();
    const ref::Sums want = ref::Values(start);
    ASSERT_GT(want.failed, 0);
    CalcThreads = threads;
    zt::LogCapture log;
    EXPECT_EQ(CalcValues(), -1);
    EXPECT_EQ(log.text(),
              "*** plume table range exceeded! (ZIRidev.CalcCon.2)\n"
              "*** can't calculate concentration! (ZIRidev.CalcOdor.1)\n"
              "*** can't get odor values! (ZIRidev.CalcValues.1)\n")
        << threads;
    const std::vector<float> got = Accumulators();
    int differ = 0;
    for (size_t i = 0; i < got.size(); i++)
      differ += !(std::fabs(got[i] - want.acc[i]) <= 1e-5f * std::fabs(want.acc[i]) + 1e-12f);
    EXPECT_EQ(differ, 0) << threads;
    for (size_t i = 4 * (want.failed + 1); i < got.size(); i++) ASSERT_EQ(got[i], 0) << i;
    EXPECT_EQ(SumDur, want.dur) << threads;
    for (int k = 0; k <= prm::nl; k++) EXPECT_EQ(prm::hl[k], 0) << k;
  }
}

}  // namespace
